// A hand-made test and its session record, for the record tests: two
// trials run, a third laid out; the record written, edited and read back.
#pragma once

#include <QtTest>
#include <string>
#include <vector>

#include "records/record_parser.h"
#include "records/record_writer.h"
#include "records/session_record.h"

namespace testing {

using results::SessionRecord;

constexpr int64_t kZero = 5'000'000'000'123LL;  // memorisation onset of trial 1, ns
constexpr int64_t kMs = 1'000'000;

inline FrameRecord Frame(FrameKind kind, int patch, int64_t onsetNs, OnsetSource source, int missed = 0) {
  return FrameRecord{
      kind, patch,
      FrameOnset{onsetNs, 250'000, onsetNs - 9 * kMs, onsetNs - 4 * kMs, source, missed}};
}

inline TouchRecord Touch(int64_t timeNs, int x, int y, int patch, TouchJudgement judgement) {
  return TouchRecord{timeNs, TouchTimeSource::kStamp, x * 2, y * 2, x, y, patch, judgement};
}

// Two trials: 3 patches without error, then 4 with a wrong touch; trial 2 reversed.
struct HandMadeTest {
  TestState state{};
  std::vector<TrialTiming> timings = std::vector<TrialTiming>(kMaxTrials);
  TestSettings settings{"S01, \"left\"", 17, 3, 2, 1, 0, 1};

  HandMadeTest() {
    state.trials[0] = {1, 3, 3, 2345, 1500, 0, 0};
    state.trials[1] = {2, 4, 0, 4100, 3333, 1, 1};
    state.trials[2] = {3, 3, 0, 0, 0, 0, 0};  // laid out, never run
    state.trialsRun = 2;
    state.reversals = 1;
    TrialTiming& a = timings[0];
    a.cells = {7, 0, 24};
    a.rt1ZeroNs = kZero;
    a.rt2ZeroNs = kZero + 2'362'500'400;
    a.frames = {Frame(FrameKind::kMemorisation, 0, kZero, OnsetSource::kPresentEvent),
                Frame(FrameKind::kCover, -1, kZero + 3000 * kMs, OnsetSource::kPresentEvent, 2),
                Frame(FrameKind::kAnswer, 0, a.rt2ZeroNs, OnsetSource::kNone)};
    a.touches = {Touch(kZero - 7'900'000, 500, 200, -1, TouchJudgement::kNoPatch),
                 Touch(kZero + 2'345'049'999, 500, 200, 0, TouchJudgement::kCorrect),
                 Touch(kZero + 2'999'950'001, 10, 20, -1, TouchJudgement::kNoPatch)};
    a.touches[0].beforeOnset = true;  // the second click of a double click on OK
    a.touches[2].source = TouchTimeSource::kSample;
    TrialTiming& b = timings[1];
    b.cells = {1, 2, 3, 4};
    b.rt1ZeroNs = kZero + 9000 * kMs;
    b.frames = {Frame(FrameKind::kMemorisation, 0, b.rt1ZeroNs, OnsetSource::kOmlSync),
                Frame(FrameKind::kError, 2, b.rt1ZeroNs + 3334 * kMs, OnsetSource::kReadback)};
    b.touches = {Touch(b.rt1ZeroNs + 3'333'333'333, 300, 40, 2, TouchJudgement::kWrong),
                 Touch(b.rt1ZeroNs + 3'900 * kMs, 300, 40, 2, TouchJudgement::kAlreadyFound)};
  }

  results::SessionInputs Inputs() const {
    results::SessionInputs in;
    in.state = &state;
    in.timings = &timings;
    in.settings = &settings;
    in.stimuli = {{"stim/patch.bmp", results::StimulusUse::kFile, std::string(64, 'a')},
                  {"stim/opening.bmp", results::StimulusUse::kBuiltIn, ""},
                  {"stim/click.wav", results::StimulusUse::kMissing, ""}};
    in.screen = {1920, 1080};
    in.presentRect = {240, 0, 1680, 1080};
    in.presentation = {"opengl-vsync", 1 / 60.0, 0.016671, true};
    in.started = QDateTime(QDate(2026, 1, 5), QTime(9, 3, 7, 5), QTimeZone(3600));
    in.ended = in.started.addSecs(95);
    in.layouts = {true, 1767600187u, 2 + 4 * 12, 0xFEDCBA98u};
    return in;
  }
};

inline SessionRecord RoundTrip(const SessionRecord& made) {
  SessionRecord read;
  std::string reason;
  if (!results::ParseSessionRecord(results::SessionRecordJson(made), &read, &reason))
    qWarning("refused: %s", reason.c_str());
  return read;
}

inline QByteArray ValidJson() {
  return results::SessionRecordJson(results::MakeSessionRecord(HandMadeTest().Inputs()));
}

// `json` with `from` replaced by `to` (which must occur).
inline QByteArray EditedFrom(QByteArray json, const QByteArray& from, const QByteArray& to) {
  if (!json.contains(from)) qFatal("no %s in the record", from.constData());
  return json.replace(json.indexOf(from), from.size(), to);
}

// The valid record with `from` replaced by `to`.
inline QByteArray Edited(const QByteArray& from, const QByteArray& to) {
  return EditedFrom(ValidJson(), from, to);
}

// The hand-made test stopped in its third trial (3 patches) `how`, in
// `phase`; where the trial showed, with its memorisation, cover and one
// correct touch on patch 1.
inline results::SessionInputs StoppedInputs(HandMadeTest& test, AbortHow how, TrialPhase phase,
                                     results::SessionOutcome outcome) {
  results::SessionInputs in = test.Inputs();
  in.outcome = outcome;
  in.abort = AbortPoint{true, how, 3, phase};
  if (phase != TrialPhase::kBetweenTrials) {
    TrialTiming& c = test.timings[2];
    c.cells = {5, 6, 7};
    c.rt1ZeroNs = kZero + 20000 * kMs;
    c.frames = {Frame(FrameKind::kMemorisation, 0, c.rt1ZeroNs, OnsetSource::kPresentEvent),
                Frame(FrameKind::kCover, -1, c.rt1ZeroNs + 3000 * kMs, OnsetSource::kPresentEvent)};
    c.touches = {Touch(c.rt1ZeroNs + 3500 * kMs, 347, 369, 0, TouchJudgement::kCorrect)};
    test.state.trials[2].RT1 = 3500;
  }
  return in;
}

inline QByteArray AbortedJson() {
  HandMadeTest test;
  return results::SessionRecordJson(results::MakeSessionRecord(StoppedInputs(
      test, AbortHow::kEscape, TrialPhase::kAnswer, results::SessionOutcome::kAborted)));
}

template <typename... T>
inline QString Words(const T&... items) {
  return QStringList({QVariant(items).toString()...}).join(' ');
}

// Everything a record holds, one line per piece, to compare whole.
inline QStringList Describe(const SessionRecord& r) {
  const TestSettings& s = r.settings;
  const results::SessionDisplay& d = r.display;
  QStringList out{
      Words(r.formatMajor, r.programName.c_str(), r.trialsRun, r.reversals, r.hasScore, r.score),
      Words(s.subject.c_str(), s.random_seed, s.memtime, s.max_rev, s.hide_mouse, s.flag_feedback,
            s.flag_ranking),
      Words(d.screenWidth, d.screenHeight, d.presentRect.left, d.presentRect.top,
            d.presentRect.right, d.presentRect.bottom, d.presentation.path.c_str(),
            d.presentation.nominalRefreshS, d.presentation.measuredRefreshS,
            d.presentation.fellBackToRaster),
      Words(r.layouts.known, r.layouts.randomStart, qulonglong(r.layouts.drawsBefore),
            r.layouts.generatorState)};
  for (const auto& [source, count] : d.onsetSources) out << Words(source.c_str(), count);
  for (const results::StimulusRecord& m : r.stimuli)
    out << Words(m.file.c_str(), results::StimulusUseName(m.use), m.sha256.c_str());
  for (const results::SessionTrial& t : r.trials) {
    const TrialRecord& w = t.row;
    QStringList cells;
    for (int32_t c : t.cells) cells << QString::number(c);
    out << Words(w.Trial, w.NItems, w.NCorrect, w.RT1, w.RT2, w.Error, w.Rev, cells.join(','),
                 qlonglong(t.rt1ZeroNs), t.hasRt2Zero, t.rt2ZeroMs);
    for (const results::SessionFrame& f : t.frames)
      out << Words(FrameKindName(f.kind), f.patch, f.onsetMs, f.uncertaintyMs, f.requestMs,
                   f.returnMs, OnsetSourceName(f.source), f.missedRefreshes);
    for (const results::SessionTouch& h : t.touches)
      out << Words(h.timeMs, h.source == TouchTimeSource::kStamp ? "stamp" : "sample", h.screenX,
                   h.screenY, h.canvasX, h.canvasY, h.patch, TouchJudgementName(h.judgement)) +
                 (h.beforeOnset ? " before-onset" : "");
  }
  return out;
}

}  // namespace testing
