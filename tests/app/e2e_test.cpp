// The real program on an X server, driven as a person would drive it: a click
// on the opening screen, the Subject Information dialog typed in, a whole test
// taken by trial and error, File -> Exit; then every file it wrote is checked
// against what the person did.
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QtTest>

#include "app/e2e/person.h"
#include "results/session_record.h"

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

// An RT counts every millisecond begun, so it lies within [t, t + 1) of the
// time t the record gives to 0.1 ms (onsets to 0.001 ms); 0.1 ms more covers
// that rounding.
bool CountsBegunMs(int rt, double t) {
  return rt - t >= -0.1 && rt - t <= 1.1;
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
    if (d.onset.known && (x.timeMs < low - kSlackMs || x.timeMs > high + kSlackMs))
      out << QString("touch %1 at %2 ms, true %3 to %4 ms")
                 .arg(k + 1)
                 .arg(x.timeMs)
                 .arg(low)
                 .arg(high);
    if (!wrong && found == 0 && !CountsBegunMs(r.RT1, x.timeMs))
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
    if (!CountsBegunMs(r.RT2, rt2))
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

}  // namespace

class E2eTest : public QObject {
  Q_OBJECT

 private slots:
  void wholeTest_filesMatchWhatThePersonDid();
};

void E2eTest::wholeTest_filesMatchWhatThePersonDid() {
  e2e::Person person;
  const e2e::SubjectEntry entry{"e2e-subject", 1, 2, false};
  std::vector<e2e::DrivenTrial> trials;
  const QDateTime runStart = QDateTime::currentDateTime();
  const bool ok = person.Start() && person.WaitForOpeningScreen() && person.StartTestByClick() &&
                  person.FillSubjectInformation(entry) && person.TakeTest(entry, &trials) &&
                  person.WaitForOpeningScreen() && person.ExitFromMenu();
  const QDateTime runEnd = QDateTime::currentDateTime();
  QVERIFY2(ok, person.Failure().c_str());
  qInfo().noquote() << "what the person did:\n" + QString::fromStdString(person.Log());

  const QDir work(person.WorkDir());
  QCOMPARE(work.entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
           QStringList({"e2e-subject.csv", "ORBEL.ini", "ORBEL.txt", "sessions", "stim"}));

  // The subject's data file: one row per trial, exactly as the person took
  // it. A recorded time stands where it is close enough to ours; ours where
  // it is not, so that the comparison shows both.
  const QByteArray csv = ReadFile(work, "e2e-subject.csv");
  const QList<QByteArray> rows = csv.split('\n');
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
      const bool within = recorded >= truth.low - kSlackMs && recorded <= truth.high + kSlackMs;
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
  const TestSettings& s = record.settings;
  QCOMPARE(QString::fromStdString(s.subject), QString("e2e-subject"));
  QCOMPARE(QList<int>({s.random_seed, s.memtime, s.max_rev, s.hide_mouse, s.flag_feedback,
                       s.flag_ranking}),
           QList<int>({0, entry.memtime, entry.maxRev, 0, 0, 0}));
  QCOMPARE(record.trialsRun, static_cast<int>(trials.size()));
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
                                                   "flag_feedback = 0\r\n"
                                                   "flag_ranking = 0\r\n"));
}

QTEST_GUILESS_MAIN(E2eTest)
#include "e2e_test.moc"
