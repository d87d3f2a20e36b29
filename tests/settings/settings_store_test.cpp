#include "settings/settings_store.h"

#include <sys/resource.h>

#include <QtTest>
#include <csignal>
#include <memory>
#include <string>

#include "settings/test_settings.h"
#include "support/file_bytes.h"

using namespace std::string_literals;

namespace {

using testing::ReadBytes;
using testing::WriteBytes;

const QByteArray kFirstRunFile =
    "subject = SOMEBODY\r\nrandom_seed = 0\r\nmemtime = 60\r\nmax_rev = 4\r\n"
    "hide_mouse = 0\r\nflag_feedback = 0\r\nflag_ranking = 0\r\n";

}  // namespace

// Runs each test in a fresh working directory, as the program runs in its own.
class SettingsStoreTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(dir_->path()));
    testSettings = TestSettings{};
    settingsStore = SettingsStore{};
  }

  // The entries read from a file, and the bytes the store writes back for them.
  void loadThenSave_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArrayList>("entries");  // "key=value"
    const QByteArray v1021(1021, 'v');
    QTest::newRow("only space, tab and LF trimmed")
        << QByteArray(" \tmy  key\t=\t a  b \t\nk = \va\f\n")
        << QByteArrayList{"my  key=a  b", "k=\va\f"};
    QTest::newRow("= splits") << QByteArray("memtime==30\nsubject = A = B\n")
                              << QByteArrayList{"memtime=30", "subject=A"};
    QTest::newRow("key without =, = x")
        << QByteArray("subject\n= x\n") << QByteArrayList{"subject=", "x="};
    QTest::newRow("# and [x] are keys, case counts")
        << QByteArray("#n\n[x]\nMemtime = 1\nmemtime = 2\n")
        << QByteArrayList{"#n=", "[x]=", "Memtime=1", "memtime=2"};
    QTest::newRow("duplicate overwrites in place")
        << QByteArray("max_rev = 3\nfoo = 1\nmax_rev = 5\n")
        << QByteArrayList{"max_rev=5", "foo=1"};
    QTest::newRow("only = skipped, unknown keys in order")
        << QByteArray("zz = 2\n===\n\nmax_rev = 9\nfoo\n")
        << QByteArrayList{"zz=2", "max_rev=9", "foo="};
    // Shift-JIS trail bytes (0x40 here) are neither blanks nor "=".
    QTest::newRow("multi-byte text kept") << QByteArray("\x83\x65 = \x81\x40J\xc3\xbc\x81\x40\n")
                                          << QByteArrayList{"\x83\x65=\x81\x40J\xc3\xbc\x81\x40"};
    QTest::newRow("NUL ends the line's text")
        << QByteArray::fromStdString("a = 1\0 = x\nb\0c = 2\n"s) << QByteArrayList{"a=1", "b="};
    QTest::newRow("CR LF") << QByteArray("a = 1\r\nb = 2\r\n") << QByteArrayList{"a=1", "b=2"};
    QTest::newRow("1023 bytes and CR LF read whole") << "k=" + v1021 + "\r\nz = 1\n"
                                                     << QByteArrayList{"k=" + v1021, "z=1"};
    QTest::newRow("1024th byte starts a piece") << "k=" + v1021 + "xy\nz = 1\n"
                                                << QByteArrayList{"k=" + v1021, "xy=", "z=1"};
  }

  void loadThenSave() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArrayList, entries);
    QVERIFY(WriteBytes("ORBEL.ini", file));
    SettingsStore store;
    store.SetString("stale", "entry");
    store.LoadFile("ORBEL");
    QByteArrayList read;
    QByteArray written;
    for (int i = 0; i < store.Count(); ++i) {
      read << QByteArray::fromStdString(store.Keys()[i] + "=" + store.Values()[i]);
      written += QByteArray::fromStdString(store.Keys()[i] + " = " + store.Values()[i] + "\r\n");
    }
    QCOMPARE(read, entries);
    QVERIFY(store.SaveFile());
    QCOMPARE(ReadBytes("ORBEL.ini"), written);
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{"ORBEL.ini"});
  }

  void firstRun_writesSevenDefaultLines() {
    ReadTestSettings();
    WriteTestSettings();
    QCOMPARE(ReadBytes("ORBEL.ini"), kFirstRunFile);
  }

  void readTestSettings_convertsAndKeepsUnknownKeys() {
    QVERIFY(WriteBytes("ORBEL.ini",
                       "max_rev = 99999999999\nmemtime = -a\nfoo = bar\nhide_mouse = 1x\n"
                       "Subject = Y\nflag_ranking = -99999999999\nsubject = P 1\n"));
    ReadTestSettings();
    QCOMPARE(QByteArray::fromStdString(testSettings.subject), QByteArray("P 1"));
    QCOMPARE((QList<int>{testSettings.random_seed, testSettings.memtime, testSettings.max_rev,
                         testSettings.hide_mouse, testSettings.flag_feedback,
                         testSettings.flag_ranking}),
             (QList<int>{0, 0, 2147483647, 1, 0, -2147483647 - 1}));
    WriteTestSettings();
    QCOMPARE(ReadBytes("ORBEL.ini"),
             QByteArray(
                 "max_rev = 2147483647\r\nmemtime = 0\r\nfoo = bar\r\nhide_mouse = 1\r\n"
                 "Subject = Y\r\nflag_ranking = -2147483648\r\nsubject = P 1\r\nrandom_seed = 0\r\n"
                 "flag_feedback = 0\r\n"));
  }

  // A file size limit makes the write fail part-way, as a full disk does.
  void saveFails_keepsOldFileAndNoTemporary() {
    const QByteArray old = "subject = OLD\r\nmemtime = 30\r\n";
    QVERIFY(WriteBytes("ORBEL.ini", old));
    SettingsStore store;
    store.LoadFile("ORBEL");
    store.SetString("subject", std::string(4000, 'N'));
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = store.SaveFile();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!ok);
    QCOMPARE(ReadBytes("ORBEL.ini"), old);
    QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{"ORBEL.ini"});
  }

  void saveThroughSymlink_replacesTheLinkedFile() {
    QVERIFY(QDir().mkdir("real"));
    QVERIFY(WriteBytes("real/settings.ini", "a = 1\n"));
    QVERIFY(QFile::link("real/settings.ini", "ORBEL.ini"));
    settingsStore.LoadFile("ORBEL");
    settingsStore.SetString("a", "2");
    QVERIFY(settingsStore.SaveFile());
    QVERIFY(QFileInfo("ORBEL.ini").isSymLink());
    QCOMPARE(ReadBytes("real/settings.ini"), QByteArray("a = 2\r\n"));
  }

  // After a failed start-up the file was never read; shut-down must not touch it.
  void writeWithoutRead_leavesFileUntouched() {
    QVERIFY(WriteBytes("ORBEL.ini", "subject = KEEP\n"));
    WriteTestSettings();
    QCOMPARE(ReadBytes("ORBEL.ini"), QByteArray("subject = KEEP\n"));
  }
};

QTEST_APPLESS_MAIN(SettingsStoreTest)
#include "settings_store_test.moc"
