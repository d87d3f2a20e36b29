// The Sessions window over aborted tests and practice runs: listed, marked
// and filtered by how they ended, and exported with their outcome.
#include <QtTest>
#include <QtWidgets>
#include <map>

#include "records/record_writer.h"
#include "sessions/session_table.h"
#include "sessions/sessions_window.h"
#include "support/file_bytes.h"
#include "support/session_samples.h"

using sessions::CSessions;
using testing::WriteBytes;

namespace {

QDateTime Day(int day, int hour) {
  return QDateTime(QDate(2026, 1, day), QTime(hour, 0), Qt::LocalTime);
}

QStringList Column(const CSessions& w, int column) {
  QStringList out;
  const QAbstractItemModel* m = w.Table()->model();
  for (int row = 0; row < m->rowCount(); ++row) out << m->index(row, column).data().toString();
  return out;
}

}  // namespace

class SessionOutcomesTest : public QObject {
  Q_OBJECT

 private slots:
  // Aborted tests listed and marked; practice runs only when asked for; the
  // outcome on every exported row, the interrupted trial flagged.
  void outcomeFilter_listsAbortedAndPracticeOnRequest_data() {
    QTest::addColumn<int>("outcome");  // index of the Outcome box: All, Completed, Aborted
    QTest::addColumn<bool>("practice");
    QTest::addColumn<QStringList>("files");
    QTest::newRow("all") << 0 << false << QStringList({"aborted.json", "completed.json"});
    QTest::newRow("completed") << 1 << false << QStringList({"completed.json"});
    QTest::newRow("aborted") << 2 << false << QStringList({"aborted.json"});
    QTest::newRow("all with practice")
        << 0 << true
        << QStringList({"aborted.json", "completed.json", "practice-stopped.json",
                        "practice.json"});
    QTest::newRow("completed with practice")
        << 1 << true << QStringList({"completed.json", "practice.json"});
    QTest::newRow("aborted with practice")
        << 2 << true << QStringList({"aborted.json", "practice-stopped.json"});
  }

  void outcomeFilter_listsAbortedAndPracticeOnRequest() {
    QFETCH(int, outcome);
    QFETCH(bool, practice);
    QFETCH(QStringList, files);
    QTemporaryDir dir;
    const auto stop = [](results::SessionRecord r, results::SessionOutcome as, TrialPhase phase) {
      r.outcome = as;
      r.hasScore = false;
      r.abort = {true, AbortHow::kEscape, static_cast<int32_t>(r.trials.size()), phase};
      r.trials.back().row.NCorrect = 0;  // cut short before anything was found
      r.trials.back().row.Error = 0;
      return r;
    };
    const auto sample = [](uint32_t start, int day) {
      return testing::SimulatedSession({"S01", 3, 4, 5.0, start, Day(day, 9)});
    };
    results::SessionRecord practiceRun = sample(3, 3);
    practiceRun.outcome = results::SessionOutcome::kPractice;
    practiceRun.hasScore = false;
    const std::pair<const char*, results::SessionRecord> planted[] = {
        {"completed.json", sample(1, 1)},
        {"aborted.json", stop(sample(2, 2), results::SessionOutcome::kAborted, TrialPhase::kAnswer)},
        {"practice.json", practiceRun},
        {"practice-stopped.json",
         stop(sample(4, 4), results::SessionOutcome::kPractice, TrialPhase::kMemorisation)}};
    for (const auto& [file, record] : planted)
      QVERIFY(WriteBytes(dir.filePath(file), results::SessionRecordJson(record)));
    CSessions w(dir.path());
    QTRY_VERIFY_WITH_TIMEOUT(w.Loaded(), 10000);
    w.OutcomeFilterBox()->setCurrentIndex(outcome);
    w.ShowPracticeBox()->setChecked(practice);
    QStringList listed = Column(w, sessions::kFile);
    listed.sort();
    QCOMPARE(listed, files);
    QCOMPARE(w.Status()->text(), QString("%1 of 4 sessions listed").arg(files.size()));

    // Marked with how each ended; the interrupted trial is not on the staircase.
    const QStringList outcomes = Column(w, sessions::kOutcome);
    const QStringList names = Column(w, sessions::kFile);
    const int aborted = int(planted[1].second.trials.size());
    const std::map<QString, QString> expected{
        {"completed.json", "completed"},
        {"aborted.json", QString("aborted at trial %1 (answer, Escape)").arg(aborted)},
        {"practice.json", "practice"},
        {"practice-stopped.json",
         QString("practice, aborted at trial %1 (memorisation, Escape)")
             .arg(planted[3].second.trials.size())}};
    for (int row = 0; row < names.size(); ++row) QCOMPARE(outcomes[row], expected.at(names[row]));
    if (names.contains("aborted.json")) {
      QCOMPARE(Column(w, sessions::kTrials)[int(names.indexOf("aborted.json"))],
               QString::number(aborted - 1));
    }

    QTemporaryDir out;
    QVERIFY(w.ExportListed(out.filePath("x.csv")));
    const QList<QByteArray> rows = testing::ReadBytes(out.filePath("x-trials.csv")).split('\n');
    for (const QByteArray& line : rows.mid(1)) {
      if (line.isEmpty()) continue;
      const QByteArray session = line.left(line.indexOf(','));
      const QList<QByteArray> fields = line.trimmed().split(',');
      const QString kind = expected.at(session + ".json").section(',', 0, 0).section(' ', 0, 0);
      QCOMPARE(QString(fields.value(fields.size() - 2)), kind);
      const bool last = fields.value(10).toInt() == (session == "aborted" ? aborted : -1) ||
                        (session == "practice-stopped" &&
                         fields.value(10).toInt() == int(planted[3].second.trials.size()));
      QCOMPARE(fields.last(), QByteArray(last ? "1" : "0"));
    }
  }

};

QTEST_MAIN(SessionOutcomesTest)
#include "session_outcomes_test.moc"
