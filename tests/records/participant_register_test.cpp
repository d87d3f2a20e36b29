// The participant register: its CSV read and refused, written and read back
// whole, saved under its lock; the copy a test's record takes of a row.
#include "records/participant_register.h"

#include <sys/wait.h>

#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "records/record_parser.h"
#include "records/record_writer.h"
#include "records/session_record.h"
#include "support/file_bytes.h"
#include "support/planted.h"

using results::ParticipantRegister;

class ParticipantRegisterTest : public QObject {
  Q_OBJECT

 private slots:
  void parse_readsFields_data();
  void parse_readsFields();
  void parse_refusesMalformed_data();
  void parse_refusesMalformed();
  void write_readsBackWhole_data();
  void write_readsBackWhole();
  void load_refusesPlanted_data();
  void load_refusesPlanted();
  void save_replacesUnderLock();
  void save_refusesChangedOrBad_data();
  void save_refusesChangedOrBad();
  void lookUp_copiesRowOrNote_data();
  void lookUp_copiesRowOrNote();
  void record_keepsParticipant_data();
  void record_keepsParticipant();
};

void ParticipantRegisterTest::parse_readsFields_data() {
  QTest::addColumn<QByteArray>("csv");
  QTest::addColumn<QStringList>("columns");
  QTest::addColumn<QStringList>("lastRow");
  const QStringList core{"ID", "age", "notes"};
  QTest::newRow("plain LF") << QByteArray("ID,age,notes\nP01,34,ok\n") << core
                            << QStringList{"P01", "34", "ok"};
  QTest::newRow("CRLF and BOM") << QByteArray("\xEF\xBB\xBFID,age,notes\r\nP01,34,ok\r\n") << core
                                << QStringList{"P01", "34", "ok"};
  QTest::newRow("no final line end")
      << QByteArray("ID,age,notes\nP01,34,ok") << core << QStringList{"P01", "34", "ok"};
  QTest::newRow("quotes, commas, newline in notes")
      << QByteArray("ID,age,notes\nP02,,\"said \"\"hi\"\", left,\r\nthen\nback\"\n") << core
      << QStringList{"P02", "", "said \"hi\", left,\r\nthen\nback"};
  QTest::newRow("blank lines skipped")
      << QByteArray("ID,age,notes\n\nP01,34,ok\n\r\n") << core << QStringList{"P01", "34", "ok"};
  QTest::newRow("empty last field")
      << QByteArray("ID,age,notes\nP01,34,\n") << core << QStringList{"P01", "34", ""};
  QTest::newRow("extra columns kept in order, id anywhere")
      << QByteArray("visit,id,Ω-score\n2,日本-01,7.5\n") << QStringList{"visit", "id", "Ω-score"}
      << QStringList{"2", "日本-01", "7.5"};
}

void ParticipantRegisterTest::parse_readsFields() {
  QFETCH(QByteArray, csv);
  QFETCH(QStringList, columns);
  QFETCH(QStringList, lastRow);
  ParticipantRegister reg;
  int line = 0;
  std::string reason;
  QVERIFY2(results::ParseRegister(csv.toStdString(), &reg, &line, &reason), reason.c_str());
  QStringList gotColumns;
  for (const std::string& c : reg.columns) gotColumns << QString::fromStdString(c);
  QCOMPARE(gotColumns, columns);
  QCOMPARE(reg.rows.size(), size_t{1});
  QStringList gotRow;
  for (const std::string& v : reg.rows.back()) gotRow << QString::fromStdString(v);
  QCOMPARE(gotRow, lastRow);
}

void ParticipantRegisterTest::parse_refusesMalformed_data() {
  QTest::addColumn<QByteArray>("csv");
  QTest::addColumn<int>("line");
  QTest::addColumn<QString>("reason");
  QTest::newRow("duplicate ID") << QByteArray("ID,age\nP01,3\nP02,4\nP01,5\n") << 4
                                << "the ID \"P01\" is also on line 2";
  QTest::newRow("ragged row") << QByteArray("ID,age\nP01,3\nP02\n") << 3
                              << "the row has 1 fields, the header 2";
  QTest::newRow("row too wide after a quoted newline")
      << QByteArray("ID,notes\nP01,\"a\nb\"\nP02,x,y\n") << 4
      << "the row has 3 fields, the header 2";
  QTest::newRow("no ID column") << QByteArray("name,age\nP01,3\n") << 1
                                << "no column is named \"ID\"";
  QTest::newRow("header alone, no ID")
      << QByteArray("name,age\n") << 1 << "no column is named \"ID\"";
  QTest::newRow("repeated column")
      << QByteArray("ID,age,age\nP01,3,4\n") << 1 << "the column \"age\" appears twice";
  QTest::newRow("unnamed column") << QByteArray("ID,,age\nP01,3,4\n") << 1
                                  << "column 2 has no name";
  QTest::newRow("bad UTF-8") << QByteArray("ID,age\nP01,3\nP\xC3\x28,4\n") << 3
                             << "not UTF-8 text (byte 15 of the file)";
  QTest::newRow("overlong UTF-8") << QByteArray("ID\n\xC0\xAF\n") << 2
                                  << "not UTF-8 text (byte 4 of the file)";
  QTest::newRow("unclosed quote") << QByteArray("ID,notes\nP01,\"open\nP02,x\n") << 2
                                  << "a quote opened here is never closed";
  QTest::newRow("stray quote") << QByteArray("ID,notes\nP01,say \"x\"\n") << 2
                               << "a quote inside a field that does not begin with one";
  QTest::newRow("text after quote")
      << QByteArray("ID,notes\nP01,\"x\"y\n") << 2 << "text follows a closing quote";
  QTest::newRow("empty ID") << QByteArray("ID,age\n,3\n") << 2 << "the ID is empty";
  QTest::newRow("ID the dialog refuses")
      << QByteArray("ID,age\n\"P,1\",3\n") << 2
      << "the ID \"P,1\" cannot be a subject ID (The subject ID holds \",\", which would split "
         "the rows of the data file. Please correct it.)";
}

void ParticipantRegisterTest::parse_refusesMalformed() {
  QFETCH(QByteArray, csv);
  QFETCH(int, line);
  QFETCH(QString, reason);
  ParticipantRegister reg;
  int gotLine = 0;
  std::string why;
  QVERIFY(!results::ParseRegister(csv.toStdString(), &reg, &gotLine, &why));
  QCOMPARE(QString::fromStdString(why), reason);
  QCOMPARE(gotLine, line);
}

void ParticipantRegisterTest::write_readsBackWhole_data() {
  QTest::addColumn<QStringList>("columns");
  QTest::addColumn<QStringList>("row");
  QTest::newRow("core") << QStringList{"ID", "age", "gender"} << QStringList{"P01", "34", "f"};
  QTest::newRow("quotes commas newlines")
      << QStringList{"ID", "notes", "lab, extra"}
      << QStringList{"P \"2\"", "one, two\nthree\r\nfour\rfive", "\"\""};
  QTest::newRow("empty values") << QStringList{"ID", "a", "b"} << QStringList{"P03", "", ""};
  QTest::newRow("ID column alone") << QStringList{"ID"} << QStringList{"P04"};
}

void ParticipantRegisterTest::write_readsBackWhole() {
  QFETCH(QStringList, columns);
  QFETCH(QStringList, row);
  ParticipantRegister reg;
  for (const QString& c : columns) reg.columns.push_back(c.toStdString());
  reg.rows.emplace_back();
  for (const QString& v : row) reg.rows.back().push_back(v.toStdString());
  reg.rows.push_back(std::vector<std::string>(reg.columns.size(), ""));
  reg.rows.back()[0] = "last";
  const std::string text = results::RegisterCsv(reg);
  QVERIFY(text.compare(0, 3, "\xEF\xBB\xBF") != 0);
  ParticipantRegister back;
  int line = 0;
  std::string reason;
  QVERIFY2(results::ParseRegister(text, &back, &line, &reason), reason.c_str());
  QCOMPARE(back.columns, reg.columns);
  QCOMPARE(back.rows, reg.rows);
}

void ParticipantRegisterTest::load_refusesPlanted_data() {
  QTest::addColumn<QString>("kind");
  for (const QString& kind : testing::PlantedKinds()) QTest::newRow(qPrintable(kind)) << kind;
}

// Never follows a link to another user's file, never waits on a FIFO, never
// holds more than the cap; and a refused register is never saved over.
void ParticipantRegisterTest::load_refusesPlanted() {
  QFETCH(QString, kind);
  QTemporaryDir dir;
  const QString victim = dir.filePath("victim.csv");
  QVERIFY(testing::WriteBytes(victim, "ID,age\nV01,99\n"));
  const QString path = dir.filePath("participants.csv");
  QVERIFY(testing::Plant(kind, path, victim, qint64(results::kMaxRegisterBytes) + 1));
  const results::RegisterFile file = results::LoadRegister(path.toStdString());
  QCOMPARE(file.status, results::RegisterStatus::kMalformed);
  QCOMPARE(QString::fromStdString(file.reason),
           "participants.csv: " + testing::RefusalFor(kind, "16 MiB"));
  QVERIFY(file.reg.rows.empty());
  const results::ParticipantLookup lookup = results::LookUpParticipant(path.toStdString(), "V01");
  QVERIFY(!lookup.found);
  QCOMPARE(lookup.note, file.reason);
  ParticipantRegister reg{{"ID"}, {{"X"}}};
  std::string reason;
  QVERIFY(results::SaveRegister(path.toStdString(), reg, file.bytes, &reason) !=
          results::RegisterSave::kSaved);
  QCOMPARE(testing::ReadBytes(victim), QByteArray("ID,age\nV01,99\n"));
}

// A save waits for another station's lock and then writes the file whole.
void ParticipantRegisterTest::save_replacesUnderLock() {
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  const QByteArray old = "ID,age\nP01,3\n";
  QVERIFY(testing::WriteBytes(path, old));
  const pid_t other = testing::HoldLock(path);
  QVERIFY(other > 0);
  int asked = 0;
  bool released = false;
  const ParticipantRegister reg{{"ID", "age"}, {{"P01", "3"}, {"P02", "4"}}};
  std::string reason;
  const results::RegisterSave result =
      results::SaveRegister(path.toStdString(), reg, old.toStdString(), &reason,
                            [&](const std::function<bool()>& tryLock) {
                              ++asked;
                              if (tryLock()) return false;  // the other station still holds it
                              ::kill(other, SIGKILL);
                              ::waitpid(other, nullptr, 0);
                              released = true;
                              return tryLock();
                            });
  if (!released) {  // never asked: the other station must not outlive the test
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
  }
  QVERIFY2(result == results::RegisterSave::kSaved, reason.c_str());
  QCOMPARE(asked, 1);
  QCOMPARE(testing::ReadBytes(path), QByteArray("ID,age\nP01,3\nP02,4\n"));
}

void ParticipantRegisterTest::save_refusesChangedOrBad_data() {
  QTest::addColumn<QByteArray>("onDisk");  // "<none>" for no file
  QTest::addColumn<QByteArray>("loaded");
  QTest::addColumn<QStringList>("ids");
  QTest::addColumn<int>("result");
  QTest::addColumn<QString>("reason");
  const int saved = int(results::RegisterSave::kSaved);
  const int changed = int(results::RegisterSave::kChanged);
  const int failed = int(results::RegisterSave::kFailed);
  QTest::newRow("new file") << QByteArray("<none>") << QByteArray() << QStringList{"P1"} << saved
                            << "";
  QTest::newRow("unchanged") << QByteArray("ID\nP1\n") << QByteArray("ID\nP1\n")
                             << QStringList{"P1", "P2"} << saved << "";
  QTest::newRow("changed meanwhile")
      << QByteArray("ID\nP1\nP9\n") << QByteArray("ID\nP1\n") << QStringList{"P2"} << changed
      << "was changed since it was read";
  QTest::newRow("removed meanwhile")
      << QByteArray("<none>") << QByteArray("ID\nP1\n") << QStringList{"P2"} << changed
      << "was removed since it was read";
  QTest::newRow("made meanwhile") << QByteArray("ID\nP7\n") << QByteArray() << QStringList{"P2"}
                                  << changed << "was changed since it was read";
  QTest::newRow("duplicate ID") << QByteArray("ID\n") << QByteArray("ID\n")
                                << QStringList{"P1", "P2", "P1"} << failed
                                << "row 3: the ID \"P1\" is also on row 1";
  QTest::newRow("ID with slash")
      << QByteArray("ID\n") << QByteArray("ID\n") << QStringList{"a/b"} << failed
      << "row 1: the ID \"a/b\" cannot be a subject ID (The subject ID holds \"/\" or \"\\\", "
         "which would put the data file into another folder. Please correct it.)";
}

void ParticipantRegisterTest::save_refusesChangedOrBad() {
  QFETCH(QByteArray, onDisk);
  QFETCH(QByteArray, loaded);
  QFETCH(QStringList, ids);
  QFETCH(int, result);
  QFETCH(QString, reason);
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  if (onDisk != "<none>") QVERIFY(testing::WriteBytes(path, onDisk));
  ParticipantRegister reg{{"ID"}, {}};
  for (const QString& id : ids) reg.rows.push_back({id.toStdString()});
  std::string why;
  QCOMPARE(int(results::SaveRegister(path.toStdString(), reg, loaded.toStdString(), &why)), result);
  QCOMPARE(QString::fromStdString(why), reason);
  const QByteArray expected = result == int(results::RegisterSave::kSaved)
                                  ? QByteArray::fromStdString(results::RegisterCsv(reg))
                                  : (onDisk == "<none>" ? QByteArray("<missing>") : onDisk);
  QCOMPARE(testing::ReadBytes(path), expected);
}

void ParticipantRegisterTest::lookUp_copiesRowOrNote_data() {
  QTest::addColumn<QByteArray>("csv");  // "<none>" for no register
  QTest::addColumn<QString>("id");
  QTest::addColumn<bool>("found");
  QTest::addColumn<QString>("fields");  // column=value;...
  QTest::addColumn<QString>("note");
  const QByteArray reg = "ID,age,notes,room\nP01,34,\"a, b\",2\nP02,,,\n";
  QTest::newRow("found, register's order")
      << reg << "P01" << true << "ID=P01;age=34;notes=a, b;room=2"
      << "";
  QTest::newRow("found, empty fields") << reg << "P02" << true << "ID=P02;age=;notes=;room="
                                       << "";
  QTest::newRow("not in the register") << reg << "P03" << false << ""
                                       << "";
  QTest::newRow("case matters") << reg << "p01" << false << ""
                                << "";
  QTest::newRow("no register") << QByteArray("<none>") << "P01" << false << ""
                               << "";
  QTest::newRow("malformed") << QByteArray("ID,age\nP01,34\nP01,35\n") << "P01" << false << ""
                             << "participants.csv, line 3: the ID \"P01\" is also on line 2";
}

void ParticipantRegisterTest::lookUp_copiesRowOrNote() {
  QFETCH(QByteArray, csv);
  QFETCH(QString, id);
  QFETCH(bool, found);
  QFETCH(QString, fields);
  QFETCH(QString, note);
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  if (csv != "<none>") QVERIFY(testing::WriteBytes(path, csv));
  const results::ParticipantLookup lookup =
      results::LookUpParticipant(path.toStdString(), id.toStdString());
  QCOMPARE(lookup.found, found);
  QStringList got;
  for (const auto& [c, v] : lookup.fields)
    got << QString::fromStdString(c) + "=" + QString::fromStdString(v);
  QCOMPARE(got.join(';'), fields);
  QCOMPARE(QString::fromStdString(lookup.note), note);
}

void ParticipantRegisterTest::record_keepsParticipant_data() {
  QTest::addColumn<bool>("found");
  QTest::addColumn<QString>("note");
  QTest::newRow("present") << true << "";
  QTest::newRow("absent") << false << "";
  QTest::newRow("malformed register") << false << "participants.csv, line 3: the row has 1 fields";
}

// The fields go into the record and come back in the register's order,
// which is not the alphabetical one.
void ParticipantRegisterTest::record_keepsParticipant() {
  QFETCH(bool, found);
  QFETCH(QString, note);
  results::SessionInputs in;
  TestSettings settings{"P01", 1, 3, 2, 1, 0, 1};
  TestState state{};
  state.trials[0] = {1, 3, 3, 2345, 1500, 0, 0};
  state.trialsRun = 1;
  const std::vector<TrialTiming> timings(1);
  in.state = &state;
  in.timings = &timings;
  in.settings = &settings;
  in.started = in.ended = QDateTime::fromMSecsSinceEpoch(1'700'000'000'000, Qt::UTC);
  in.participant.found = found;
  if (found)
    in.participant.fields = {{"ID", "P01"},  {"zeta", "last? no"},
                             {"age", "34"},  {"notes", "a \"b\",\nc"},
                             {"日本", "値"}, {"Age", ""}};
  in.participant.note = note.toStdString();
  const QByteArray json = results::SessionRecordJson(results::MakeSessionRecord(in));
  QCOMPARE(json.contains("\"participant\":"), found);
  QCOMPARE(json.contains("\"participantNote\":"), !note.isEmpty());
  QVERIFY(json.contains("\"version\":\"1.3\""));
  results::SessionRecord back;
  std::string reason;
  QVERIFY2(results::ParseSessionRecord(json, &back, &reason), reason.c_str());
  QCOMPARE(back.hasParticipant, found);
  QVERIFY(back.participant == in.participant.fields);
  QCOMPARE(QString::fromStdString(back.participantNote), note);
}

QTEST_GUILESS_MAIN(ParticipantRegisterTest)
#include "participant_register_test.moc"
