#include "records/session_record.h"

#include <QCryptographicHash>
#include <algorithm>
#include <cmath>
#include <map>

#include "fileio/safe_file.h"
#include "timing/trial_timing.h"
#include "results/result_files.h"

#ifndef DORVANE_VERSION
#define DORVANE_VERSION "unknown"
#endif

namespace results {

std::vector<StimulusRecord> stimuliUsed;

namespace {

constexpr double kNsPerMs = 1e6;

// Milliseconds between two monotonic moments, rounded to `steps` per ms.
double MsFrom(int64_t zeroNs, int64_t ns, double steps) {
  return std::round(static_cast<double>(ns - zeroNs) / kNsPerMs * steps) / steps;
}

// A frame as the record keeps it: times from the memorisation onset, 0.001 ms steps.
SessionFrame FrameOf(const FrameRecord& f, int64_t zeroNs) {
  return SessionFrame{f.kind,
                      f.patch,
                      MsFrom(zeroNs, f.onset.onsetNs, 1000),
                      MsFrom(0, f.onset.uncertaintyNs, 1000),
                      MsFrom(zeroNs, f.onset.requestNs, 1000),
                      MsFrom(zeroNs, f.onset.returnNs, 1000),
                      f.onset.source,
                      f.onset.missedRefreshes};
}

// A touch as the record keeps it: its time from the memorisation onset, 0.1 ms steps.
SessionTouch TouchOf(const TouchRecord& t, int64_t zeroNs) {
  return SessionTouch{MsFrom(zeroNs, t.timeNs, 10),
                      t.source,
                      t.screenX,
                      t.screenY,
                      t.canvasX,
                      t.canvasY,
                      t.patch,
                      t.judgement,
                      t.beforeOnset};
}

}  // namespace

StimulusRecord DescribeStimulus(const std::string& path, bool used, StimulusUse fallback) {
  StimulusRecord record;
  record.file = path;
  std::replace(record.file.begin(), record.file.end(), '\\', '/');
  record.use = fallback;
  if (!used) return record;
  std::string bytes;
  std::string why;
  if (file_io::ReadRegularFile(record.file, file_io::kMaxStimulusBytes, &bytes, &why) !=
      file_io::ReadStatus::kDone) {
    return record;
  }
  record.use = StimulusUse::kFile;
  record.sha256 =
      QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
          .toHex()
          .toStdString();
  return record;
}

std::string LocalTimeText(const QDateTime& time) {
  // Spelled out: Qt writes "Z" for a zero offset, which reads as no local time.
  const QDateTime local = time.toLocalTime();
  const int offset = local.offsetFromUtc();
  const int minutes = (offset < 0 ? -offset : offset) / 60;
  return (local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
          QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60))
      .toStdString();
}

SessionRecord MakeSessionRecord(const SessionInputs& in) {
  SessionRecord record;
  record.programName = "Dorvane";
  record.programVersion = DORVANE_VERSION;
  record.started = LocalTimeText(in.started);
  record.ended = LocalTimeText(in.ended);
  if (in.settings) record.settings = *in.settings;
  record.stimuli = in.stimuli;
  record.layouts = in.layouts;
  record.hasParticipant = in.participant.found;
  record.participant = in.participant.fields;
  record.participantNote = in.participant.note;
  record.display.screenWidth = in.screen.width;
  record.display.screenHeight = in.screen.height;
  record.display.presentRect = in.presentRect;
  record.display.presentation = in.presentation;
  if (!in.state) return record;

  const TestState& state = *in.state;
  record.outcome = in.outcome;
  record.abort = in.abort;
  // The interrupted trial is kept with what it measured up to the abort.
  const int n =
      std::clamp<int32_t>(state.trialsRun + (in.abort.TrialShown() ? 1 : 0), 0, kMaxTrials);
  record.trialsRun = n;
  record.reversals = state.reversals;
  int reversalTrials = 0;
  record.score = ComputeScore(state, &reversalTrials);
  // Only a completed test has a score: nothing else reaches the log.
  record.hasScore = reversalTrials > 0 && in.outcome == SessionOutcome::kCompleted;
  if (!record.hasScore) record.score = 0;

  std::map<std::string, int32_t> sources;
  const TrialTiming none;
  for (int i = 0; i < n; ++i) {
    const bool known = in.timings && static_cast<size_t>(i) < in.timings->size();
    const TrialTiming& timing = known ? (*in.timings)[static_cast<size_t>(i)] : none;
    SessionTrial trial;
    trial.row = state.trials[i];
    trial.cells = timing.cells;
    trial.rt1ZeroNs = timing.rt1ZeroNs;
    trial.hasRt2Zero = timing.rt2ZeroNs != 0;
    if (trial.hasRt2Zero) trial.rt2ZeroMs = MsFrom(timing.rt1ZeroNs, timing.rt2ZeroNs, 1000);
    for (const FrameRecord& f : timing.frames) {
      trial.frames.push_back(FrameOf(f, timing.rt1ZeroNs));
      ++sources[OnsetSourceName(f.onset.source)];
    }
    for (const TouchRecord& t : timing.touches)
      trial.touches.push_back(TouchOf(t, timing.rt1ZeroNs));
    record.trials.push_back(std::move(trial));
  }
  record.display.onsetSources.assign(sources.begin(), sources.end());
  return record;
}

}  // namespace results
