#include "settings/settings_store.h"

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>
#include <csignal>
#include <memory>
#include <string>

#include "settings/test_settings.h"
#include "support/file_bytes.h"
#include "support/planted.h"

using namespace std::string_literals;
using testing::ReadBytes;
using testing::WriteBytes;

namespace {

// The file's inode, owner and mode: unchanged when it was not replaced.
QList<qulonglong> IdOf(const char* path) {
  struct stat st {};
  ::stat(path, &st);
  return {st.st_ino, st.st_uid, st.st_mode};
}

QStringList FilesHere() {
  return QDir().entryList(QDir::Files | QDir::Hidden);
}

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
    const auto row = [](const char* name, const QByteArray& file, const QByteArrayList& entries) {
      QTest::newRow(name) << file << entries;
    };
    const QByteArray v1021(1021, 'v');
    row("only space, tab and LF trimmed", " \tmy  key\t=\t a  b \t\nk = \va\f\n",
        {"my  key=a  b", "k=\va\f"});
    row("= splits", "memtime==30\nsubject = A = B\n", {"memtime=30", "subject=A"});
    row("key without =, = x", "subject\n= x\n", {"subject=", "x="});
    row("# and [x] are keys, case counts", "#n\n[x]\nMemtime = 1\nmemtime = 2\n",
        {"#n=", "[x]=", "Memtime=1", "memtime=2"});
    row("duplicate overwrites in place", "max_rev = 3\nfoo = 1\nmax_rev = 5\n",
        {"max_rev=5", "foo=1"});
    row("only = skipped, unknown keys in order", "zz = 2\n===\n\nmax_rev = 9\nfoo\n",
        {"zz=2", "max_rev=9", "foo="});
    // Shift-JIS trail bytes (0x40 here) are neither blanks nor "=".
    row("multi-byte text kept", "\x83\x65 = \x81\x40J\xc3\xbc\x81\x40\n",
        {"\x83\x65=\x81\x40J\xc3\xbc\x81\x40"});
    row("NUL ends the line's text", QByteArray::fromStdString("a = 1\0 = x\nb\0c = 2\n"s),
        {"a=1", "b="});
    row("1023 bytes and CR LF read whole", "k=" + v1021 + "\r\nz = 1\n", {"k=" + v1021, "z=1"});
    row("1024th byte starts a piece", "k=" + v1021 + "xy\nz = 1\n", {"k=" + v1021, "xy=", "z=1"});
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
    QCOMPARE(FilesHere(), QStringList{"ORBEL.ini"});
  }

  void firstRun_writesSevenDefaultLines() {
    ReadTestSettings();
    QVERIFY(WriteTestSettings().saved);
    QCOMPARE(ReadBytes("ORBEL.ini"),
             "subject = SOMEBODY\r\nrandom_seed = 0\r\nmemtime = 60\r\nmax_rev = 4\r\n"
             "hide_mouse = 0\r\nflag_feedback = 0\r\nflag_ranking = 0\r\n");
  }

  void readTestSettings_convertsAndKeepsUnknownKeys() {
    QVERIFY(WriteBytes("ORBEL.ini",
                       "max_rev = 99999999999\nmemtime = -a\nfoo = bar\nhide_mouse = 1x\n"
                       "Subject = Y\nflag_ranking = -99999999999\nsubject = P 1\n"));
    ReadTestSettings();
    const TestSettings& s = testSettings;
    QCOMPARE(QByteArray::fromStdString(s.subject), QByteArray("P 1"));
    QCOMPARE((QList<int>{s.random_seed, s.memtime, s.max_rev, s.hide_mouse, s.flag_feedback,
                         s.flag_ranking}),
             (QList<int>{0, 0, 2147483647, 1, 0, -2147483647 - 1}));
    WriteTestSettings();
    QCOMPARE(ReadBytes("ORBEL.ini"),
             "max_rev = 2147483647\r\nmemtime = 0\r\nfoo = bar\r\nhide_mouse = 1\r\nSubject = "
             "Y\r\nflag_ranking = -2147483648\r\nsubject = P 1\r\nrandom_seed = 0\r\n"
             "flag_feedback = 0\r\n");
  }

  // A save that cannot replace the file leaves it as it was, with no temporary.
  void blockedSave_data() {
    QTest::addColumn<int>("fileMode");
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<bool>("asNobody");  // as root, permission bits apply only to another user
    QTest::addColumn<int>("sizeLimit");  // makes the write fail part-way, as a full disk does
    QTest::addColumn<int>("error");      // 0: saved in place
    const bool root = ::getuid() == 0;
    // A lab that locks its settings keeps them locked: same file, owner, mode and text.
    QTest::newRow("read-only for all") << 0444 << 0777 << false << 0 << EACCES;
    QTest::newRow("read-only for this user") << 0644 << 0777 << true << 0 << EACCES;
    QTest::newRow("folder takes no temporary: in place") << 0666 << 0555 << root << 0 << 0;
    QTest::newRow("write fails part-way") << 0644 << 0777 << false << 100 << EFBIG;
  }

  void blockedSave() {
    QFETCH(int, fileMode);
    QFETCH(int, folderMode);
    QFETCH(bool, asNobody);
    QFETCH(int, sizeLimit);
    QFETCH(int, error);
    const QByteArray old = "memtime = 30\r\nsubject = A LONGER NAME THAN THE NEW\r\n";
    const std::string subject = sizeLimit ? std::string(4000, 'N') : "B";
    QVERIFY(WriteBytes("ORBEL.ini", old));
    QCOMPARE(::chmod("ORBEL.ini", mode_t(fileMode)), 0);
    QCOMPARE(::chmod(".", mode_t(folderMode)), 0);
    const QList<qulonglong> before = IdOf("ORBEL.ini");
    settingsStore.LoadFile("ORBEL");
    settingsStore.SetString("subject", subject);
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const rlimit small{rlim_t(sizeLimit), saved.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    if (sizeLimit) QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    if (asNobody) ::setfsuid(65534);
    std::string reason;
    const bool ok = settingsStore.SaveFile(&reason);
    ::setfsuid(::getuid());
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    ::chmod(".", 0777);
    QCOMPARE(ok, error == 0);
    QCOMPARE(QString::fromStdString(reason), error ? QString(std::strerror(error)) : QString());
    QCOMPARE(IdOf("ORBEL.ini"), before);
    QCOMPARE(
        ReadBytes("ORBEL.ini"),
        error ? old : "memtime = 30\r\nsubject = " + QByteArray::fromStdString(subject) + "\r\n");
    QCOMPARE(FilesHere(), QStringList{"ORBEL.ini"});
  }

  // A save killed part-way leaves its temporary, which the next save removes; another
  // copy's save in progress holds a lock on its own, which is kept, as are other files.
  void leftTemporaries_onlyTheKilledSavesRemoved() {
    QVERIFY(WriteBytes("ORBEL.ini", "a = 1\r\n"));
    QVERIFY(WriteBytes("other.ini.12-0.tmp", "x") && WriteBytes("ORBEL.ini.old.tmp", "x"));
    settingsStore.LoadFile("ORBEL");
    settingsStore.SetString("a", std::string(4000, '2'));
    const pid_t killed = ::fork();
    if (killed == 0) {
      const rlimit small{100, 100}, noCore{0, 0};
      ::setrlimit(RLIMIT_CORE, &noCore);
      ::setrlimit(RLIMIT_FSIZE, &small);
      settingsStore.SaveFile();
      ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(killed, &status, 0), killed);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
    const QStringList left = FilesHere().filter(
        QRegularExpression(QString("^ORBEL\\.ini\\.%1-\\d+\\.tmp$").arg(killed)));
    QVERIFY2(left.size() == 1, qPrintable(FilesHere().join(" ")));

    QVERIFY(WriteBytes("ORBEL.ini.77-0.tmp", "half"));  // after the save that would remove it
    int toChild[2], fromChild[2];
    QVERIFY(::pipe(toChild) == 0 && ::pipe(fromChild) == 0);
    const pid_t saving = ::fork();
    if (saving == 0) {
      ::close(toChild[1]);
      const int fd = ::open("ORBEL.ini.77-0.tmp", O_RDWR);
      struct flock whole {};
      whole.l_type = F_WRLCK;
      char c = ::fcntl(fd, F_SETLK, &whole) == 0 ? 'L' : 'E';
      const bool told = ::write(fromChild[1], &c, 1) == 1;
      const bool waited = ::read(toChild[0], &c, 1) >= 0;  // until the parent has saved
      ::_exit(told && waited ? 0 : 1);
    }
    ::close(toChild[0]);
    char locked = 0;
    const bool answered = ::read(fromChild[0], &locked, 1) == 1;
    settingsStore.SetString("a", "3");
    const bool saved = settingsStore.SaveFile();
    const QStringList files = FilesHere();
    ::close(toChild[1]);
    ::waitpid(saving, nullptr, 0);
    QVERIFY(answered && locked == 'L');
    QVERIFY(saved);
    QCOMPARE(ReadBytes("ORBEL.ini"), QByteArray("a = 3\r\n"));
    QCOMPARE(files, (QStringList{"ORBEL.ini", "ORBEL.ini.77-0.tmp", "ORBEL.ini.old.tmp",
                                 "other.ini.12-0.tmp"}));
  }

  // A failed save at shut-down names each setting the next start-up would not read back.
  void writeTestSettings_failed_namesLostSettings_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("lost");
    const QByteArray all =
        "subject = P01\nrandom_seed = 0\nmemtime = 30\nmax_rev = 6\n"
        "hide_mouse = 0\nflag_feedback = 2\nflag_ranking = 0\n";
    QTest::newRow("nothing changed") << all << QStringList();
    QTest::newRow("missing keys with defaults are kept")
        << QByteArray("subject = P01\nmemtime = 30\nmax_rev = 6\nflag_feedback = 2\n")
        << QStringList();
    QTest::newRow("changed in the run")
        << QByteArray(all).replace("memtime = 30", "memtime = 60").replace("= P01", "= OLD")
        << QStringList{"subject = P01", "memtime = 30"};
    QTest::newRow("key missing, not the default")
        << QByteArray("subject = P01\n")
        << QStringList{"memtime = 30", "max_rev = 6", "flag_feedback = 2"};
    QTest::newRow("value read as a number")
        << QByteArray(all).replace("max_rev = 6", "max_rev = 6x") << QStringList();
  }

  void writeTestSettings_failed_namesLostSettings() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, lost);
    QVERIFY(WriteBytes("ORBEL.ini", file));
    ReadTestSettings();
    testSettings = TestSettings{"P01", 0, 30, 6, 0, 2, 0};
    QCOMPARE(::chmod("ORBEL.ini", 0444), 0);
    const SettingsSaveStatus status = WriteTestSettings();
    QVERIFY(!status.saved);
    QCOMPARE(status.file, std::string("ORBEL.ini"));
    QCOMPARE(QString::fromStdString(status.reason), QString(std::strerror(EACCES)));
    QStringList named;
    for (const std::string& s : status.lost) named << QString::fromStdString(s);
    QCOMPARE(named, lost);
    QCOMPARE(ReadBytes("ORBEL.ini"), file);
  }

  // Another user's link, FIFO, folder or huge file in the settings file's
  // place: neither read (nor waited on) nor written through.
  void plantedSettingsFile_refusedUnread_notWrittenThrough_data() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : testing::PlantedKinds()) QTest::newRow(qPrintable(kind)) << kind;
  }

  void plantedSettingsFile_refusedUnread_notWrittenThrough() {
    QFETCH(QString, kind);
    QVERIFY(WriteBytes("victim", "a = 1\n"));
    QVERIFY(testing::Plant(kind, "ORBEL.ini", "victim", 2 * 1024 * 1024));
    settingsStore.LoadFile("ORBEL");
    QCOMPARE(QString::fromStdString(settingsStore.Refusal()), testing::RefusalFor(kind, "1 MiB"));
    QCOMPARE(settingsStore.Count(), 0);
    settingsStore.SetString("a", "2");
    std::string reason;
    const bool saved = settingsStore.SaveFile(&reason);
    QCOMPARE(ReadBytes("victim"), QByteArray("a = 1\n"));
    if (kind == "huge") return;  // a regular file, if a large one: it may be replaced
    QVERIFY(!saved);
    QCOMPARE(QString::fromStdString(reason), testing::RefusalFor(kind, ""));
    QCOMPARE(FilesHere().filter(".tmp"), QStringList());
  }

  // After a failed start-up the file was never read; shut-down must not touch it.
  void writeWithoutRead_leavesFileUntouched() {
    QVERIFY(WriteBytes("ORBEL.ini", "subject = KEEP\n"));
    const SettingsSaveStatus status = WriteTestSettings();
    QVERIFY(!status.saved && status.file.empty() && status.lost.empty());
    QCOMPARE(ReadBytes("ORBEL.ini"), QByteArray("subject = KEEP\n"));
  }
};

QTEST_APPLESS_MAIN(SettingsStoreTest)
#include "settings_store_test.moc"
