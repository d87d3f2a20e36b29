// The end-to-end test's checks of the files a whole test left: each compares
// one file with what the person did and stops at its first difference.
#include "app/e2e/files_checked.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QtTest>

#include "display/layout.h"
#include "records/record_parser.h"

namespace e2e {

namespace {

// Ours bound each time by the X requests around its two ends: the press by
// the XTest request and its round trip, a frame's onset by the last read of
// the screen that did not show it and the first that did. A recorded time
// may stand this far outside those bounds: its own rounding to the
// millisecond and the program's own confirmation of the onset.
constexpr double kSlackMs = 3;

}  // namespace

QByteArray ReadFile(const QDir& dir, const char* name) {
  QFile file(dir.filePath(QString::fromLatin1(name)));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

namespace {

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

}  // namespace

// What the session record says of one trial, beside what the person did and
// the trial's row of the subject file; empty when they agree.
QString CompareTrial(const results::SessionTrial& t, const DrivenTrial& d,
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
  for (const DrivenTouch& touch : d.touches)
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
    const DrivenTouch& y = d.touches[k];
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

void CheckSubjectFile(const QDir& work, const std::vector<DrivenTrial>& trials, int maxRev,
                      SubjectFileSeen* seen) {
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
    const DrivenTrial& t = trials[i];
    const QList<QByteArray> fields = rows.value(static_cast<qsizetype>(i) + 1).split(',');
    const auto rt = [&](int k, const Bounds& truth, bool known) {
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
  seen->rows = rows;
  QCOMPARE(csv, expected);
  QCOMPARE(reversalCount, maxRev);
  seen->score = QString::asprintf("%.2f", static_cast<double>(reversalSum) / reversalCount);
}

void CheckLog(const QDir& work, const QDateTime& runStart, const QDateTime& runEnd,
              const QString& score, QByteArray* stamp) {
  // The log: its header and one line, written during the run, with the score
  // of the person's own reversal trials.
  const QByteArray log = ReadFile(work, "ORBEL.txt");
  const QByteArray header = "Date\tTime\tScore\tSubject\r\n";
  *stamp = log.mid(header.size(), 19);
  const QDateTime written =
      QDateTime::fromString(QString::fromLatin1(*stamp), QStringLiteral("yyyy/MM/dd\tHH:mm:ss"));
  QVERIFY2(written >= runStart.addMSecs(-runStart.time().msec()) && written <= runEnd,
           log.constData());
  QCOMPARE(log, header + *stamp + '\t' + score.toLatin1() + "\te2e-subject\r\n");
}

void ReadRecord(const QDir& work, const QDateTime& runStart, const QDateTime& runEnd,
                const QByteArray& stamp, results::SessionRecord* record) {
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
  std::string reason;
  QVERIFY2(results::ParseSessionRecord(recordFile.readAll(), record, &reason), reason.c_str());
  const QDateTime started =
      QDateTime::fromString(QString::fromStdString(record->started), Qt::ISODateWithMs);
  const QDateTime ended =
      QDateTime::fromString(QString::fromStdString(record->ended), Qt::ISODateWithMs);
  QVERIFY(runStart <= started && started < ended && ended <= runEnd);
  QCOMPARE(records[0].mid(12, 15), ended.toLocalTime().toString("yyyyMMdd-HHmmss"));
  // One reading of the clock: the log line's date and time are the record's end.
  QCOMPARE(QString::fromLatin1(stamp), ended.toLocalTime().toString("yyyy/MM/dd\tHH:mm:ss"));
}

void CheckRecordLayoutsAndSettings(const results::SessionRecord& record, const SubjectEntry& entry,
                                   size_t trialsRun) {
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
  QCOMPARE(record.trialsRun, static_cast<int>(trialsRun));
}

void CheckRecordScoreAndStimuli(const results::SessionRecord& record, const QDir& work,
                                const QString& score, int maxRev) {
  QCOMPARE(record.reversals, maxRev);
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
}

void CheckRecordDisplay(const results::SessionRecord& record) {
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
}

void CheckRecordTrials(const results::SessionRecord& record, const std::vector<DrivenTrial>& trials,
                       const QList<QByteArray>& rows) {
  for (size_t i = 0; i < trials.size() && i < record.trials.size(); ++i) {
    const QString differences = CompareTrial(record.trials[i], trials[i],
                                             rows.value(static_cast<qsizetype>(i) + 1).split(','));
    QVERIFY2(differences.isEmpty(),
             qPrintable(QString("trial %1: %2").arg(i + 1).arg(differences)));
  }
}

}  // namespace e2e
