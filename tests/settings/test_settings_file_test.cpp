#include <QtTest>
#include <memory>

#include "settings/settings_store.h"
#include "settings/test_settings.h"

namespace {

// The six integer settings in file order.
QList<int> Ints(const TestSettings& s) {
  return {s.random_seed, s.memtime, s.max_rev, s.hide_mouse, s.flag_feedback, s.flag_ranking};
}

void WriteIni(const QByteArray& bytes) {
  QFile f("ORBEL.ini");
  QVERIFY(f.open(QIODevice::WriteOnly));
  QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray ReadIni() {
  QFile f("ORBEL.ini");
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

const QByteArray kFirstRunFile =
    "subject = SOMEBODY\r\nrandom_seed = 0\r\nmemtime = 60\r\nmax_rev = 4\r\n"
    "hide_mouse = 0\r\nflag_feedback = 0\r\nflag_ranking = 0\r\n";

}  // namespace

// Runs in a fresh working directory per test, as the program runs in its own.
class TestSettingsFileTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    workDir = std::make_unique<QTemporaryDir>();
    QVERIFY(workDir->isValid());
    oldDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workDir->path()));
    testSettings = TestSettings{};
    settingsStore = SettingsStore{};
  }

  void cleanup() {
    QDir::setCurrent(oldDir);
    workDir.reset();
  }

  void readMissingFile_keepsCurrentValues() {
    testSettings.subject = "P01";
    testSettings.memtime = 5;
    testSettings.flag_ranking = 1;
    ReadTestSettings();
    QCOMPARE(QByteArray::fromStdString(testSettings.subject), QByteArray("P01"));
    QCOMPARE(Ints(testSettings), (QList<int>{0, 5, 4, 0, 0, 1}));
    QVERIFY(!QFile::exists("ORBEL.ini"));
  }

  void firstRun_writesSevenDefaultLines() {
    ReadTestSettings();
    WriteTestSettings();
    QCOMPARE(ReadIni(), kFirstRunFile);
  }

  void read_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("subject");
    QTest::addColumn<QList<int>>("ints");

    QTest::newRow("all seven")
        << QByteArray(
               "flag_ranking = 1\nflag_feedback = 1\nhide_mouse = 1\nmax_rev = 8\n"
               "memtime = 20\nrandom_seed = -12\nsubject = P07\n")
        << QByteArray("P07") << QList<int>{-12, 20, 8, 1, 1, 1};
    QTest::newRow("some keys, others default")
        << QByteArray("max_rev = 6\nfoo = bar\n\nsubject = X\n") << QByteArray("X")
        << QList<int>{0, 60, 6, 0, 0, 0};
    QTest::newRow("value cut at =")
        << QByteArray("subject = A = B\n") << QByteArray("A") << QList<int>{0, 60, 4, 0, 0, 0};
    QTest::newRow("keys without =")
        << QByteArray("subject\nmemtime\n") << QByteArray() << QList<int>{0, 0, 4, 0, 0, 0};
    QTest::newRow("capital key ignored") << QByteArray("Memtime = 10\nSubject = Y\n")
                                         << QByteArray("SOMEBODY") << QList<int>{0, 60, 4, 0, 0, 0};
    QTest::newRow("saturated and non-numbers")
        << QByteArray("max_rev = 99999999999\nmemtime = -a\nhide_mouse = 1x\n")
        << QByteArray("SOMEBODY") << QList<int>{0, 0, 2147483647, 1, 0, 0};
    QTest::newRow("later duplicate wins")
        << QByteArray("max_rev = 3\r\nmax_rev = 5\r\n") << QByteArray("SOMEBODY")
        << QList<int>{0, 60, 5, 0, 0, 0};
  }

  void read() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, subject);
    QFETCH(QList<int>, ints);
    WriteIni(file);
    ReadTestSettings();
    QCOMPARE(QByteArray::fromStdString(testSettings.subject), subject);
    QCOMPARE(Ints(testSettings), ints);
  }

  void readThenWrite_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("unknown key kept, settings appended in order")
        << QByteArray("max_rev = 6\nfoo = bar\n\nsubject = X\n")
        << QByteArray(
               "max_rev = 6\r\nfoo = bar\r\nsubject = X\r\nrandom_seed = 0\r\nmemtime = 60\r\n"
               "hide_mouse = 0\r\nflag_feedback = 0\r\nflag_ranking = 0\r\n");
    QTest::newRow("written file reads back unchanged") << kFirstRunFile << kFirstRunFile;
    QTest::newRow("empty subject")
        << QByteArray("subject\n")
        << QByteArray(
               "subject = \r\nrandom_seed = 0\r\nmemtime = 60\r\nmax_rev = 4\r\n"
               "hide_mouse = 0\r\nflag_feedback = 0\r\nflag_ranking = 0\r\n");
    QTest::newRow("non-number written as its value")
        << QByteArray("memtime = 12abc\nMemtime = 10\n")
        << QByteArray(
               "memtime = 12\r\nMemtime = 10\r\nsubject = SOMEBODY\r\nrandom_seed = 0\r\n"
               "max_rev = 4\r\nhide_mouse = 0\r\nflag_feedback = 0\r\nflag_ranking = 0\r\n");
  }

  void readThenWrite() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, written);
    WriteIni(file);
    ReadTestSettings();
    WriteTestSettings();
    QCOMPARE(ReadIni(), written);
  }

  void editedSubject_nextRun_data() {
    QTest::addColumn<QByteArray>("edited");
    QTest::addColumn<QByteArray>("nextRun");
    QTest::newRow("plain") << QByteArray("P12") << QByteArray("P12");
    QTest::newRow("inner blanks kept") << QByteArray("Ann  Lee") << QByteArray("Ann  Lee");
    QTest::newRow("outer blanks lost") << QByteArray(" \tP12 ") << QByteArray("P12");
    QTest::newRow("= cuts the value") << QByteArray("A=B") << QByteArray("A");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("Shift-JIS") << QByteArray("\x83\x65\x83\x58\x83\x67\x81\x40")
                               << QByteArray("\x83\x65\x83\x58\x83\x67\x81\x40");
  }

  void editedSubject_nextRun() {
    QFETCH(QByteArray, edited);
    QFETCH(QByteArray, nextRun);
    ReadTestSettings();
    testSettings.subject = edited.toStdString();
    testSettings.memtime = -3;
    testSettings.max_rev = 12;
    WriteTestSettings();

    testSettings = TestSettings{};
    settingsStore = SettingsStore{};
    ReadTestSettings();
    QCOMPARE(QByteArray::fromStdString(testSettings.subject), nextRun);
    QCOMPARE(Ints(testSettings), (QList<int>{0, -3, 12, 0, 0, 0}));
  }

  // After a failed start-up the file was never read; shut-down must not touch it.
  void writeWithoutRead_leavesFileUntouched() {
    WriteIni("subject = KEEP\n");
    testSettings.subject = "OTHER";
    WriteTestSettings();
    QCOMPARE(ReadIni(), QByteArray("subject = KEEP\n"));
  }

 private:
  std::unique_ptr<QTemporaryDir> workDir;
  QString oldDir;
};

QTEST_APPLESS_MAIN(TestSettingsFileTest)
#include "test_settings_file_test.moc"
