#include "records/session_folder.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QtTest>
#include <csignal>
#include <memory>

#include "records/record_writer.h"
#include "records/session_export.h"
#include "support/file_bytes.h"
#include "support/planted.h"
#include "support/session_samples.h"

using testing::ReadBytes;
using testing::WriteBytes;

namespace {

const char kKilled[] = ".K01_20260105-090307.json.tmp12057";

QByteArray RecordBytes() {
  testing::SimulatedSubject who;
  who.subject = "K01";
  return results::SessionRecordJson(testing::SimulatedSession(who));
}

QStringList Names(const std::vector<results::SessionListing>& listings) {
  QStringList out;
  for (const auto& l : listings) out << l.fileName + (l.readable ? "" : "|" + l.reason);
  return out;
}

QStringList Entries() {
  return QDir("sessions")
      .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

}  // namespace

class SessionFolderTest : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> dir_;

 private slots:
  void init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir::setCurrent(dir_->path()));
    QVERIFY(QDir().mkdir("sessions"));
  }

  // Every "*.json" entry is listed, those that are no record file with the
  // reason; none is waited on or read without bound.
  void specialFile_listedUnreadableWithReason_data() {
    QTest::addColumn<QString>("kind");
    for (const QString& kind : testing::PlantedKinds()) QTest::newRow(qPrintable(kind)) << kind;
  }
  void specialFile_listedUnreadableWithReason() {
    QFETCH(QString, kind);
    QVERIFY(WriteBytes("victim", RecordBytes()));
    QVERIFY(testing::Plant(kind, "sessions/a.json", "../victim", 17 * 1024 * 1024));
    QVERIFY(WriteBytes("sessions/b.json", RecordBytes()));
    const auto listings = results::LoadSessionFolder("sessions", {});
    QCOMPARE(
        Names(listings),
        (QStringList{"a.json|cannot be read: " + testing::RefusalFor(kind, "16 MiB"), "b.json"}));
    // The export reads the same way: the planted one is left out and counted.
    int skipped = 0;
    std::string reason;
    QVERIFY(results::ExportSessions({"sessions/a.json", "sessions/b.json"}, "t.csv", "x.csv",
                                    &skipped, &reason));
    QCOMPARE(skipped, 1);
  }

  void linkedFolder_listedWithReason() {
    QVERIFY(QDir("sessions").removeRecursively() && QDir().mkdir("elsewhere"));
    QVERIFY(WriteBytes("elsewhere/b.json", RecordBytes()));
    QVERIFY(QFile::link("elsewhere", "sessions"));
    QCOMPARE(Names(results::LoadSessionFolder("sessions", {})),
             QStringList{"sessions|cannot be read: is a symbolic link"});
  }

  // A save killed after writing its file whole: the record gets its name
  // (the next one when that is taken); one killed part-way is listed as
  // unfinished and kept.
  void killedSave_completedOrListedUnfinished_nothingDeleted_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("nameTaken");
    QTest::addColumn<QStringList>("listed");
    QTest::addColumn<QStringList>("entries");
    const QByteArray whole = RecordBytes();
    QTest::newRow("whole") << whole << false << QStringList{"K01_20260105-090307.json"}
                           << QStringList{"K01_20260105-090307.json"};
    QTest::newRow("whole, name taken")
        << whole << true << QStringList{"K01_20260105-090307-2.json", "K01_20260105-090307.json"}
        << QStringList{"K01_20260105-090307-2.json", "K01_20260105-090307.json"};
    QTest::newRow("half") << whole.left(whole.size() / 2) << false
                          << QStringList{QString(kKilled) + "|unfinished save: "}
                          << QStringList{kKilled};
  }
  void killedSave_completedOrListedUnfinished_nothingDeleted() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, nameTaken);
    QFETCH(QStringList, listed);
    QFETCH(QStringList, entries);
    QVERIFY(WriteBytes(QString("sessions/") + kKilled, bytes));
    if (nameTaken) QVERIFY(WriteBytes("sessions/K01_20260105-090307.json", RecordBytes()));
    // An unfinished one by its name and the start of its reason; the parse
    // error after it is the record reader's.
    QStringList names = Names(results::LoadSessionFolder("sessions", {}));
    for (QString& n : names) {
      const qsizetype at = n.indexOf("|unfinished save: ");
      if (at >= 0) n.truncate(at + 18);
    }
    QCOMPARE(names, listed);
    QCOMPARE(Entries(), entries);
    if (!nameTaken && entries.size() == 1 && entries[0] != kKilled)
      QCOMPARE(ReadBytes("sessions/" + entries[0]), bytes);
  }

  // Another station's save in progress holds its file's lock: left to it.
  void runningSave_leftAlone() {
    QVERIFY(WriteBytes(QString("sessions/") + kKilled, RecordBytes()));
    const pid_t saving = testing::HoldLock(QString("sessions/") + kKilled);
    QVERIFY(saving > 0);
    const auto listings = results::RecoverUnfinishedRecords("sessions");
    ::kill(saving, SIGKILL);
    ::waitpid(saving, nullptr, 0);
    QVERIFY(listings.empty());
    QCOMPARE(Entries(), QStringList{kKilled});
  }
};

QTEST_GUILESS_MAIN(SessionFolderTest)
#include "session_folder_test.moc"
