// What a trial knows beyond its TrialRecord row: where its patches stood,
// when each frame that mattered reached the screen and from which source that
// time came, and every touch with its time, place and judgement. All times
// are nanoseconds of the monotonic clock (tick_clock::NowNs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Where a frame's onset time came from, best first.
enum class OnsetSource : int32_t {
  kNone = 0,             ///< nothing confirmed the frame: its time is Present's return, flagged
  kPresentEvent = 1,     ///< the display server's own presentation timestamp (X Present UST)
  kOmlSync = 2,          ///< GLX_OML_sync_control
  kWaylandFeedback = 3,  ///< Wayland presentation-time feedback
  kReadback = 4,         ///< the frame's pixels read back through the display server
  kSimulated = 5,        ///< a presenter without a screen (tests, benchmarks)
};

/// A short stable name for a source: "none", "present-event", "oml-sync",
/// "wayland-feedback", "readback", "simulated".
const char* OnsetSourceName(OnsetSource source);

/// When one presented frame became visible.
struct FrameOnset {
  int64_t onsetNs = 0;        ///< best estimate of the moment the frame was on the screen
  int64_t uncertaintyNs = 0;  ///< the onset lies within onsetNs +/- this
  int64_t requestNs = 0;      ///< when Present was called
  int64_t returnNs = 0;       ///< when Present returned
  OnsetSource source = OnsetSource::kNone;
  int32_t missedRefreshes = 0;  ///< refreshes the frame came later than the one it was meant for
  bool Confirmed() const { return source != OnsetSource::kNone; }
};

/// The frames of a trial whose onsets matter.
enum class FrameKind : int32_t {
  kMemorisation = 0,  ///< numbered patches: RT1 counts from its onset
  kCover = 1,         ///< all patches covered when the memorisation time is up
  kAnswer = 2,        ///< a correct touch uncovered its patch (patch 1's answer restarts RT2)
  kError = 3,         ///< a wrong touch shown red
  kErrorCover = 4,    ///< the red patch covered again after the error display
  kCompletion = 5,    ///< all patches green
};

/// "memorisation", "cover", "answer", "error", "error-cover", "completion".
const char* FrameKindName(FrameKind kind);

/// One frame of a trial.
struct FrameRecord {
  FrameKind kind = FrameKind::kMemorisation;
  int32_t patch = -1;  ///< 0-based row of the patch the frame is about, -1 for none
  FrameOnset onset;
};

/// Where a touch's time came from.
enum class TouchTimeSource : int32_t {
  kStamp = 0,   ///< the windowing system's own stamp on the input event
  kSample = 1,  ///< sampled by the trial's loop (no usable stamp)
};

/// How a touch was judged.
enum class TouchJudgement : int32_t {
  kCorrect = 0,       ///< the expected patch
  kWrong = 1,         ///< a later patch: an error
  kNoPatch = 2,       ///< no remaining patch there
  kAlreadyFound = 3,  ///< a patch found earlier in the trial: ignored
};

/// "correct", "wrong", "no-patch", "already-found".
const char* TouchJudgementName(TouchJudgement judgement);

/// One touch (or left-button press) the trial took from the test window.
struct TouchRecord {
  int64_t timeNs = 0;  ///< when the contact came down
  TouchTimeSource source = TouchTimeSource::kSample;
  int32_t screenX = 0;  ///< position in window pixels
  int32_t screenY = 0;
  int32_t canvasX = 0;  ///< position on the 1024 x 768 canvas
  int32_t canvasY = 0;
  int32_t patch = -1;  ///< 0-based row of the patch hit, -1 for none
  TouchJudgement judgement = TouchJudgement::kNoPatch;
  /// Came down before the memorisation display was on the screen: kept, never
  /// judged (patch -1, kNoPatch).
  bool beforeOnset = false;
};

/// Everything a trial measured beyond its TrialRecord row.
struct TrialTiming {
  std::vector<int32_t> cells;  ///< grid cell (row * 5 + column) of each patch, in number order
  std::vector<FrameRecord> frames;
  std::vector<TouchRecord> touches;
  /// The onset RT1 counts from (the memorisation display), and the one RT2
  /// counts from after a touch on patch 1 (its answer); 0 when not shown.
  int64_t rt1ZeroNs = 0;
  int64_t rt2ZeroNs = 0;
};

/// How the display presented the frames of the current test.
struct PresentationInfo {
  std::string path;               ///< "opengl-vsync", "opengl-clock", "raster" or "none"
  double nominalRefreshS = 0;     ///< the screen's refresh period as the system reports it
  double measuredRefreshS = 0;    ///< as measured from presentation times; 0 when unknown
  bool fellBackToRaster = false;  ///< OpenGL failed during the test and raster took over
};
