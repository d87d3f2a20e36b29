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

using namespace std::string_literals;

namespace {

using testing::ReadBytes;
using testing::WriteBytes;

const QByteArray kFirstRunFile =
    "subject = SOMEBODY\r\nrandom_seed = 0\r\nmemtime = 60\r\nmax_rev = 4\r\n"
    "hide_mouse = 0\r\nflag_feedback = 0\r\nflag_ranking = 0\r\n";

struct FileId {
  ino_t inode;
  uid_t owner;
  mode_t mode;
  bool operator==(const FileId& o) const {
    return inode == o.inode && owner == o.owner && mode == o.mode;
  }
};

FileId IdOf(const char* path) {
  struct stat st {};
  ::stat(path, &st);
  return {st.st_ino, st.st_uid, st.st_mode};
}

// As root, permission bits apply only once the file system user is another;
// a plain user stays who it is.
struct AsNobody {
  explicit AsNobody(bool on) : on_(on) {
    if (on_) ::setfsuid(65534);
  }
  ~AsNobody() {
    if (on_) ::setfsuid(::getuid());
  }
  bool on_;
};

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
    QVERIFY(WriteTestSettings().saved);
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

  // A lab that locks its settings keeps them locked: same file, owner, mode and text.
  void readOnlyFile_notReplaced_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("asNobody");
    QTest::newRow("no write permission for anyone") << 0444 << false;
    QTest::newRow("no write permission for this user") << 0644 << true;
  }

  void readOnlyFile_notReplaced() {
    QFETCH(int, mode);
    QFETCH(bool, asNobody);
    const QByteArray old = "memtime = 30\r\n";
    QVERIFY(WriteBytes("ORBEL.ini", old));
    QCOMPARE(::chmod("ORBEL.ini", mode_t(mode)), 0);
    QCOMPARE(::chmod(".", 0777), 0);
    const FileId before = IdOf("ORBEL.ini");
    settingsStore.LoadFile("ORBEL");
    settingsStore.SetString("memtime", "45");
    std::string reason;
    bool saved;
    {
      AsNobody nobody(asNobody);
      saved = settingsStore.SaveFile(&reason);
    }
    QVERIFY(!saved);
    QCOMPARE(QString::fromStdString(reason), QString(std::strerror(EACCES)));
    QVERIFY(IdOf("ORBEL.ini") == before);
    QCOMPARE(ReadBytes("ORBEL.ini"), old);
    QCOMPARE(FilesHere(), QStringList{"ORBEL.ini"});
  }

  // A folder that takes no new file: the file itself is still writable.
  void folderTakesNoTemporary_writtenInPlace() {
    QVERIFY(WriteBytes("ORBEL.ini", "memtime = 30\r\nsubject = A LONGER NAME THAN THE NEW\r\n"));
    QCOMPARE(::chmod("ORBEL.ini", 0666), 0);
    QCOMPARE(::chmod(".", 0555), 0);
    const FileId before = IdOf("ORBEL.ini");
    settingsStore.LoadFile("ORBEL");
    settingsStore.SetString("subject", "B");
    bool saved;
    std::string reason;
    {
      AsNobody nobody(::getuid() == 0);
      saved = settingsStore.SaveFile(&reason);
    }
    ::chmod(".", 0777);
    QVERIFY2(saved, reason.c_str());
    QVERIFY(IdOf("ORBEL.ini") == before);
    QCOMPARE(ReadBytes("ORBEL.ini"), QByteArray("memtime = 30\r\nsubject = B\r\n"));
    QCOMPARE(FilesHere(), QStringList{"ORBEL.ini"});
  }

  // A save killed part-way (here by the file size limit's signal) leaves its
  // temporary file; the next save removes it, and only it.
  void killedSave_temporaryRemovedByNextSave() {
    QVERIFY(WriteBytes("ORBEL.ini", "a = 1\r\n"));
    QVERIFY(WriteBytes("other.ini.12-0.tmp", "x") && WriteBytes("ORBEL.ini.old.tmp", "x"));
    settingsStore.LoadFile("ORBEL");
    settingsStore.SetString("a", std::string(4000, '2'));
    const pid_t child = ::fork();
    if (child == 0) {
      const rlimit small{100, 100}, noCore{0, 0};
      ::setrlimit(RLIMIT_CORE, &noCore);
      ::setrlimit(RLIMIT_FSIZE, &small);
      settingsStore.SaveFile();
      ::_exit(0);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGXFSZ);
    const QString left = QString("ORBEL.ini.%1-0.tmp").arg(child);
    QVERIFY2(FilesHere().contains(left), qPrintable(FilesHere().join(" ")));
    settingsStore.SetString("a", "3");
    QVERIFY(settingsStore.SaveFile());
    QCOMPARE(ReadBytes("ORBEL.ini"), QByteArray("a = 3\r\n"));
    QCOMPARE(FilesHere(), (QStringList{"ORBEL.ini", "ORBEL.ini.old.tmp", "other.ini.12-0.tmp"}));
  }

  // Another copy's save in progress holds a lock on its temporary file.
  void otherSaveInProgress_itsTemporaryKept() {
    QVERIFY(WriteBytes("ORBEL.ini", "a = 1\r\n"));
    QVERIFY(WriteBytes("ORBEL.ini.77-0.tmp", "half"));
    int toChild[2], fromChild[2];
    QVERIFY(::pipe(toChild) == 0 && ::pipe(fromChild) == 0);
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(toChild[1]);
      const int fd = ::open("ORBEL.ini.77-0.tmp", O_RDWR);
      struct flock whole {};
      whole.l_type = F_WRLCK;
      whole.l_whence = SEEK_SET;
      char c = ::fcntl(fd, F_SETLK, &whole) == 0 ? 'L' : 'E';
      static_cast<void>(::write(fromChild[1], &c, 1));
      static_cast<void>(::read(toChild[0], &c, 1));  // until the parent has saved
      ::_exit(0);
    }
    ::close(toChild[0]);
    char locked = 0;
    const bool answered = ::read(fromChild[0], &locked, 1) == 1;
    settingsStore.LoadFile("ORBEL");
    const bool saved = settingsStore.SaveFile();
    const QStringList files = FilesHere();
    ::close(toChild[1]);
    ::waitpid(child, nullptr, 0);
    QVERIFY(answered);
    QCOMPARE(locked, 'L');
    QVERIFY(saved);
    QCOMPARE(files, (QStringList{"ORBEL.ini", "ORBEL.ini.77-0.tmp"}));
  }

  // What a failed save at shut-down costs: each setting whose value the next
  // start-up would not read back.
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
    const SettingsSaveStatus status = WriteTestSettings();
    QVERIFY(!status.saved && status.file.empty() && status.lost.empty());
    QCOMPARE(ReadBytes("ORBEL.ini"), QByteArray("subject = KEEP\n"));
  }
};

QTEST_APPLESS_MAIN(SettingsStoreTest)
#include "settings_store_test.moc"
