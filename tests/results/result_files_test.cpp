#include "results/result_files.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <QtTest>
#include <csignal>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "fake_ui.h"
#include "settings/test_settings.h"
#include "test/staircase.h"

// (NItems, Rev) of each trial run.
using Trials = std::vector<std::pair<int, int>>;
Q_DECLARE_METATYPE(Trials)

namespace {

const QByteArray kCsvHeader = "Subject,Trial,NItems,NCorrect,RT1,RT2,Error,Rev\r\n";
const QByteArray kLogHeader = "Date\tTime\tScore\tSubject\r\n";
const char kLogOpenFailure[] = "Cannot open the data file [ORBEL.txt].";

std::tm LocalTime(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

void UseClock(const std::tm& reading, bool ok = true) {
  SetLocalTimeSource([reading, ok](std::tm* local) {
    *local = reading;
    return ok;
  });
}

// A test of `trials` trials: Trial k + 1, the given NItems and Rev, and
// NCorrect, RT1, RT2 and Error made from the row number so that every column
// is told apart.
void SetTrials(const Trials& trials) {
  ResetTest();
  for (int k = 0; k < static_cast<int>(trials.size()); ++k) {
    TrialRecord& r = testState.trials[k];
    r.NItems = trials[k].first;
    r.Rev = trials[k].second;
    r.NCorrect = k % 4;
    r.RT1 = 1000 + k;
    r.RT2 = 2000 + 3 * k;
    r.Error = k % 2;
  }
  testState.trialsRun = static_cast<int32_t>(trials.size());
}

QByteArray Rows(const std::string& subject, const Trials& trials) {
  QByteArray rows;
  for (int k = 0; k < static_cast<int>(trials.size()); ++k) {
    rows += QByteArray::fromStdString(subject) + QStringLiteral(",%1,%2,%3,%4,%5,%6,%7\r\n")
                                                     .arg(k + 1)
                                                     .arg(trials[k].first)
                                                     .arg(k % 4)
                                                     .arg(1000 + k)
                                                     .arg(2000 + 3 * k)
                                                     .arg(k % 2)
                                                     .arg(trials[k].second)
                                                     .toLatin1();
  }
  return rows;
}

QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return QByteArray("<missing>");
  return f.readAll();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Takes from the effective set the capabilities that let root read and write
// any file, so that permission bits apply to this process, and gives them
// back on destruction.
class WithoutFileOverride {
 public:
  WithoutFileOverride() {
    header_.version = _LINUX_CAPABILITY_VERSION_3;
    header_.pid = 0;
    if (syscall(SYS_capget, &header_, saved_) != 0) return;
    __user_cap_data_struct reduced[2];
    std::memcpy(reduced, saved_, sizeof reduced);
    reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    changed_ = syscall(SYS_capset, &header_, reduced) == 0;
  }
  ~WithoutFileOverride() {
    if (changed_) syscall(SYS_capset, &header_, saved_);
  }

 private:
  __user_cap_header_struct header_{};
  __user_cap_data_struct saved_[2]{};
  bool changed_ = false;
};

// Limits the size of files this process writes, so that writes fail with
// EFBIG instead of the process being stopped.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

}  // namespace

class ResultFilesTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<testing::FakeUi> ui_;
  QString previousDir_;

  void VerifyOnlyScoreBox(const QString& text) {
    QCOMPARE(static_cast<int>(ui_->boxes.size()), 1);
    QCOMPARE(QString::fromStdString(ui_->boxes[0].text), text);
    QCOMPARE(ui_->boxes[0].caption, std::string("Score"));
    QCOMPARE(ui_->boxes[0].type, ui::kMbOk);
    QCOMPARE(ui_->boxes[0].owner, ui_->mainWindow);
  }

  void VerifyWarning(size_t index, const std::string& text) {
    QVERIFY(ui_->boxes.size() > index);
    QCOMPARE(ui_->boxes[index].text, text);
    QCOMPARE(ui_->boxes[index].caption, ui::ApplicationName());
    QCOMPARE(ui_->boxes[index].type, ui::kMbOk | ui::kMbIconWarning);
    QCOMPARE(ui_->boxes[index].owner, ui_->mainWindow);
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    previousDir_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_->path()));
    ui_ = std::make_unique<testing::FakeUi>();
    testSettings = TestSettings{};
    UseClock(LocalTime(2026, 1, 5, 9, 3, 7));
  }

  void cleanup() {
    SetLocalTimeSource(nullptr);
    ui_.reset();
    QDir::setCurrent(previousDir_);
    dir_.reset();
  }

  void firstTest_createsBothFilesWithHeaders() {
    ui_->screenWidth = 1366;
    ui_->screenHeight = 768;
    const Trials trials{{3, 0}, {4, 1}, {3, 2}, {4, 3}, {3, 0}};
    SetTrials(trials);
    testState.trials[1].RT2 = -5;  // negative numbers keep their sign

    WriteTestResults(1);

    QCOMPARE(static_cast<int>(ui_->placements.size()), 1);
    QCOMPARE(ui_->placements[0].window, ui_->mainWindow);
    QCOMPARE(ui_->placements[0].width, 1366);
    QCOMPARE(ui_->placements[0].height, 768);
    QCOMPARE(ReadBytes("SOMEBODY.csv"), kCsvHeader +
                                            "SOMEBODY,1,3,0,1000,2000,0,0\r\n"
                                            "SOMEBODY,2,4,1,1001,-5,1,1\r\n"
                                            "SOMEBODY,3,3,2,1002,2006,0,2\r\n"
                                            "SOMEBODY,4,4,3,1003,2009,1,3\r\n"
                                            "SOMEBODY,5,3,0,1004,2012,0,0\r\n");
    QCOMPARE(ReadBytes("ORBEL.txt"), kLogHeader + "2026/01/05\t09:03:07\t3.67\tSOMEBODY\r\n");
    QVERIFY(ui_->boxes.empty());  // feedback is off by default
  }

  void secondTest_appendsWithoutHeader() {
    const Trials first{{3, 1}, {2, 0}};
    const Trials second{{3, 0}, {4, 1}, {3, 2}};
    SetTrials(first);
    WriteTestResults(1);
    testSettings.subject = "OTHER";
    SetTrials(first);
    WriteTestResults(1);
    testSettings.subject = "SOMEBODY";
    UseClock(LocalTime(2026, 12, 31, 23, 59, 58));
    SetTrials(second);
    WriteTestResults(1);

    QCOMPARE(ReadBytes("SOMEBODY.csv"),
             kCsvHeader + Rows("SOMEBODY", first) + Rows("SOMEBODY", second));
    QCOMPARE(ReadBytes("OTHER.csv"), kCsvHeader + Rows("OTHER", first));
    QCOMPARE(ReadBytes("ORBEL.txt"), kLogHeader +
                                         "2026/01/05\t09:03:07\t3.00\tSOMEBODY\r\n"
                                         "2026/01/05\t09:03:07\t3.00\tOTHER\r\n"
                                         "2026/12/31\t23:59:58\t3.50\tSOMEBODY\r\n");
  }

  void abandonedTest_onlyPlacesMainWindow_data() {
    QTest::addColumn<int>("outcome");
    QTest::newRow("aborted") << 0;
    QTest::newRow("negative") << -1;
    QTest::newRow("other non-one") << 2;
  }

  void abandonedTest_onlyPlacesMainWindow() {
    QFETCH(int, outcome);
    testSettings.flag_feedback = 1;
    ui_->screenWidth = 800;
    ui_->screenHeight = 600;
    SetTrials({{3, 1}, {2, 2}});
    const QByteArray oldLog = kLogHeader + "2025/01/01\t10:00:00\t4.00\tX\r\n";
    QVERIFY(WriteBytes("ORBEL.txt", oldLog));

    WriteTestResults(outcome);

    QCOMPARE(static_cast<int>(ui_->placements.size()), 1);
    QCOMPARE(ui_->placements[0].window, ui_->mainWindow);
    QCOMPARE(ui_->placements[0].width, 800);
    QCOMPARE(ui_->placements[0].height, 600);
    QVERIFY(!QFile::exists("SOMEBODY.csv"));
    QCOMPARE(ReadBytes("ORBEL.txt"), oldLog);
    QVERIFY(ui_->boxes.empty());
  }

  void subjectIdentifier_usedVerbatim_data() {
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("file");
    QTest::newRow("empty") << ""
                           << ".csv";
    QTest::newRow("commas") << "A,B"
                            << "A,B.csv";
    QTest::newRow("spaces and tab") << " S 1\t"
                                    << " S 1\t.csv";
    QTest::newRow("path") << "sub/S"
                          << "sub/S.csv";
  }

  void subjectIdentifier_usedVerbatim() {
    QFETCH(QString, subject);
    QFETCH(QString, file);
    QVERIFY(QDir().mkdir("sub"));
    testSettings.subject = subject.toStdString();
    const Trials trials{{3, 1}, {2, 2}};
    SetTrials(trials);

    WriteTestResults(1);

    QCOMPARE(ReadBytes(file), kCsvHeader + Rows(subject.toStdString(), trials));
    QCOMPARE(ReadBytes("ORBEL.txt"),
             kLogHeader + "2026/01/05\t09:03:07\t2.50\t" + subject.toUtf8() + "\r\n");
    QVERIFY(ui_->boxes.empty());
  }

  void score_meanOverReversalTrials_data() {
    QTest::addColumn<Trials>("trials");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("text");
    QTest::newRow("14/3 rounds up") << Trials{{5, 1}, {4, 2}, {5, 3}, {9, 0}} << 3 << "4.67";
    QTest::newRow("9/2 keeps trailing zero") << Trials{{4, 1}, {5, 2}} << 2 << "4.50";
    QTest::newRow("non-reversal rows ignored")
        << Trials{{3, 0}, {4, 0}, {5, 1}, {20, 0}, {4, 2}, {5, 0}} << 2 << "4.50";
    QTest::newRow("any non-zero Rev counts") << Trials{{6, -1}, {2, 7}} << 2 << "4.00";
    QTest::newRow("single reversal") << Trials{{3, 0}, {4, 1}} << 1 << "4.00";
  }

  void score_meanOverReversalTrials() {
    QFETCH(Trials, trials);
    QFETCH(int, count);
    QFETCH(QString, text);
    testSettings.flag_feedback = 1;
    SetTrials(trials);

    int n = -1;
    ComputeScore(testState, &n);
    QCOMPARE(n, count);
    WriteTestResults(1);

    QCOMPARE(ReadBytes("ORBEL.txt"),
             kLogHeader + "2026/01/05\t09:03:07\t" + text.toLatin1() + "\tSOMEBODY\r\n");
    VerifyOnlyScoreBox("Score is " + text);
  }

  void fullTable_writes200RowsAndScoresReversalsOnly_data() {
    QTest::addColumn<int>("trialsRun");
    QTest::newRow("200 trials") << 200;
    QTest::newRow("count beyond the table") << 250;
  }

  void fullTable_writes200RowsAndScoresReversalsOnly() {
    QFETCH(int, trialsRun);
    Trials trials;
    // Every tenth trial reverses with 10 patches, the others show 3.
    for (int k = 0; k < kMaxTrials; ++k)
      trials.push_back(k % 10 == 9 ? std::pair{10, k / 10 + 1} : std::pair{3, 0});
    SetTrials(trials);
    testState.trialsRun = trialsRun;

    WriteTestResults(1);

    QCOMPARE(ReadBytes("SOMEBODY.csv"), kCsvHeader + Rows("SOMEBODY", trials));
    QCOMPARE(ReadBytes("ORBEL.txt"), kLogHeader + "2026/01/05\t09:03:07\t10.00\tSOMEBODY\r\n");
  }

  void clock_formatsDateAndTime_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::addColumn<int>("hour");
    QTest::addColumn<int>("minute");
    QTest::addColumn<int>("second");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("stamp");
    QTest::newRow("midnight") << 2026 << 1 << 5 << 0 << 0 << 0 << true
                              << QByteArray("2026/01/05\t00:00:00");
    QTest::newRow("single digits padded")
        << 2027 << 3 << 9 << 7 << 8 << 9 << true << QByteArray("2027/03/09\t07:08:09");
    QTest::newRow("last second of a year")
        << 1999 << 12 << 31 << 23 << 59 << 59 << true << QByteArray("1999/12/31\t23:59:59");
    QTest::newRow("conversion failed")
        << 2026 << 1 << 5 << 9 << 3 << 7 << false << QByteArray("0000/00/00\t-1:-1:-1");
  }

  void clock_formatsDateAndTime() {
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    QFETCH(int, hour);
    QFETCH(int, minute);
    QFETCH(int, second);
    QFETCH(bool, ok);
    QFETCH(QByteArray, stamp);
    UseClock(LocalTime(year, month, day, hour, minute, second), ok);
    SetTrials({{3, 1}});

    WriteTestResults(1);

    QCOMPARE(ReadBytes("ORBEL.txt"), kLogHeader + stamp + "\t3.00\tSOMEBODY\r\n");
  }

  void systemClock_writesTodaysDate() {
    SetLocalTimeSource(nullptr);
    SetTrials({{3, 1}});
    const QDate before = QDate::currentDate();
    WriteTestResults(1);
    const QDate after = QDate::currentDate();

    const QList<QByteArray> lines = ReadBytes("ORBEL.txt").split('\n');
    QCOMPARE(lines.size(), 3);
    const QByteArray date = lines[1].left(10);
    QVERIFY2(date == before.toString("yyyy/MM/dd").toLatin1() ||
                 date == after.toString("yyyy/MM/dd").toLatin1(),
             date.constData());
    QVERIFY(QTime::fromString(QString::fromLatin1(lines[1].mid(11, 8)), "HH:mm:ss").isValid());
  }

  void feedback_showsScoreBoxForAnyNonZeroFlag_data() {
    QTest::addColumn<int>("flag");
    QTest::addColumn<bool>("shown");
    QTest::newRow("off") << 0 << false;
    QTest::newRow("on") << 1 << true;
    QTest::newRow("other positive") << 7 << true;
    QTest::newRow("negative") << -1 << true;
  }

  void feedback_showsScoreBoxForAnyNonZeroFlag() {
    QFETCH(int, flag);
    QFETCH(bool, shown);
    testSettings.flag_feedback = flag;
    SetTrials({{5, 1}, {4, 2}, {5, 3}});

    WriteTestResults(1);

    if (shown) {
      VerifyOnlyScoreBox("Score is 4.67");
    } else {
      QVERIFY(ui_->boxes.empty());
    }
  }

  void noReversal_writesRowsButNoScore_data() {
    QTest::addColumn<int>("feedback");
    QTest::addColumn<bool>("logExists");
    QTest::newRow("feedback off, no log") << 0 << false;
    QTest::newRow("feedback on, no log") << 1 << false;
    QTest::newRow("feedback on, log exists") << 1 << true;
  }

  void noReversal_writesRowsButNoScore() {
    QFETCH(int, feedback);
    QFETCH(bool, logExists);
    testSettings.flag_feedback = feedback;
    const QByteArray oldLog = kLogHeader + "2025/01/01\t10:00:00\t4.00\tX\r\n";
    if (logExists) QVERIFY(WriteBytes("ORBEL.txt", oldLog));
    const Trials trials{{3, 0}};
    SetTrials(trials);

    WriteTestResults(1);

    QCOMPARE(ReadBytes("SOMEBODY.csv"), kCsvHeader + Rows("SOMEBODY", trials));
    QCOMPARE(ReadBytes("ORBEL.txt"), logExists ? oldLog : QByteArray("<missing>"));
    if (feedback) {
      VerifyOnlyScoreBox("The test ended without a reversal, so it has no score.");
    } else {
      QVERIFY(ui_->boxes.empty());
    }
  }

  void logCannotBeOpened_warnsAndShowsNoScore_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("log is a directory") << "directory";
    QTest::newRow("log is read-only") << "read-only";
  }

  void logCannotBeOpened_warnsAndShowsNoScore() {
    QFETCH(QString, how);
    testSettings.flag_feedback = 1;
    WithoutFileOverride asUser;
    if (how == "directory") {
      QVERIFY(QDir().mkdir("ORBEL.txt"));
    } else {
      QVERIFY(WriteBytes("ORBEL.txt", kLogHeader));
      QVERIFY(::chmod("ORBEL.txt", 0444) == 0);
      const int probe = ::open("ORBEL.txt", O_WRONLY);
      if (probe >= 0) {
        ::close(probe);
        QSKIP("this process may write read-only files");
      }
    }
    const Trials trials{{3, 1}, {4, 2}};
    SetTrials(trials);

    WriteTestResults(1);

    QCOMPARE(static_cast<int>(ui_->boxes.size()), 1);
    VerifyWarning(0, kLogOpenFailure);
    QCOMPARE(ReadBytes("SOMEBODY.csv"), kCsvHeader + Rows("SOMEBODY", trials));
    if (how == "read-only") QCOMPARE(ReadBytes("ORBEL.txt"), kLogHeader);
  }

  void existingFile_isAppendedNeverRecreated_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QByteArray>("old");
    QTest::newRow("unreadable subject file")
        << "SOMEBODY.csv" << false << QByteArray("OLD ROW\r\n");
    QTest::newRow("unreadable log") << "ORBEL.txt" << false << QByteArray("OLD LINE\r\n");
    QTest::newRow("empty subject file gets header") << "SOMEBODY.csv" << true << QByteArray();
    QTest::newRow("empty log gets header") << "ORBEL.txt" << true << QByteArray();
  }

  void existingFile_isAppendedNeverRecreated() {
    QFETCH(QString, file);
    QFETCH(bool, readable);
    QFETCH(QByteArray, old);
    WithoutFileOverride asUser;
    QVERIFY(WriteBytes(file, old));
    if (!readable) {
      QVERIFY(::chmod(file.toLocal8Bit().constData(), 0200) == 0);
      const int probe = ::open(file.toLocal8Bit().constData(), O_RDONLY);
      if (probe >= 0) {
        ::close(probe);
        QSKIP("this process may read write-only files");
      }
    }
    const Trials trials{{3, 1}, {4, 2}};
    SetTrials(trials);

    WriteTestResults(1);
    QVERIFY(::chmod(file.toLocal8Bit().constData(), 0600) == 0);

    const QByteArray header = file.endsWith(".csv") ? kCsvHeader : kLogHeader;
    const QByteArray added = file.endsWith(".csv") ? Rows("SOMEBODY", trials)
                                                   : "2026/01/05\t09:03:07\t3.50\tSOMEBODY\r\n";
    QCOMPARE(ReadBytes(file), old.isEmpty() ? header + added : old + added);
    QVERIFY(ui_->boxes.empty());
  }

  void subjectFileCannotBeOpened_warnsAndStillLogs() {
    testSettings.flag_feedback = 1;
    QVERIFY(QDir().mkdir("SOMEBODY.csv"));
    SetTrials({{3, 1}, {4, 2}});

    WriteTestResults(1);

    QCOMPARE(static_cast<int>(ui_->boxes.size()), 2);
    VerifyWarning(0, std::string("Cannot open the data file [SOMEBODY.csv] (") +
                         std::strerror(EISDIR) + "); the rows of this test were not saved.");
    QCOMPARE(ui_->boxes[1].text, std::string("Score is 3.50"));
    QCOMPARE(ReadBytes("ORBEL.txt"), kLogHeader + "2026/01/05\t09:03:07\t3.50\tSOMEBODY\r\n");
  }

  void writeFailure_leavesFileAsItWasAndWarns_data() {
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("scoreShown");
    QTest::newRow("subject file") << "SOMEBODY.csv"
                                  << "Cannot write the data file [SOMEBODY.csv] (%1); the rows of "
                                     "this test were not saved."
                                  << true;
    QTest::newRow("log") << "ORBEL.txt"
                         << "Cannot write the data file [ORBEL.txt] (%1); the result of this test "
                            "was not saved."
                         << false;
  }

  void writeFailure_leavesFileAsItWasAndWarns() {
    QFETCH(QString, full);
    QFETCH(QString, message);
    QFETCH(bool, scoreShown);
    testSettings.flag_feedback = 1;
    const QByteArray old(2000, 'x');
    QVERIFY(WriteBytes(full, old));
    // Neither 20 rows nor a log line fit into the last 10 bytes allowed; the
    // other file, new and shorter than the limit, is written in full.
    Trials trials;
    for (int k = 0; k < 20; ++k) trials.push_back({3, k % 2});
    SetTrials(trials);
    {
      FileSizeLimit limit(2010);
      WriteTestResults(1);
    }

    QCOMPARE(ReadBytes(full), old);
    VerifyWarning(0, message.arg(std::strerror(EFBIG)).toStdString());
    QCOMPARE(static_cast<int>(ui_->boxes.size()), scoreShown ? 2 : 1);
    if (full == "ORBEL.txt") {
      QCOMPARE(ReadBytes("SOMEBODY.csv"), kCsvHeader + Rows("SOMEBODY", trials));
    } else {
      QCOMPARE(ReadBytes("ORBEL.txt"), kLogHeader + "2026/01/05\t09:03:07\t3.00\tSOMEBODY\r\n");
    }
  }
};

QTEST_GUILESS_MAIN(ResultFilesTest)
#include "result_files_test.moc"
