#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <cmath>
#include <csignal>
#include <cstring>
#include <memory>

#include "fileio/file_append.h"
#include "procedure/staircase.h"
#include "results/result_files.h"
#include "results/results_log.h"
#include "settings/test_settings.h"
#include "support/fake_ui.h"
#include "support/file_bytes.h"
#include "support/planted.h"

// What this process has synced to disk, by path: defined here, fsync takes
// the place of the C library's for the program's code that the test links.
QStringList synced;
extern "C" int fsync(int fd) {
  synced << QFileInfo(QString("/proc/self/fd/%1").arg(fd)).symLinkTarget();
  return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace {

const QByteArray kCsvHeader = "Subject,Trial,NItems,NCorrect,RT1,RT2,Error,Rev\r\n";
const QByteArray kLogHeader = "Date\tTime\tScore\tSubject\r\n";
const QByteArray kStamp = "2026/01/05\t09:03:07\t";

// Fills the table from (NItems, Rev) pairs; the other columns follow the row
// number so that each is told apart. Returns the rows the subject file gets.
QByteArray SetTrials(const QList<int>& itemsRev) {
  ResetTest();
  QByteArray rows;
  for (int k = 0; k < itemsRev.size() / 2; ++k) {
    TrialRecord& r = testState.trials[k];
    r = {k + 1, itemsRev[2 * k], k % 4, 1000 + k, 900 - 500 * k, k % 2, itemsRev[2 * k + 1]};
    rows += QString::asprintf("SOMEBODY,%d,%d,%d,%d,%d,%d,%d\r\n", r.Trial, r.NItems, r.NCorrect,
                              r.RT1, r.RT2, r.Error, r.Rev)
                .toLatin1();
  }
  testState.trialsRun = static_cast<int32_t>(itemsRev.size() / 2);
  return rows;
}

using testing::ReadBytes;
using testing::WriteBytes;

// The viewer's original ranking, the reference for RankEntries: for each
// position, every later entry scoring >= it is swapped in.
void ExchangeSort(std::vector<LogEntry>* entries) {
  std::vector<LogEntry>& e = *entries;
  for (size_t i = 0; i + 1 < e.size(); ++i) {
    for (size_t j = i + 1; j < e.size(); ++j) {
      if (e[j].score >= e[i].score) std::swap(e[i], e[j]);
    }
  }
}

// Starts a second station that appends `count` lines tagged `tag` to `path`.
std::unique_ptr<QProcess> StartWriter(const QString& path, const QString& tag, int count) {
  auto writer = std::make_unique<QProcess>();
  writer->setProcessChannelMode(QProcess::ForwardedChannels);
  writer->start(DORVANE_APPEND_WRITER, {path, tag, QString::number(count)});
  return writer;
}

}  // namespace

// Runs each test in a fresh working directory, as the program runs in its own.
class ResultsTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<testing::FakeUi> ui_;

  // Each box as "caption|type|text"; "app" for the program's name, "!" when
  // the main window does not own it.
  QStringList Boxes() const {
    QStringList out;
    for (const auto& b : ui_->boxes)
      out << QString::fromStdString((b.caption == ui::ApplicationName() ? "app" : b.caption) + "|" +
                                    std::to_string(b.type) + "|" + b.text +
                                    (b.owner == ui_->mainWindow ? "" : "!"));
    return out;
  }

  // Each entry as "date|time|score|subject", "*" after the current one.
  static QStringList Describe(const std::vector<LogEntry>& entries) {
    QStringList out;
    for (const LogEntry& e : entries)
      out << QString::fromStdString(e.date + "|" + e.time + "|") + QString::number(e.score) + "|" +
                 QString::fromStdString(e.subject) + (e.is_current ? "*" : "");
    return out;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(dir_->path()));
    ui_ = std::make_unique<testing::FakeUi>();
    ScreenSize = {1366, 768};  // measured at start-up, not asked again
    testSettings = TestSettings{};
    SetLocalTimeSource([](std::tm* t) {  // every field a different value below 10
      *t = std::tm{};
      return strptime("2026-01-05 09:03:07", "%Y-%m-%d %H:%M:%S", t) != nullptr;
    });
  }

  void cleanup() {
    for (const auto& p : ui_->placements)
      QVERIFY(p.window == ui_->mainWindow && p.width == 1366 && p.height == 768);
    ui_.reset();
  }

  // The log line is dated by the moment the test ended, which also names its
  // session record, and not by a later reading of the clock.
  void logLine_datedByTheTestsEnd() {
    SetTrials({3, 0, 4, 1, 3, 2});
    const QDateTime ended = QDateTime::fromString("2026-02-03T04:05:06.999", Qt::ISODateWithMs);
    WriteTestResults(1, ended);
    QVERIFY2(ReadBytes("ORBEL.txt").contains("\r\n2026/02/03\t04:05:06\t"),
             ReadBytes("ORBEL.txt").constData());
  }

  void completedTests_createThenAppend_abandonedTouchNothing() {
    const QByteArray rows =
        "SOMEBODY,1,3,0,1000,900,0,0\r\nSOMEBODY,2,4,1,1001,400,1,1\r\n"
        "SOMEBODY,3,3,2,1002,-100,0,2\r\n";
    QCOMPARE(SetTrials({3, 0, 4, 1, 3, 2}), rows);
    WriteTestResults(1);
    const QByteArray more = SetTrials({5, 1});
    WriteTestResults(1);
    testSettings.flag_feedback = 1;
    for (int outcome : {0, -1, 2}) WriteTestResults(outcome);
    QCOMPARE(ui_->placements.size(), size_t(5));
    QCOMPARE(ReadBytes("SOMEBODY.csv"), kCsvHeader + rows + more);
    QCOMPARE(ReadBytes("ORBEL.txt"),
             kLogHeader + kStamp + "3.50\tSOMEBODY\r\n" + kStamp + "5.00\tSOMEBODY\r\n");
    QVERIFY(ui_->boxes.empty());  // feedback was off while the tests completed
  }

  void score_data() {
    QTest::addColumn<QList<int>>("itemsRev");
    QTest::addColumn<QByteArray>("score");  // empty: no score, no log line
    QTest::newRow("14/3, only Rev != 0 counts")
        << QList<int>{5, 1, 4, -2, 9, 0, 5, 3} << QByteArray("4.67");
    QTest::newRow("9/2 keeps its zero") << QList<int>{4, 1, 5, 2} << QByteArray("4.50");
    QTest::newRow("no reversal") << QList<int>{3, 0, 4, 0} << QByteArray();
    QList<int> full;  // every tenth trial reverses with 10 patches
    for (int k = 0; k < kMaxTrials; ++k) full << (k % 10 == 9 ? 10 : 3) << (k % 10 == 9);
    QTest::newRow("200 trials") << full << QByteArray("10.00");
  }

  void score() {
    QFETCH(QList<int>, itemsRev);
    QFETCH(QByteArray, score);
    testSettings.flag_feedback = 1;
    const QByteArray rows = SetTrials(itemsRev);
    WriteTestResults(1);
    QCOMPARE(ReadBytes("SOMEBODY.csv"), kCsvHeader + rows);
    if (score.isEmpty()) {
      QVERIFY(!QFile::exists("ORBEL.txt"));
      QCOMPARE(Boxes(),
               QStringList{"Score|0|The test ended without a reversal, so it has no score."});
    } else {
      QCOMPARE(ReadBytes("ORBEL.txt"), kLogHeader + kStamp + score + "\tSOMEBODY\r\n");
      QCOMPARE(Boxes(), QStringList{"Score|0|Score is " + score});
    }
  }

  // A file before the test: "-" absent, "/" a directory, else its bytes, and
  // then readable only when empty.
  void existingFiles_data() {
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QStringList>("boxes");
    const QString score = "Score|0|Score is 3.50";
    QTest::newRow("empty files get the header")
        << QByteArray() << QByteArray() << QStringList{score};
    QTest::newRow("unreadable files are appended to")
        << QByteArray("OLD\r\n") << QByteArray("OLD\r\n") << QStringList{score};
    QTest::newRow("log not creatable")
        << QByteArray("-") << QByteArray("/")
        << QStringList{"app|48|Cannot open the data file [ORBEL.txt]."};
    QTest::newRow("subject file not creatable")
        << QByteArray("/") << QByteArray("-")
        << QStringList{"app|48|Cannot open the data file [SOMEBODY.csv] (" +
                           QString(std::strerror(EISDIR)) +
                           "); the rows of this test were not saved.",
                       score};
  }

  void existingFiles() {
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, log);
    QFETCH(QStringList, boxes);
    testSettings.flag_feedback = 1;
    const std::pair<const char*, QByteArray> files[] = {{"SOMEBODY.csv", csv}, {"ORBEL.txt", log}};
    for (const auto& [name, before] : files) {
      if (before == "/") QVERIFY(QDir().mkdir(name));
      if (before == "/" || before == "-") continue;
      QVERIFY(WriteBytes(name, before));
      QCOMPARE(::chmod(name, before.isEmpty() ? 0666 : 0222), 0);
    }
    QCOMPARE(::chmod(".", 0777), 0);
    const QByteArray rows = SetTrials({3, 1, 4, 2});
    ::setfsuid(65534);  // as root, permission bits apply only to another user
    const bool unreadable = ::faccessat(AT_FDCWD, "ORBEL.txt", R_OK, AT_EACCESS) != 0;
    WriteTestResults(1);
    ::setfsuid(::getuid());
    if (log == "OLD\r\n" && !unreadable) QSKIP("this process reads write-only files");
    QCOMPARE(Boxes(), boxes);
    const auto expected = [](const QByteArray& before, const QByteArray& header,
                             const QByteArray& added) {
      if (before == "/") return QByteArray("<missing>");
      return (before == "-" || before.isEmpty() ? header : before) + added;
    };
    for (const auto& file : files) ::chmod(file.first, 0666);  // for a test run as a plain user
    QCOMPARE(ReadBytes("SOMEBODY.csv"), expected(csv, kCsvHeader, rows));
    QCOMPARE(ReadBytes("ORBEL.txt"), expected(log, kLogHeader, kStamp + "3.50\tSOMEBODY\r\n"));
  }

  // A new file survives a power cut only once its folder entry is on disk.
  void newFiles_syncedWithTheirFolder_oldOnesAlone() {
    const QString here = QDir::current().canonicalPath();
    const QStringList created{here + "/SOMEBODY.csv", here, here + "/ORBEL.txt", here};
    const QStringList appended{here + "/SOMEBODY.csv", here + "/ORBEL.txt"};
    for (const QStringList& expected : {created, appended}) {
      SetTrials({3, 1});
      synced.clear();
      WriteTestResults(1);
      QCOMPARE(synced, expected);
    }
  }

  // A hand edit or a crash can leave a file whose last line has no line end.
  void unendedLastLine_endedBeforeAppending_data() {
    QTest::addColumn<QByteArray>("end");  // what the old last line ends in
    QTest::addColumn<QByteArray>("added");
    QTest::newRow("nothing") << QByteArray() << QByteArray("\r\n");
    QTest::newRow("CR alone") << QByteArray("\r") << QByteArray("\n");
    QTest::newRow("LF alone") << QByteArray("\n") << QByteArray();
  }

  void unendedLastLine_endedBeforeAppending() {
    QFETCH(QByteArray, end);
    QFETCH(QByteArray, added);
    const QByteArray oldCsv = kCsvHeader + "OLD,1,3,0,1,1,0,0" + end;
    const QByteArray oldLog = kLogHeader + "2026/01/01\t10:00:00\t9.00\tOLD" + end;
    QVERIFY(WriteBytes("SOMEBODY.csv", oldCsv) && WriteBytes("ORBEL.txt", oldLog));
    const QByteArray rows = SetTrials({3, 1, 4, 2});
    WriteTestResults(1);
    QCOMPARE(ReadBytes("SOMEBODY.csv"), oldCsv + added + rows);
    QCOMPARE(ReadBytes("ORBEL.txt"), oldLog + added + kStamp + "3.50\tSOMEBODY\r\n");
    std::vector<LogEntry> entries;
    QCOMPARE(ReadResultsLog(&entries), 1);
    QCOMPARE(Describe(entries),
             (QStringList{"2026/01/01|10:00:00|9|OLD", "2026/01/05|09:03:07|3.5|SOMEBODY*"}));
  }

  // Two stations append to one file at the same moment.
  void twoStations_500LinesEach_allWholeAndPresent() {
    const QString path = dir_->filePath("shared.txt");
    auto a = StartWriter(path, "A", 500);
    auto b = StartWriter(path, "B", 500);
    for (QProcess* p : {a.get(), b.get()}) {
      QVERIFY(p->waitForFinished(60000));
      QCOMPARE(p->exitCode(), 0);
    }
    const QByteArrayList lines = ReadBytes(path).split('\n');
    QCOMPARE(lines.size(), 1002);  // the last empty, after the last line end
    QCOMPARE(lines[0] + lines[1001], QByteArray("HEADER\r"));
    int next[2] = {0, 0};  // each station's lines arrive whole and in its order
    for (qsizetype k = 1; k < 1001; ++k) {
      const int s = lines[k].startsWith('A') ? 0 : 1;
      const QByteArray tag(1, "AB"[s]);
      QCOMPARE(lines[k],
               tag + "\t" + QByteArray::number(next[s]++) + "\t" + QByteArray(300, tag[0]) + "\r");
    }
    QCOMPARE(next[0] + next[1], 1000);
  }

  // The header decision and the line end repair wait for another station's
  // append: here the test is the other station, ending with a half line.
  void otherStationAppending_appendWaitsForItsLock() {
    const QString path = dir_->filePath("shared.txt");
    QVERIFY(WriteBytes(path, ""));
    const int fd = ::open(qPrintable(path), O_RDWR | O_APPEND);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    QCOMPARE(::fcntl(fd, F_SETLK, &whole), 0);
    auto writer = StartWriter(path, "A", 1);
    QVERIFY(writer->waitForStarted());
    QVERIFY(!writer->waitForFinished(500));  // it waits for the lock
    // Looked at through the locked descriptor: closing any other one of this
    // process's descriptors of the file would release the lock.
    struct stat st {};
    QCOMPARE(::fstat(fd, &st), 0);
    QCOMPARE(st.st_size, off_t(0));
    QCOMPARE(::write(fd, "HEADER\r\nhalf", 12), 12);
    ::close(fd);  // releases the lock
    QVERIFY(writer->waitForFinished(10000));
    QCOMPARE(writer->exitCode(), 0);
    QCOMPARE(ReadBytes(path), "HEADER\r\nhalf\r\nA\t0\t" + QByteArray(300, 'A') + "\r\n");
  }

  // A file size limit makes the write fail part-way, as a full disk does.
  void failedWrite_cutBackToOldEnd() {
    const QByteArray old = kLogHeader + kStamp + "1.00\tOLD\r\n";
    QVERIFY(WriteBytes("ORBEL.txt", old));
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = old.size() + 10;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string reason;
    const file_io::AppendStatus status =
        file_io::AppendToFile("ORBEL.txt", "", std::string(100, 'x'), &reason);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(status == file_io::AppendStatus::kWriteFailed);
    QCOMPARE(QString::fromStdString(reason), QString(std::strerror(EFBIG)));
    QCOMPARE(ReadBytes("ORBEL.txt"), old);
  }

  // Another user's link or FIFO at a result file's name: the box names the
  // file and the reason, and nothing is written anywhere else.
  void plantedResultFile_refusedWithBox_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("kind");
    for (const char* file : {"SOMEBODY.csv", "ORBEL.txt"})
      for (const char* kind : {"link", "fifo", "zero"})
        QTest::newRow(qPrintable(QString(file) + " " + kind)) << file << kind;
  }
  void plantedResultFile_refusedWithBox() {
    QFETCH(QString, file);
    QFETCH(QString, kind);
    QVERIFY(WriteBytes("victim", "not yours\n"));
    QVERIFY(testing::Plant(kind, file, "victim", 0));
    SetTrials({3, 1, 4, 2});
    WriteTestResults(1);
    const QString lost = file == "ORBEL.txt" ? "the result of this test was not saved."
                                             : "the rows of this test were not saved.";
    const QString box = "app|48|Cannot write the data file [" + file + "] (" +
                        testing::RefusalFor(kind, "") + "); " + lost;
    QVERIFY2(Boxes().contains(box), qPrintable(Boxes().join("\n")));
    QCOMPARE(ReadBytes("victim"), QByteArray("not yours\n"));
  }

  // The log reader: a FIFO is not waited on, /dev/zero not read without end.
  void log_plantedFile_refusedUnread_data() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : testing::PlantedKinds()) QTest::newRow(qPrintable(kind)) << kind;
  }
  void log_plantedFile_refusedUnread() {
    QFETCH(QString, kind);
    QVERIFY(WriteBytes("victim", kLogHeader + kStamp + "1.00\tX\r\n"));
    QVERIFY(testing::Plant(kind, "ORBEL.txt", "victim", 65 * 1024 * 1024));
    std::vector<LogEntry> entries;
    std::string refused;
    QCOMPARE(ReadResultsLog(&entries, &refused), 0);
    QCOMPARE(QString::fromStdString(refused), testing::RefusalFor(kind, "64 MiB"));
    QVERIFY(entries.empty());
  }

  // Another station holds the log's lock and the experimenter gives up the
  // wait: the box says the result was not written, and it was not.
  void lockWaitCancelled_boxSaysNotWritten() {
    QVERIFY(WriteBytes("ORBEL.txt", kLogHeader));
    const pid_t holder = testing::HoldLock("ORBEL.txt");
    QVERIFY(holder > 0);
    QStringList waitedFor;
    const ResultLockWait previous =
        SetResultLockWait([&](const std::string& file, const std::function<bool()>& tryLock) {
          waitedFor << QString::fromStdString(file);
          return tryLock();  // one look, then cancelled
        });
    SetTrials({3, 1, 4, 2});
    WriteTestResults(1);
    SetResultLockWait(previous);
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    QCOMPARE(waitedFor, QStringList{"ORBEL.txt"});
    QCOMPARE(Boxes(), QStringList{"app|48|Cannot write the data file [ORBEL.txt] (the wait for "
                                  "another station's lock was cancelled); the result of this test "
                                  "was not saved."});
    QCOMPARE(ReadBytes("ORBEL.txt"), kLogHeader);
  }

  void log_workedExample() {
    std::vector<LogEntry> entries;
    QVERIFY(WriteBytes("ORBEL.txt", kLogHeader + "2026/01/03\t10:00:00\t5.00\tP\r\n" +
                                        "2026/01/04\t11:30:00\t6.25\tQ\r\n" + kStamp +
                                        "5.00\tR\r\n"));
    QCOMPARE(ReadResultsLog(&entries), 1);
    const LogEntry current = entries.back();
    RankEntries(&entries);
    QCOMPARE(Describe(entries),
             QStringList({"2026/01/04|11:30:00|6.25|Q", "2026/01/05|09:03:07|5|R*",
                          "2026/01/03|10:00:00|5|P"}));
    QCOMPARE(CurrentRank(entries), 2);
    QCOMPARE(FormatSummary(current, 2, 3),
             std::string("Result of [R]: 5.00 chunks (ORDER: 2 out of 3 / 66.7 percentile)"));
    QCOMPARE(FormatResultRow(2, entries[1]),
             std::string("0002:  2026/01/05(09:03:07)    5.00   R"));
  }

  void rankEntries_sameOrderAsExchangeSort_data() {
    QTest::addColumn<QList<double>>("pool");  // the scores a log draws from
    QTest::addColumn<int>("maxLength");
    const double nan = std::nan(""), inf = HUGE_VAL;
    QTest::newRow("few values, many ties") << QList<double>{4.5, 5, 5.25, 6} << 60;
    QTest::newRow("NaN and infinities")
        << QList<double>{nan, inf, -inf, 0.0, -0.0, 3, 3, 7.5} << 60;
    QTest::newRow("mostly NaN") << QList<double>{nan, nan, nan, 1, 2} << 40;
    QTest::newRow("all equal") << QList<double>{5} << 30;
    QTest::newRow("long logs") << QList<double>{nan, inf, 1, 2, 3, 4} << 700;
  }

  void rankEntries_sameOrderAsExchangeSort() {
    QFETCH(QList<double>, pool);
    QFETCH(int, maxLength);
    QRandomGenerator random(20260105);
    for (int log = 0; log < 200; ++log) {
      std::vector<LogEntry> entries(random.bounded(maxLength + 1));
      for (size_t k = 0; k < entries.size(); ++k) {
        entries[k].score = pool[random.bounded(int(pool.size()))];
        entries[k].subject = std::to_string(k);  // tells equal scores apart
      }
      std::vector<LogEntry> expected = entries;
      ExchangeSort(&expected);
      RankEntries(&entries);
      QCOMPARE(Describe(entries), Describe(expected));
    }
  }

  void log_readAndRank_data() {
    QTest::addColumn<QByteArray>("lines");  // after the header
    QTest::addColumn<QStringList>("ranked");
    const QByteArray a999 = "d\tt\t5\t" + QByteArray(993, 'A');
    const QString long999 = "d|t|5|" + QString(993, 'A');
    QTest::newRow("header only") << QByteArray() << QStringList();
    QTest::newRow("blank line ends the log")
        << QByteArray("d\tt\t1\tA\r\n \t\r\nd\tt\t3\tC\r\n") << QStringList{"d|t|1|A*"};
    QTest::newRow("ends trimmed, inner blanks kept")
        << QByteArray(" \t d 1\t t \t2.5x\tA B \v\f\r\r\n") << QStringList{"d 1| t |2.5|A B*"};
    QTest::newRow("fewer than three tabs")
        << QByteArray("d\tt\r\ngarbage\r\n") << QStringList{"garbage||0|*", "d|t|0|"};
    QTest::newRow("NUL ends a line's text")
        << QByteArray("d\tt\t3\tA\0\tjunk\r\nd\tt\t2\tB\r\n", 24)
        << QStringList{"d|t|3|A", "d|t|2|B*"};
    QTest::newRow("NUL tail of a crash ends the log")
        << QByteArray("d\tt\t3\tA\r\n") + QByteArray(1500, '\0') + "d\tt\t9\tLATE\r\n"
        << QStringList{"d|t|3|A*"};
    QTest::newRow("999-character pieces") << a999 + "x\ty\t2.5\tZ\r\n"
                                          << QStringList{long999, "x|y|2.5|Z*"};
    QTest::newRow("line end after 999 characters is a blank line") << a999 + "\r\nd\tt\t9\tLOST\r\n"
                                                                   << QStringList{long999 + "*"};
  }

  void log_readAndRank() {
    QFETCH(QByteArray, lines);
    QFETCH(QStringList, ranked);
    QVERIFY(WriteBytes("ORBEL.txt", kLogHeader + lines));
    std::vector<LogEntry> entries(1);  // replaced, not added to
    QCOMPARE(ReadResultsLog(&entries), 1);
    RankEntries(&entries);
    QCOMPARE(Describe(entries), ranked);
  }
};

QTEST_GUILESS_MAIN(ResultsTest)
#include "results_test.moc"
