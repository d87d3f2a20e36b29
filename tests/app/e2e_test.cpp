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
#include "app/e2e/records_seen.h"
#include "display/layout.h"
#include "records/record_parser.h"
#include "records/session_record.h"

namespace {

// Ours bound each time by the X requests around its two ends: the press by
// the XTest request and its round trip, a frame's onset by the last read of
// the screen that did not show it and the first that did. A recorded time
// may stand this far outside those bounds: its own rounding to the
// millisecond and the program's own confirmation of the onset.
constexpr double kSlackMs = 3;

QByteArray ReadFile(const QDir& dir, const char* name) {
  QFile file(dir.filePath(QString::fromLatin1(name)));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double MsBetween(e2e::Clock::time_point from, e2e::Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// What the session record says of one trial, beside what the person did and
// the trial's row of the subject file; empty when they agree.
QString CompareTrial(const results::SessionTrial& t, const e2e::DrivenTrial& d,
                     const QList<QByteArray>& row) {
  QStringList out;
  const auto differ = [&out](const char* what, const QString& recorded, const QString& truth) {
    if (recorded != truth) out << QString("%1: recorded %2, true %3").arg(what, recorded, truth);
  };
  const TrialRecord& r = t.row;
  differ("row",
         QString::asprintf("%d,%d,%d,%d,%d,%d,%d", r.Trial, r.NItems, r.NCorrect, r.RT1, r.RT2,
                           r.Error, r.Rev),
         QString::fromLatin1(row.mid(1).join(',').trimmed()));
  // The discs in number order are those of the correct touches, in turn.
  QList<int> numbered;
  for (const e2e::DrivenTouch& touch : d.touches)
    if (touch.answer != 'R') numbered << touch.cell;
  QStringList cells;
  for (const int32_t c : t.cells) cells << QString::number(c);
  QStringList truth;
  for (const int c : numbered) truth << QString::number(c);
  differ("cells", cells.join(' '), truth.join(' '));
  differ("touches", QString::number(t.touches.size()), QString::number(d.touches.size()));
  // The program's own uncertainty of the onset the touch times count from.
  double slack = kSlackMs;
  for (const results::SessionFrame& f : t.frames) {
    if (f.kind == FrameKind::kMemorisation) slack += f.uncertaintyMs;
  }
  QStringList kinds{"memorisation", "cover"};
  int found = 0;
  for (size_t k = 0; k < t.touches.size() && k < d.touches.size(); ++k) {
    const results::SessionTouch& x = t.touches[k];
    const e2e::DrivenTouch& y = d.touches[k];
    const bool wrong = y.answer == 'R';
    const int patch = static_cast<int>(numbered.indexOf(y.cell));
    differ("judgement", TouchJudgementName(x.judgement), wrong ? "wrong" : "correct");
    differ("patch", QString::number(x.patch), QString::number(wrong ? patch : found));
    // The disc's centre on the canvas, give or take the screen's rounding.
    const int cx = 137 + 150 * (y.cell % 5) + 60;
    const int cy = 9 + 150 * (y.cell / 5) + 60;
    if (qAbs(x.canvasX - cx) > 1 || qAbs(x.canvasY - cy) > 1)
      out << QString("touch %1 at %2,%3, disc centre %4,%5")
                 .arg(k + 1)
                 .arg(x.canvasX)
                 .arg(x.canvasY)
                 .arg(cx)
                 .arg(cy);
    // From the memorisation onset, within the bounds the subject file's times keep.
    const double low = MsBetween(d.onset.answered, y.press.sent);
    const double high = MsBetween(d.onset.sent, y.press.answered);
    if (d.onset.known && (x.timeMs < low - slack || x.timeMs > high + slack))
      out << QString("touch %1 at %2 ms, true %3 to %4 ms")
                 .arg(k + 1)
                 .arg(x.timeMs)
                 .arg(low)
                 .arg(high);
    // A row counts every millisecond begun; the record keeps tenths.
    if (!wrong && found == 0 && (r.RT1 - x.timeMs < -0.1 || r.RT1 - x.timeMs > 1.1))
      out << QString("first touch at %1 ms, RT1 %2").arg(x.timeMs).arg(r.RT1);
    kinds << (wrong ? QStringList{"error", "error-cover"} : QStringList{"answer"});
    found += wrong ? 0 : 1;
  }
  kinds << "completion";
  // RT2 runs from patch 1's answer (from the onset for a wrong touch before
  // it) to the last wrong or the completing touch.
  if (!t.touches.empty() && r.NItems > 1) {
    double end = t.touches.back().timeMs;
    bool fromOnset = false;
    int correctBefore = 0;
    for (const results::SessionTouch& x : t.touches) {
      if (x.judgement == TouchJudgement::kWrong) {
        end = x.timeMs;
        fromOnset = correctBefore == 0;
      }
      correctBefore += x.judgement == TouchJudgement::kCorrect ? 1 : 0;
    }
    if (r.Error == 0) end = t.touches.back().timeMs;
    const double rt2 = end - (fromOnset && r.Error ? 0 : t.rt2ZeroMs);
    if (r.RT2 - rt2 < -0.1 || r.RT2 - rt2 > 1.1)
      out << QString("touches give RT2 %1, row %2").arg(rt2).arg(r.RT2);
  }
  QStringList recordedKinds;
  for (const results::SessionFrame& f : t.frames) recordedKinds << FrameKindName(f.kind);
  differ("frames", recordedKinds.join(' '), kinds.join(' '));
  // RT1 counts from the memorisation display: its onset, or its hand-over when unconfirmed.
  if (!t.frames.empty()) {
    const results::SessionFrame& m = t.frames.front();
    differ("memorisation at",
           QString::number(m.source != OnsetSource::kNone ? m.onsetMs : m.returnMs), "0");
  }
  return out.join("; ");
}

// The presses made in a gap of the grid as the test window appeared: those
// before the memorisation onset kept in trial 1 as such, with no patch;
// none judged, and the memorisation ran its full time. At least one came
// before the onset. They are taken out of the record, so that the rest is
// compared with what the person did.
void CheckEarlyPresses(results::SessionRecord* record, int memtime) {
  QVERIFY(!record->trials.empty());
  results::SessionTrial& t = record->trials.front();
  constexpr int kGapX = 137 + 150 * 2 + 135;
  constexpr int kGapY = 9 + 150 * 2 + 60;
  int before = 0;
  std::vector<results::SessionTouch> kept;
  for (const results::SessionTouch& x : t.touches) {
    if (qAbs(x.canvasX - kGapX) > 1 || qAbs(x.canvasY - kGapY) > 1) {
      kept.push_back(x);
      continue;
    }
    const QString at = QString("a press in the gap at %1 ms").arg(x.timeMs);
    QVERIFY2(x.beforeOnset == (x.timeMs < 0), qPrintable(at));
    QVERIFY2(x.beforeOnset ? x.patch == -1 : x.judgement == TouchJudgement::kNoPatch,
             qPrintable(at));
    before += x.beforeOnset ? 1 : 0;
  }
  QVERIFY2(before > 0, "no press came between the program's drop and the onset");
  for (const results::SessionTouch& x : kept) QVERIFY(!x.beforeOnset);
  double coverAt = -1;
  for (const results::SessionFrame& f : t.frames) {
    if (f.kind == FrameKind::kCover && coverAt < 0) coverAt = f.onsetMs;
  }
  QVERIFY2(coverAt >= memtime * 1000 - kSlackMs && coverAt < memtime * 1000 + 500,
           qPrintable(QString("the cover came at %1 ms").arg(coverAt)));
  qInfo("%d presses kept as before the onset, %zu after it", before,
        t.touches.size() - kept.size() - static_cast<size_t>(before));
  t.touches = kept;
}

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

  // The subject's data file: one row per trial, exactly as the person took
  // it. A recorded time stands where it is close enough to ours; ours where
  // it is not, so that the comparison shows both.
  const QByteArray csv = ReadFile(work, "e2e-subject.csv");
  const QList<QByteArray> rows = csv.split('\n');
  // How sure the program itself was of each trial's two zeros: a recorded
  // time may stand that much further out (a compositor's own estimate of
  // its frames' times is good to a refresh only).
  results::SessionRecord timing;
  {
    const QDir folder(work.filePath("sessions"));
    QFile file(folder.filePath(folder.entryList(QDir::Files).value(0)));
    std::string unused;
    if (file.open(QIODevice::ReadOnly))
      results::ParseSessionRecord(file.readAll(), &timing, &unused);
  }
  const auto zeroUncertainty = [&timing](size_t trial, bool answer) {
    if (trial >= timing.trials.size()) return 0.0;
    const results::SessionTrial& t = timing.trials[trial];
    for (const results::SessionFrame& f : t.frames) {
      const bool isZero = answer ? f.kind == FrameKind::kAnswer && f.patch == 0
                                 : f.kind == FrameKind::kMemorisation;
      if (isZero) return f.uncertaintyMs;
    }
    return 0.0;
  };
  QByteArray expected = "Subject,Trial,NItems,NCorrect,RT1,RT2,Error,Rev\r\n";
  int reversalSum = 0;
  int reversalCount = 0;
  for (size_t i = 0; i < trials.size(); ++i) {
    const e2e::DrivenTrial& t = trials[i];
    const QList<QByteArray> fields = rows.value(static_cast<qsizetype>(i) + 1).split(',');
    const auto rt = [&](int k, const e2e::Bounds& truth, bool known) {
      const int recorded = fields.value(k).toInt();
      qInfo("trial %zu %s: recorded %d, true %.2f to %.2f ms%s", i + 1, k == 4 ? "RT1" : "RT2",
            recorded, truth.low, truth.high, known ? "" : " (onset not seen)");
      const bool fromAnswer = k == 5 && !t.lastWrongBeforeFirst;
      const double slack = kSlackMs + zeroUncertainty(i, fromAnswer);
      const bool within = recorded >= truth.low - slack && recorded <= truth.high + slack;
      return within || !known ? recorded : qRound(truth.Middle());
    };
    QVERIFY2(fields.value(4).toInt() >= 1000, rows.value(static_cast<qsizetype>(i) + 1));
    expected +=
        QString::asprintf(
            "e2e-subject,%d,%d,%d,%d,%d,%d,%d\r\n", static_cast<int>(i) + 1, t.nItems, t.nCorrect,
            rt(4, t.Rt1(), t.onset.known),
            t.nItems == 1 ? 0  // the touch that starts RT2 also ends it
                          : rt(5, t.Rt2(), t.lastWrongBeforeFirst ? t.onset.known : t.answer.known),
            t.error ? 1 : 0, t.rev)
            .toLatin1();
    reversalSum += t.rev != 0 ? t.nItems : 0;
    reversalCount += t.rev != 0 ? 1 : 0;
  }
  QCOMPARE(csv, expected);
  QCOMPARE(reversalCount, entry.maxRev);

  // The log: its header and one line, written during the run, with the score
  // of the person's own reversal trials.
  const QByteArray log = ReadFile(work, "ORBEL.txt");
  const QByteArray header = "Date\tTime\tScore\tSubject\r\n";
  const QByteArray stamp = log.mid(header.size(), 19);
  const QDateTime written =
      QDateTime::fromString(QString::fromLatin1(stamp), QStringLiteral("yyyy/MM/dd\tHH:mm:ss"));
  QVERIFY2(written >= runStart.addMSecs(-runStart.time().msec()) && written <= runEnd,
           log.constData());
  const QString score = QString::asprintf("%.2f", static_cast<double>(reversalSum) / reversalCount);
  QCOMPARE(log, header + stamp + '\t' + score.toLatin1() + "\te2e-subject\r\n");

  // The session record: one file, named for the subject and the end of the
  // test, holding what the person did.
  const QDir sessions(work.filePath("sessions"));
  const QStringList records =
      sessions.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  QCOMPARE(records.size(), 1);
  QVERIFY2(QRegularExpression("^e2e-subject_\\d{8}-\\d{6}\\.json$").match(records[0]).hasMatch(),
           qPrintable(records[0]));
  QFile recordFile(sessions.filePath(records[0]));
  QVERIFY(recordFile.open(QIODevice::ReadOnly));
  results::SessionRecord record;
  std::string reason;
  QVERIFY2(results::ParseSessionRecord(recordFile.readAll(), &record, &reason), reason.c_str());
  const QDateTime started =
      QDateTime::fromString(QString::fromStdString(record.started), Qt::ISODateWithMs);
  const QDateTime ended =
      QDateTime::fromString(QString::fromStdString(record.ended), Qt::ISODateWithMs);
  QVERIFY(runStart <= started && started < ended && ended <= runEnd);
  QCOMPARE(records[0].mid(12, 15), ended.toLocalTime().toString("yyyyMMdd-HHmmss"));
  // One reading of the clock: the log line's date and time are the record's end.
  QCOMPARE(QString::fromLatin1(stamp), ended.toLocalTime().toString("yyyy/MM/dd\tHH:mm:ss"));
  // Every trial's cells come back from where the record says the generator stood.
  QVERIFY(record.layouts.known);
  SRand(record.layouts.randomStart);
  for (uint64_t k = 0; k < record.layouts.drawsBefore; ++k) Rand();
  QCOMPARE(RandNow().state, record.layouts.generatorState);
  for (const results::SessionTrial& t : record.trials) QCOMPARE(PickCells(t.row.NItems), t.cells);
  const TestSettings& s = record.settings;
  QCOMPARE(QString::fromStdString(s.subject), QString("e2e-subject"));
  QCOMPARE(QList<int>({s.random_seed, s.memtime, s.max_rev, s.hide_mouse, s.flag_feedback,
                       s.flag_ranking}),
           QList<int>({0, entry.memtime, entry.maxRev, 0, 1, 1}));
  QCOMPARE(record.trialsRun, static_cast<int>(trials.size()));
  if (early) CheckEarlyPresses(&record, entry.memtime);
  if (QTest::currentTestFailed()) return;
  QCOMPARE(record.reversals, entry.maxRev);
  QVERIFY(record.hasScore);
  QCOMPARE(QString::asprintf("%.2f", record.score), score);
  // Every stimulus from the copies the program was given.
  QStringList stimuli;
  for (const results::StimulusRecord& st : record.stimuli) {
    QFile file(work.filePath(QString::fromStdString(st.file)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray sha =
        QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
    stimuli << QString::fromStdString(st.file) + " " + results::StimulusUseName(st.use) +
                   (QByteArray::fromStdString(st.sha256) == sha ? "" : " (other digest)");
  }
  QCOMPARE(stimuli, QStringList({"stim/patch.bmp file", "stim/opening.bmp file",
                                 "stim/click.wav file", "stim/error.wav file"}));
  // The screen of the virtual X server, and the canvas stretched onto it.
  const results::SessionDisplay& display = record.display;
  QCOMPARE(
      QList<int>({display.screenWidth, display.screenHeight, display.presentRect.left,
                  display.presentRect.top, display.presentRect.right, display.presentRect.bottom}),
      QList<int>({1920, 1080, 240, 0, 1680, 1080}));
  QVERIFY2(QStringList({"opengl-vsync", "opengl-clock", "raster"})
               .contains(QString::fromStdString(display.presentation.path)),
           display.presentation.path.c_str());
  int frames = 0;
  int counted = 0;
  for (const results::SessionTrial& t : record.trials) frames += static_cast<int>(t.frames.size());
  for (const auto& [source, count] : display.onsetSources) counted += count;
  QCOMPARE(counted, frames);
  for (size_t i = 0; i < trials.size() && i < record.trials.size(); ++i) {
    const QString differences = CompareTrial(record.trials[i], trials[i],
                                             rows.value(static_cast<qsizetype>(i) + 1).split(','));
    QVERIFY2(differences.isEmpty(),
             qPrintable(QString("trial %1: %2").arg(i + 1).arg(differences)));
  }

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
