// The session record: one JSON file per test in "sessions/" (completed,
// aborted, or a practice run), with
// everything the subject file and the log leave out (settings as used,
// stimuli, display, every frame onset and every touch). Written after those
// files and never instead of them; read back by the Sessions window, the
// export and the fuzzer. The format is described in docs/session-record.md.
// This is the record as the program holds it and how a test becomes one;
// record_writer, record_parser and session_file turn it into its file and back.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "procedure/abort_point.h"
#include "procedure/staircase.h"
#include "records/participant_register.h"
#include "settings/test_settings.h"
#include "timing/trial_timing.h"
#include "ui/services.h"

namespace results {

/// The format's name and the version this program writes; it reads every
/// 1.x record and refuses 2.0 and later.
constexpr char kSessionFormat[] = "dorvane-session";
constexpr int kSessionMajor = 1;
constexpr int kSessionMinor = 3;

/// The folder of the working directory that holds the records.
constexpr char kSessionFolder[] = "sessions";

/// How the run a record tells of ended; records before 1.3 are all completed tests.
enum class SessionOutcome : int32_t {
  kCompleted = 0,  ///< a test that ran to its end: its rows and log line were written
  kAborted = 1,    ///< a test stopped before its end (the record's abort says how): no rows
  kPractice = 2,   ///< a practice run, to its end or stopped: no rows, never ranked
};

/// "completed", "aborted", "practice" (defined with the record's other names).
const char* SessionOutcomeName(SessionOutcome outcome);

/// How a stimulus file was used.
enum class StimulusUse : int32_t {
  kFile = 0,     ///< the file was loaded
  kBuiltIn = 1,  ///< unusable: the program drew its own (white disc, title text)
  kMissing = 2,  ///< unusable, and nothing replaced it (a sound plays nothing)
};

/// "file", "built in", "missing" (defined with the record's other names).
const char* StimulusUseName(StimulusUse use);

/// One stimulus file as the program used it.
struct StimulusRecord {
  std::string file;  ///< as the program names it, "stim/patch.bmp"
  StimulusUse use = StimulusUse::kMissing;
  std::string sha256;  ///< lowercase hex of the file's bytes; empty unless kFile
};

/// Describes the file at `path`: kFile with its digest when `used` and the
/// file can be read, otherwise `fallback`.
StimulusRecord DescribeStimulus(const std::string& path, bool used, StimulusUse fallback);

/// The stimuli as start-up found them, in the order the program loads them.
extern std::vector<StimulusRecord> stimuliUsed;

/// One frame of a trial; times in ms from the trial's memorisation onset.
struct SessionFrame {
  FrameKind kind = FrameKind::kMemorisation;
  int32_t patch = -1;  ///< 0-based row of the patch, -1 for none
  double onsetMs = 0;  ///< 0.001 ms resolution, as are the three below
  double uncertaintyMs = 0;
  double requestMs = 0;
  double returnMs = 0;
  OnsetSource source = OnsetSource::kNone;
  int32_t missedRefreshes = 0;
};

/// One touch of a trial.
struct SessionTouch {
  double timeMs = 0;  ///< from the memorisation onset, 0.1 ms resolution
  TouchTimeSource source = TouchTimeSource::kSample;
  int32_t screenX = 0;
  int32_t screenY = 0;
  int32_t canvasX = 0;
  int32_t canvasY = 0;
  int32_t patch = -1;  ///< 0-based row of the patch hit, -1 for none
  TouchJudgement judgement = TouchJudgement::kNoPatch;
  bool beforeOnset = false;  ///< before the memorisation onset: not judged (false before 1.2)
};

/// One trial: its row of the subject file and what the trial measured.
struct SessionTrial {
  TrialRecord row{};
  std::vector<int32_t> cells;  ///< grid cell of each patch, in number order
  int64_t rt1ZeroNs = 0;       ///< the memorisation onset (monotonic clock); 0 when not shown
  bool hasRt2Zero = false;     ///< patch 1 was found, so RT2 counted from its answer
  double rt2ZeroMs = 0;        ///< that answer's onset, from rt1ZeroNs
  std::vector<SessionFrame> frames;
  std::vector<SessionTouch> touches;
};

/// The screen and how frames reached it.
struct SessionDisplay {
  int32_t screenWidth = 0;  ///< ScreenSize
  int32_t screenHeight = 0;
  ui::Rect presentRect;  ///< where the canvas showed
  PresentationInfo presentation;
  /// Frames of the test per onset source (OnsetSourceName), most used first.
  std::vector<std::pair<std::string, int32_t>> onsetSources;
};

/// Where the layouts' random generator stood when the test's first trial was
/// laid out; known from version 1.2 on.
struct SessionLayouts {
  bool known = false;
  uint32_t randomStart = 0;     ///< the value the program started the generator from
  uint64_t drawsBefore = 0;     ///< draws made from it before this test
  uint32_t generatorState = 0;  ///< the state then: the first layout draws from it
};

/// A whole record.
struct SessionRecord {
  int32_t formatMajor = kSessionMajor;  ///< of the record as read
  int32_t formatMinor = kSessionMinor;
  std::string programName;
  std::string programVersion;
  std::string started;  ///< local time with UTC offset, ISO 8601 to the ms
  std::string ended;
  TestSettings settings;
  SessionOutcome outcome = SessionOutcome::kCompleted;
  AbortPoint abort;       ///< stopped: where and how; its trial is the last of `trials` when shown
  int32_t trialsRun = 0;  ///< entries of `trials`, the interrupted one included
  int32_t reversals = 0;
  bool hasScore = false;  ///< false when no trial reversed, and for a run that is not a completed test
  double score = 0;
  std::vector<StimulusRecord> stimuli;
  SessionDisplay display;
  SessionLayouts layouts;
  std::vector<SessionTrial> trials;
  /// The register's row of the subject when the test started (from 1.3).
  bool hasParticipant = false;
  ParticipantFields participant;
  std::string participantNote;  ///< why the register could not be used; empty when it could
};

/// What a record is made from: the test as it stands when it has ended.
struct SessionInputs {
  const TestState* state = nullptr;
  const std::vector<TrialTiming>* timings = nullptr;  ///< one per row; may be shorter
  const TestSettings* settings = nullptr;
  std::vector<StimulusRecord> stimuli;
  ScreenDimensions screen;
  ui::Rect presentRect;
  PresentationInfo presentation;
  QDateTime started;
  QDateTime ended;  ///< the one reading of the clock the log line and the file name use too
  SessionLayouts layouts;
  SessionOutcome outcome = SessionOutcome::kCompleted;
  AbortPoint abort;  ///< where the run stopped, when it did
  ParticipantLookup participant;  ///< the register's row of the subject at the test's start
};

/// The record of the first trialsRun trials of `in`, and of the trial
/// interrupted after them when `in.abort` says it was shown.
SessionRecord MakeSessionRecord(const SessionInputs& in);

/// Local time as the record writes it: "2026-01-05T09:03:07.123+01:00".
std::string LocalTimeText(const QDateTime& time);

}  // namespace results
