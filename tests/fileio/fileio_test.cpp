#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QProcess>
#include <QtTest>
#include <csignal>
#include <memory>
#include <set>

#include "fileio/durable_file.h"
#include "fileio/file_append.h"
#include "fileio/file_io.h"
#include "fileio/safe_file.h"
#include "support/file_bytes.h"
#include "support/planted.h"

using testing::HoldLock;
using testing::ReadBytes;
using testing::WriteBytes;

namespace {

const QByteArray kVictim = "not yours\n";

QStringList Entries(const QString& folder) {
  return QDir(folder).entryList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

class FileIoTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;

  static void AddKinds() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : testing::PlantedKinds()) QTest::newRow(qPrintable(kind)) << kind;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(dir_->path()));
    QVERIFY(WriteBytes("victim", kVictim));
  }

  // Readers: a FIFO is not waited on, /dev/zero not read without end, a
  // folder not taken for an empty file, a huge file not read into memory.
  void read_plantedFile_refusedWithReason_data() { AddKinds(); }
  void read_plantedFile_refusedWithReason() {
    QFETCH(QString, kind);
    QVERIFY(testing::Plant(kind, "file", "victim", 3 * file_io::kMiB));
    std::string bytes;
    std::string reason;
    const file_io::ReadStatus status =
        file_io::ReadRegularFile("file", 2 * file_io::kMiB, &bytes, &reason);
    QCOMPARE(int(status), int(file_io::ReadStatus::kRefused));
    QCOMPARE(QString::fromStdString(reason), testing::RefusalFor(kind, "2 MiB"));
    QVERIFY(bytes.empty());
  }

  void read_regularFile_wholeUpToTheCap_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("cap");
    QTest::addColumn<bool>("read");
    QTest::newRow("empty") << 0 << 10 << true;
    QTest::newRow("at the cap") << 10 << 10 << true;
    QTest::newRow("one over") << 11 << 10 << false;
  }
  void read_regularFile_wholeUpToTheCap() {
    QFETCH(int, size);
    QFETCH(int, cap);
    QFETCH(bool, read);
    QVERIFY(WriteBytes("file", QByteArray(size, 'x')));
    std::string bytes;
    std::string reason;
    const auto status =
        file_io::ReadRegularFile("file", static_cast<uint64_t>(cap), &bytes, &reason);
    QCOMPARE(status == file_io::ReadStatus::kDone, read);
    QCOMPARE(bytes.size(), read ? size_t(size) : size_t(0));
    if (!read) QCOMPARE(QString::fromStdString(reason), QString("is larger than 10 bytes"));
  }

  // Writers that replace a file whole (export, timing-check report and
  // picture): what is planted at the name is refused and its target untouched.
  void replaceWhole_plantedTarget_refused_victimUntouched_data() { AddKinds(); }
  void replaceWhole_plantedTarget_refused_victimUntouched() {
    QFETCH(QString, kind);
    QVERIFY(testing::Plant(kind, "out.csv", "victim", 4096));
    std::string reason;
    const bool ok = file_io::ReplaceWhole("out.csv", "new\n", &reason);
    QCOMPARE(ReadBytes("victim"), kVictim);
    QCOMPARE(Entries(".").filter(".tmp"), QStringList());
    if (kind == "huge") {  // a regular file of ours to replace
      QVERIFY(ok);
      QCOMPARE(ReadBytes("out.csv"), QByteArray("new\n"));
      return;
    }
    QVERIFY(!ok);
    QCOMPARE(QString::fromStdString(reason), testing::RefusalFor(kind, ""));
  }

  // Appends (the subject file and "ORBEL.txt"): never through a link, never
  // into a FIFO (which would also hold the program).
  void append_plantedTarget_refused_victimUntouched_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("link") << "link";
    QTest::newRow("fifo") << "fifo";
    QTest::newRow("zero") << "zero";
  }
  void append_plantedTarget_refused_victimUntouched() {
    QFETCH(QString, kind);
    QVERIFY(testing::Plant(kind, "ORBEL.txt", "victim", 0));
    std::string reason;
    QCOMPARE(int(file_io::AppendToFile("ORBEL.txt", "H\r\n", "row\r\n", &reason)),
             int(file_io::AppendStatus::kRefused));
    QCOMPARE(QString::fromStdString(reason), testing::RefusalFor(kind, ""));
    QCOMPARE(ReadBytes("victim"), kVictim);
  }

  // Waiting for another station's lock shows, and can be given up with
  // nothing written; or it goes on once the lock is free.
  void append_lockHeldElsewhere_waiterPolls_cancelWritesNothing_data() {
    QTest::addColumn<bool>("cancel");
    QTest::newRow("cancelled") << true;
    QTest::newRow("lock freed") << false;
  }
  void append_lockHeldElsewhere_waiterPolls_cancelWritesNothing() {
    QFETCH(bool, cancel);
    QVERIFY(WriteBytes("ORBEL.txt", "H\r\n"));
    const pid_t holder = HoldLock("ORBEL.txt");
    QVERIFY(holder > 0);
    int polls = 0;
    const file_io::LockWaiter waiter = [&](const std::function<bool()>& tryLock) {
      for (;;) {
        if (tryLock()) return true;
        if (++polls == 3) {
          if (cancel) return false;
          ::kill(holder, SIGKILL);
          ::waitpid(holder, nullptr, 0);
        }
        ::usleep(20000);
      }
    };
    std::string reason;
    const file_io::AppendStatus status =
        file_io::AppendToFile("ORBEL.txt", "H\r\n", "row\r\n", &reason, waiter);
    if (cancel) {
      ::kill(holder, SIGKILL);
      ::waitpid(holder, nullptr, 0);
    }
    QVERIFY(polls >= 3);
    QCOMPARE(int(status),
             int(cancel ? file_io::AppendStatus::kCancelled : file_io::AppendStatus::kDone));
    QCOMPARE(ReadBytes("ORBEL.txt"), QByteArray(cancel ? "H\r\n" : "H\r\nrow\r\n"));
  }

  // New files (session records): a link in place of their folder, or at a
  // name, is never written through; a taken name moves on to the next.
  void newFile_linkedFolder_refused_nothingWritten() {
    QVERIFY(QDir().mkdir("elsewhere") && QFile::link("elsewhere", "sessions"));
    std::string written;
    std::string reason;
    QVERIFY(!file_io::WriteNewFileDurably("sessions", {"a.json"}, "{}", &written, &reason));
    QCOMPARE(QString::fromStdString(reason), QString("sessions is a symbolic link"));
    QCOMPARE(Entries("elsewhere"), QStringList());
  }

  void newFile_plantedAtName_takesTheNextName_data() { AddKinds(); }
  void newFile_plantedAtName_takesTheNextName() {
    QFETCH(QString, kind);
    QVERIFY(QDir().mkdir("sessions"));
    QVERIFY(testing::Plant(kind, "sessions/a.json", "../victim", 10));
    // A link at the temporary name a pid-named save of this process would pick.
    QVERIFY(QFile::link("../victim", QString("sessions/.a.json.tmp%1").arg(::getpid())));
    std::string written;
    std::string reason;
    QVERIFY2(
        file_io::WriteNewFileDurably("sessions", {"a.json", "a-2.json"}, "{}", &written, &reason),
        reason.c_str());
    QCOMPARE(QString::fromStdString(written), QString("a-2.json"));
    QCOMPARE(ReadBytes("sessions/a-2.json"), QByteArray("{}"));
    QCOMPARE(ReadBytes("victim"), kVictim);
    QVERIFY(!QFileInfo("sessions/a-2.json").isSymLink());
  }

  // Two stations with the same process id (two PCs) saving the same subject
  // in the same second each keep every one of their records.
  void newFile_twoWritersWithEqualPids_allKept() {
    const QString unshare = QStandardPaths::findExecutable("unshare");
    if (unshare.isEmpty()) QSKIP("no unshare");
    QStringList args{"--pid", "--fork", "--mount-proc"};
    QProcess probe;
    probe.start(unshare, args + QStringList{"true"});
    if (!probe.waitForFinished(10000) || probe.exitCode() != 0) {
      args.prepend("--map-root-user");
      args.prepend("--user");
      probe.start(unshare, args + QStringList{"true"});
      if (!probe.waitForFinished(10000) || probe.exitCode() != 0) QSKIP("no pid namespaces here");
    }
    QVERIFY(QDir().mkdir("sessions"));
    constexpr int kEach = 40;
    QProcess a;
    QProcess b;
    for (auto [p, tag] : {std::pair{&a, "A"}, std::pair{&b, "B"}}) {
      p->start(unshare, args + QStringList{DORVANE_RECORD_WRITER, "sessions", "K01_20260105-090307",
                                           tag, QString::number(kEach)});
    }
    QVERIFY(a.waitForFinished(60000) && b.waitForFinished(60000));
    QCOMPARE(a.exitCode(), 0);
    QCOMPARE(b.exitCode(), 0);
    const QStringList named = QString(a.readAllStandardOutput() + b.readAllStandardOutput())
                                  .split('\n', Qt::SkipEmptyParts);
    QCOMPARE(named.size(), 2 * kEach);
    std::set<QByteArray> bodies;
    for (const QString& name : Entries("sessions")) bodies.insert(ReadBytes("sessions/" + name));
    QCOMPARE(Entries("sessions").size(), 2 * kEach);  // no temporary left
    QCOMPARE(bodies.size(), size_t(2 * kEach));
    for (int i = 0; i < kEach; ++i) {
      QVERIFY(bodies.count("A " + QByteArray::number(i) + "\n"));
      QVERIFY(bodies.count("B " + QByteArray::number(i) + "\n"));
    }
  }
};

QTEST_GUILESS_MAIN(FileIoTest)
#include "fileio_test.moc"
