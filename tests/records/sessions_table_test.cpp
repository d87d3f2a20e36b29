// The sessions table: one row per record, read back with a strict RFC 4180
// reader such as R's read.csv and pandas' read_csv need without options.
#include "records/sessions_table.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "records/session_export.h"
#include "records/session_file.h"
#include "support/file_bytes.h"
#include "support/session_samples.h"

namespace {

using Table = std::vector<QStringList>;

// RFC 4180 and nothing more: LF line ends only (a CR only inside quotes), a
// quote only around a whole field, every row as wide as the header. False
// with the fault in `*why`.
bool StrictCsv(const QByteArray& bytes, Table* table, QString* why) {
  const QString text = QString::fromUtf8(bytes);
  if (text.toUtf8() != bytes) return *why = "not UTF-8", false;
  if (!text.endsWith('\n')) return *why = "no final line end", false;
  QStringList row;
  QString field;
  bool quoted = false;
  bool wasQuoted = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      if (!field.isEmpty() || wasQuoted) return *why = "stray quote", false;
      quoted = wasQuoted = true;
    } else if (c == ',' || c == '\n') {
      row << field;
      field.clear();
      wasQuoted = false;
      if (c == '\n') {
        if (!table->empty() && row.size() != table->front().size())
          return *why = QString("ragged row %1").arg(table->size() + 1), false;
        table->push_back(row);
        row.clear();
      }
    } else if (c == '\r') {
      return *why = "CR outside quotes", false;
    } else {
      if (wasQuoted) return *why = "text after a quote", false;
      field += c;
    }
  }
  if (quoted) return *why = "unclosed quote", false;
  return true;
}

results::SessionRecord Sample(const std::string& subject, int span, int minute) {
  testing::SimulatedSubject who;
  who.subject = subject;
  who.span = span;
  who.ended = QDateTime(QDate(2026, 1, 12), QTime(10, minute, 31), Qt::LocalTime);
  return testing::SimulatedSession(who);
}

QString Cell(const Table& t, size_t row, const QString& column) {
  return t[row].value(static_cast<int>(t[0].indexOf(column)), "<no column>");
}

}  // namespace

class SessionsTableTest : public QObject {
  Q_OBJECT

 private slots:
  void export_writesOneRowPerSession();
  void cells_data();
  void cells();
  void header_unionOfParticipantColumns_data();
  void header_unionOfParticipantColumns();
};

// Through the export, from records written and read back.
void SessionsTableTest::export_writesOneRowPerSession() {
  QTemporaryDir dir;
  results::SessionRecord a = Sample("S01", 5, 1);
  a.hasParticipant = true;
  a.participant = {{"ID", "S01"}, {"age", "34"}, {"notes", "said \"no\", then\nyes"}};
  results::SessionRecord b = Sample("S,02 \"x\"", 4, 2);
  std::vector<QString> paths;
  for (const results::SessionRecord* r : {&a, &b}) {
    std::string path, reason;
    QVERIFY2(
        results::SaveSessionRecord(dir.path().toStdString(), *r,
                                   QDateTime(QDate(2026, 1, 12), QTime(11, 0)), &path, &reason),
        reason.c_str());
    paths.push_back(QString::fromStdString(path));
  }
  const QString table = dir.filePath("sessions-table.csv");
  int skipped = -1;
  std::string reason;
  QVERIFY(results::ExportSessions(paths, dir.filePath("s-trials.csv"),
                                  dir.filePath("s-touches.csv"), &skipped, &reason, table));
  QCOMPARE(skipped, 0);
  const QByteArray bytes = testing::ReadBytes(table);
  QVERIFY(!bytes.startsWith("\xEF\xBB\xBF"));
  Table t;
  QString why;
  QVERIFY2(StrictCsv(bytes, &t, &why), qPrintable(why));
  QCOMPARE(t.size(), size_t{3});
  QStringList expected;
  for (const std::string& c : results::SessionsTableColumns())
    expected << QString::fromStdString(c);
  expected << "participant_age"
           << "participant_notes";
  QCOMPARE(t[0], expected);
  QCOMPARE(Cell(t, 1, "record_file"), QFileInfo(paths[0]).fileName());
  QCOMPARE(Cell(t, 2, "subject"), QString("S,02 \"x\""));
  QCOMPARE(Cell(t, 1, "participant_notes"), QString("said \"no\", then\nyes"));
  QCOMPARE(Cell(t, 2, "participant_age"), QString());  // missing: NA
  const QRegularExpression iso(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)");
  for (size_t r : {1, 2}) {
    QVERIFY(iso.match(Cell(t, r, "started")).hasMatch());
    QVERIFY(iso.match(Cell(t, r, "ended")).hasMatch());
    QCOMPARE(Cell(t, r, "outcome"), QString("completed"));
  }
  QCOMPARE(Cell(t, 1, "trials_run"), QString::number(a.trialsRun));
  QCOMPARE(Cell(t, 2, "memtime"), QString::number(b.settings.memtime));
}

void SessionsTableTest::cells_data() {
  QTest::addColumn<QString>("column");
  QTest::addColumn<QString>("value");
  QTest::addColumn<QString>("outcome");
  QTest::addColumn<bool>("scored");
  QTest::newRow("score with a decimal point") << "score"
                                              << "4.25"
                                              << "" << true;
  QTest::newRow("no score is empty") << "score"
                                     << ""
                                     << "" << false;
  QTest::newRow("worst uncertainty") << "worst_uncertainty_ms"
                                     << "1.5"
                                     << "" << true;
  QTest::newRow("unconfirmed frames") << "unconfirmed_frames"
                                      << "2"
                                      << "" << true;
  QTest::newRow("missed refreshes") << "missed_refreshes"
                                    << "1"
                                    << "" << true;
  QTest::newRow("outcome from the record") << "outcome"
                                           << "aborted"
                                           << "aborted" << true;
  QTest::newRow("practice") << "outcome"
                            << "practice"
                            << "practice" << true;
  QTest::newRow("outcome when none") << "outcome"
                                     << "completed"
                                     << "" << true;
  QTest::newRow("how it stopped") << "stopped_how"
                                  << "escape"
                                  << "aborted" << false;
  QTest::newRow("trial it stopped in") << "stopped_trial"
                                       << "7"
                                       << "aborted" << false;
  QTest::newRow("phase it stopped in") << "stopped_phase"
                                       << "answer"
                                       << "aborted" << false;
  QTest::newRow("not stopped: empty") << "stopped_trial"
                                      << ""
                                      << "" << true;
  QTest::newRow("random start") << "random_seed"
                        << "17"
                        << "" << true;
  QTest::newRow("flag") << "flag_ranking"
                        << "1"
                        << "" << true;
}

// The table's own figures, from a hand-made record.
void SessionsTableTest::cells() {
  QFETCH(QString, column);
  QFETCH(QString, value);
  QFETCH(QString, outcome);
  QFETCH(bool, scored);
  results::SessionRecord r;
  r.settings = TestSettings{"S1", 17, 3, 2, 1, 0, 1};
  r.outcome = outcome == "aborted"    ? results::SessionOutcome::kAborted
              : outcome == "practice" ? results::SessionOutcome::kPractice
                                      : results::SessionOutcome::kCompleted;
  if (outcome == "aborted") r.abort = AbortPoint{true, AbortHow::kEscape, 7, TrialPhase::kAnswer};
  r.hasScore = scored;
  r.score = 4.25;
  r.trialsRun = 2;
  r.trials.resize(2);
  r.trials[0].frames.resize(3);
  r.trials[0].frames[0].uncertaintyMs = 0.25;
  r.trials[0].frames[1].uncertaintyMs = 1.5;
  r.trials[0].frames[1].source = OnsetSource::kPresentEvent;
  r.trials[0].frames[2].source = OnsetSource::kPresentEvent;
  r.trials[0].frames[2].missedRefreshes = 3;
  r.trials[1].frames.resize(1);  // unconfirmed too
  Table t;
  QString why;
  QVERIFY2(StrictCsv(QByteArray::fromStdString(
                         results::SessionsTableCsv({results::MakeSessionsTableRow(r, "f.json")})),
                     &t, &why),
           qPrintable(why));
  QCOMPARE(Cell(t, 1, column), value);
}

void SessionsTableTest::header_unionOfParticipantColumns_data() {
  QTest::addColumn<QStringList>("first");
  QTest::addColumn<QStringList>("second");
  QTest::addColumn<QString>("participantColumns");
  QTest::addColumn<QString>("secondRow");
  QTest::newRow("same columns") << QStringList{"ID", "age"} << QStringList{"ID", "age"}
                                << "participant_age"
                                << "v1";
  QTest::newRow("column added later")
      << QStringList{"ID", "age"} << QStringList{"ID", "room", "age"}
      << "participant_age,participant_room"
      << "v2,v1";
  QTest::newRow("second without register")
      << QStringList{"ID", "age"} << QStringList{} << "participant_age"
      << "";
  QTest::newRow("odd column names quoted")
      << QStringList{"ID", "a,b", "c\"d"} << QStringList{} << "participant_a,b,participant_c\"d"
      << ",";
}

void SessionsTableTest::header_unionOfParticipantColumns() {
  QFETCH(QStringList, first);
  QFETCH(QStringList, second);
  QFETCH(QString, participantColumns);
  QFETCH(QString, secondRow);
  std::vector<results::SessionsTableRow> rows;
  for (const QStringList* columns : {&first, &second}) {
    results::SessionRecord r;
    r.hasParticipant = !columns->isEmpty();
    for (int k = 0; k < columns->size(); ++k)
      r.participant.emplace_back(columns->at(k).toStdString(),
                                 k == 0 ? "S" : "v" + std::to_string(k));
    rows.push_back(results::MakeSessionsTableRow(r, "f.json"));
  }
  Table t;
  QString why;
  QVERIFY2(StrictCsv(QByteArray::fromStdString(results::SessionsTableCsv(rows)), &t, &why),
           qPrintable(why));
  const int fixed = static_cast<int>(results::SessionsTableColumns().size());
  QCOMPARE(t[0].mid(fixed).join(','), participantColumns);
  QCOMPARE(t[2].mid(fixed).join(','), secondRow);
}

QTEST_GUILESS_MAIN(SessionsTableTest)
#include "sessions_table_test.moc"
