// The real program on a desktop (DORVANE_E2E_DESKTOP, set by desktop.sh),
// driven as a person would drive it: a click on the opening screen, the
// Subject Information dialog typed in, a whole test taken by trial and error,
// the score box and the ranking, Escape, File -> Exit; on the way, where the
// windows are; then every file it wrote is checked against what the person did.
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "app/e2e/person.h"
#include "app/e2e/files_checked.h"
#include "app/e2e/records_seen.h"
#include "display/layout.h"
#include "records/record_parser.h"
#include "records/session_record.h"

namespace {

using e2e::ReadFile;

bool PressesEarly(const e2e::Desktop& desktop) {
  return desktop.name == "none" || desktop.name == "openbox";
}

}  // namespace

class E2eTest : public QObject {
  Q_OBJECT

 private slots:
  void wholeTest_filesMatchWhatThePersonDid();
  void testDisplays_wholeOnTheScreen();
  void installedProgram_readsInstalledStimuli();
  void slips_noDeadEndNoCrash();
  void register_fieldsCopiedIntoRecord();
  void abortAndPractice_recordsWithoutResults();
};

// Where only the displays are judged (DORVANE_E2E_DISPLAYS_ONLY): the first
// trial's two displays show whole, and an aborted test writes nothing.
void E2eTest::testDisplays_wholeOnTheScreen() {
  if (!qEnvironmentVariableIsSet("DORVANE_E2E_DISPLAYS_ONLY"))
    QSKIP("the whole test looks at the displays on this desktop");
  e2e::Person person;
  const e2e::SubjectEntry entry{"e2e-subject", 2, 2, false, false};
  const bool ok = person.Start() && person.WaitForOpeningScreen() && person.CheckHomeScreen() &&
                  person.StartTestByClick() && person.FillSubjectInformation(entry) &&
                  person.LookAtFirstTrial(entry.memtime) && person.AbortWithEscape() &&
                  person.ExitFromMenu();
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person.Log());
  QVERIFY2(ok, person.Failure().c_str());
  const QDir work(person.WorkDir());
  // No rows and no log line; the aborted test's record alone.
  QCOMPARE(work.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
           QStringList({"ORBEL.ini", "sessions", "stim"}));
  const auto records = e2e::RecordsByOutcome(work);
  QCOMPARE(records.size(), size_t(1));
  QCOMPARE(e2e::AbortText(records.begin()->second), QString("escape 1 answer"));
}

void E2eTest::wholeTest_filesMatchWhatThePersonDid() {
  if (qEnvironmentVariableIsSet("DORVANE_E2E_DISPLAYS_ONLY"))
    QSKIP("only the displays are judged on this desktop");
  e2e::Person person;
  const e2e::SubjectEntry entry{"e2e-subject", 1, 2, true, true};
  std::vector<e2e::DrivenTrial> trials;
  // Where the test window can be told from the window list the moment it
  // maps, a press comes before its first display.
  const bool early = PressesEarly(person.OnDesktop());
  int earlyPresses = 0;
  const QDateTime runStart = QDateTime::currentDateTime();
  const bool ok = person.Start() && person.WaitForOpeningScreen() && person.CheckHomeScreen() &&
                  person.StartTestByClick() && person.FillSubjectInformation(entry) &&
                  (!early || person.PressAsTestWindowAppears(&earlyPresses)) &&
                  person.TakeTest(entry, &trials) && person.CloseScoreBox() &&
                  person.CloseResults() && person.WaitForOpeningScreen() &&
                  person.CheckHomeScreen() && person.CheckNotAbove() && person.PressEscape() &&
                  person.ExitFromMenu();
  const QDateTime runEnd = QDateTime::currentDateTime();
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person.Log());
  QVERIFY2(ok, person.Failure().c_str());

  const QDir work(person.WorkDir());
  QCOMPARE(work.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
           QStringList({"e2e-subject.csv", "ORBEL.ini", "ORBEL.txt", "sessions", "stim"}));

  // Each check returns at its first failure; the test stops there too.
  e2e::SubjectFileSeen subjectFile;
  e2e::CheckSubjectFile(work, trials, entry.maxRev, &subjectFile);
  if (QTest::currentTestFailed()) return;
  QByteArray stamp;
  e2e::CheckLog(work, runStart, runEnd, subjectFile.score, &stamp);
  if (QTest::currentTestFailed()) return;
  results::SessionRecord record;
  e2e::ReadRecord(work, runStart, runEnd, stamp, &record);
  if (QTest::currentTestFailed()) return;
  e2e::CheckRecordLayoutsAndSettings(record, entry, trials.size());
  if (QTest::currentTestFailed()) return;
  if (early) e2e::CheckEarlyPresses(&record, entry.memtime);
  if (QTest::currentTestFailed()) return;
  e2e::CheckRecordScoreAndStimuli(record, work, subjectFile.score, entry.maxRev);
  if (QTest::currentTestFailed()) return;
  e2e::CheckRecordDisplay(record);
  if (QTest::currentTestFailed()) return;
  e2e::CheckRecordTrials(record, trials, subjectFile.rows);
  if (QTest::currentTestFailed()) return;
  // The settings as entered, in their fixed order.
  QCOMPARE(ReadFile(work, "ORBEL.ini"), QByteArray("subject = e2e-subject\r\n"
                                                   "random_seed = 0\r\n"
                                                   "memtime = 1\r\n"
                                                   "max_rev = 2\r\n"
                                                   "hide_mouse = 0\r\n"
                                                   "flag_feedback = 1\r\n"
                                                   "flag_ranking = 1\r\n"));
}

// Installed as a desktop entry starts it: in a folder with no stim/ of its own.
void E2eTest::installedProgram_readsInstalledStimuli() {
  if (e2e::Desktop::FromEnvironment().name != "none")
    QSKIP("the installation is the same on every desktop");
  QTemporaryDir prefix;
  QProcess install;
  install.setProcessChannelMode(QProcess::ForwardedChannels);
  install.start(QStringLiteral(CMAKE_COMMAND),
                {"--install", DORVANE_BUILD_DIR, "--prefix", prefix.path()});
  QVERIFY(install.waitForFinished(60000) && install.exitCode() == 0);

  e2e::Person person;
  e2e::Launch launch;
  launch.program = prefix.filePath(QStringLiteral("bin/dorvane"));
  launch.copyStimuli = false;
  const bool ok = person.Start(launch) && person.WaitForOpeningScreen() &&
                  person.CheckHomeScreen() && person.ExitFromMenu();
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person.Log());
  QVERIFY2(ok, person.Failure().c_str());
  // It read the stimuli where they are installed and wrote only its settings here.
  QCOMPARE(QDir(person.WorkDir()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
           QStringList({"ORBEL.ini"}));
}

// Mistakes that once crashed the program or left it at a dead end: a record
// with an absurd score under the Sessions window, a memorisation time of 0,
// the test window closed in the middle of a test.
void E2eTest::slips_noDeadEndNoCrash() {
  if (!PressesEarly(e2e::Desktop::FromEnvironment()))
    QSKIP("the window list is read the same way on the bare server and openbox");
  e2e::Person person;
  QFile farBelow(
      QStringLiteral(DORVANE_SOURCE_DIR "/tests/fuzz/corpus/session/score_far_below.json"));
  QVERIFY(farBelow.open(QIODevice::ReadOnly));
  person.earlierFiles.push_back({"sessions/S01_20260112-100431.json", farBelow.readAll()});
  bool sessionsShown = false;
  person.onSessions = [&](const QRect&) { sessionsShown = person.Running(); };
  const e2e::SubjectEntry wrong{"e2e-subject", 0, 1, false, false};
  const bool ok = person.Start() && person.WaitForOpeningScreen() && person.CheckHomeScreen() &&
                  person.LookAtSessions("S01") && person.Running() && person.StartTestQuickly() &&
                  person.EnterRefusedSetting(wrong) && person.CorrectRefusedField(1) &&
                  person.CloseTestWindow() && person.StartTestQuickly() &&
                  person.CancelSubjectInformation() && person.ExitFromMenu();
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person.Log());
  QVERIFY2(ok, person.Failure().c_str());
  QVERIFY(sessionsShown);
  // A closed test is an aborted one: no rows, no log line, a record that
  // says the window was closed (the window manager takes Alt+F4 first).
  const QDir work(person.WorkDir());
  QCOMPARE(work.entryList({"*.csv", "ORBEL.txt"}, QDir::Files), QStringList());
  const auto records = e2e::RecordsByOutcome(work);
  QVERIFY(records.count("aborted"));
  QVERIFY2(e2e::AbortText(records.at("aborted")).startsWith("window-closed 1 "),
           qPrintable(e2e::AbortText(records.at("aborted"))));
}

// Escape after a touch in trial 2, then a practice run from the Test menu:
// neither writes a row or a log line, and both keep their record, the
// interrupted trial's touch included. The score box never comes.
void E2eTest::abortAndPractice_recordsWithoutResults() {
  if (!PressesEarly(e2e::Desktop::FromEnvironment()))
    QSKIP("the window list is read the same way on the bare server and openbox");
  e2e::Person person;
  const e2e::SubjectEntry entry{"e2e-stop", 1, 2, false, true};
  // Show Feedback stays ticked from the test: a space would untick it.
  const e2e::SubjectEntry again{"e2e-stop", 1, 2, false, false};
  std::vector<e2e::DrivenTrial> trials;
  std::vector<e2e::DrivenTrial> practice;
  e2e::DrivenTouch last;
  const auto second = [&] { return trials.empty() ? 0 : trials[0].error ? 2 : 4; };
  const bool ok = person.Start() && person.WaitForOpeningScreen() && person.StartTestQuickly() &&
                  person.FillSubjectInformation(entry) && person.TakeFirstTrials(entry, 1, &trials) &&
                  person.EscapeAfterOneTouch(second(), entry.memtime, &last) &&
                  person.NoWindowComes("Score", 1500) && person.StartPracticeFromMenu() &&
                  person.FillSubjectInformation(again) && person.TakePractice(again, &practice) &&
                  person.NoWindowComes("Score", 1500) && person.ExitFromMenu();
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person.Log());
  QVERIFY2(ok, person.Failure().c_str());

  const QDir work(person.WorkDir());
  QCOMPARE(work.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
           QStringList({"ORBEL.ini", "sessions", "stim"}));
  const auto records = e2e::RecordsByOutcome(work);
  QCOMPARE(records.size(), size_t(2));
  const results::SessionRecord& aborted = records.at("aborted");
  QCOMPARE(e2e::AbortText(aborted), QString("escape 2 answer"));
  QVERIFY(!aborted.hasScore);
  QCOMPARE(aborted.trials.size(), size_t(2));
  QCOMPARE(int(aborted.trials[0].touches.size()), int(trials[0].touches.size()));
  QCOMPARE(aborted.trials[0].row.NItems, trials[0].nItems);
  const results::SessionTrial& cut = aborted.trials[1];
  QCOMPARE(cut.row.NItems, second());
  QCOMPARE(cut.touches.size(), size_t(1));
  const int cx = 137 + 150 * (last.cell % 5) + 60;
  const int cy = 9 + 150 * (last.cell / 5) + 60;
  QVERIFY(qAbs(cut.touches[0].canvasX - cx) <= 1 && qAbs(cut.touches[0].canvasY - cy) <= 1);
  QCOMPARE(QString(TouchJudgementName(cut.touches[0].judgement)),
           QString(last.answer == 'R' ? "wrong" : "correct"));

  const results::SessionRecord& run = records.at("practice");
  QCOMPARE(e2e::AbortText(run), QString("none"));
  QVERIFY(!run.hasScore);
  QStringList recorded;
  QStringList driven;
  for (const results::SessionTrial& t : run.trials) recorded << QString::number(t.row.NItems);
  for (const e2e::DrivenTrial& t : practice) driven << QString::number(t.nItems);
  QCOMPARE(recorded, driven);
  QCOMPARE(QString::fromStdString(run.settings.subject), QString("e2e-stop"));
}

// A register in the working folder holds the subject's ID: the record of the
// test carries that row, in the register's order, and the register is left
// as it was.
void E2eTest::register_fieldsCopiedIntoRecord() {
  if (e2e::Desktop::FromEnvironment().name != "none")
    QSKIP("the register is read the same way on every desktop");
  e2e::Person person;
  const QByteArray reg =
      "ID,age,gender,notes,visit\r\nother,20,m,,1\r\ne2e-subject,34,f,\"right, "
      "\"\"glasses\"\"\",2\r\n";
  person.earlierFiles.push_back({"participants.csv", reg});
  const e2e::SubjectEntry entry{"e2e-subject", 1, 1, false, false};
  std::vector<e2e::DrivenTrial> trials;
  const bool ok = person.Start() && person.WaitForOpeningScreen() && person.StartTestQuickly() &&
                  person.FillSubjectInformation(entry) && person.TakeTest(entry, &trials) &&
                  person.WaitForOpeningScreen() && person.ExitFromMenu();
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person.Log());
  QVERIFY2(ok, person.Failure().c_str());
  const QDir work(person.WorkDir());
  QCOMPARE(ReadFile(work, "participants.csv"), reg);
  const QDir sessions(work.filePath("sessions"));
  const QStringList records = sessions.entryList(QDir::Files);
  QCOMPARE(records.size(), 1);
  QFile file(sessions.filePath(records[0]));
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QByteArray json = file.readAll();
  results::SessionRecord record;
  std::string reason;
  QVERIFY2(results::ParseSessionRecord(json, &record, &reason), reason.c_str());
  QVERIFY(record.hasParticipant);
  QVERIFY(record.participantNote.empty());
  QStringList fields;
  for (const auto& [column, value] : record.participant)
    fields << QString::fromStdString(column + "=" + value);
  QCOMPARE(fields, QStringList({"ID=e2e-subject", "age=34", "gender=f", "notes=right, \"glasses\"",
                                "visit=2"}));
  QVERIFY(json.contains(",\"participant\":{\"ID\":\"e2e-subject\",\"age\":\"34\","));
}

QTEST_GUILESS_MAIN(E2eTest)
#include "e2e_test.moc"
