// Where and how a test (or a practice) stopped before its end: the trial run
// notes it as it stops, and the session record keeps it.
#pragma once

#include <cstdint>

class CTouchWnd;

/// How a run was stopped.
enum class AbortHow : int32_t {
  kEscape = 0,        ///< the Escape key
  kWindowClosed = 1,  ///< the window was asked to close: a close box, or a window manager's close
  kAltF4 = 2,         ///< Alt+F4 reached the test window itself
  kTimerFailed = 3,   ///< the millisecond timer could not be started
  kImagesFailed = 4,  ///< the trial's images could not be made
};

/// The part of a trial a run stopped in.
enum class TrialPhase : int32_t {
  kBetweenTrials = 0,  ///< the trial was laid out, its memorisation display not yet shown
  kMemorisation = 1,   ///< the numbered patches were on the screen
  kAnswer = 2,         ///< the patches were covered and being touched
};

/// "escape", "window-closed", "alt-f4", "timer-failed", "images-failed".
const char* AbortHowName(AbortHow how);
/// "between-trials", "memorisation", "answer".
const char* TrialPhaseName(TrialPhase phase);

/// Where a run stopped; `stopped` false while it runs and once it ran to its end.
struct AbortPoint {
  bool stopped = false;
  AbortHow how = AbortHow::kEscape;
  int32_t trial = 0;  ///< 1-based, as the subject file counts trials
  TrialPhase phase = TrialPhase::kBetweenTrials;
  /// The trial's memorisation display was shown: its row and events belong to the record.
  bool TrialShown() const { return stopped && phase != TrialPhase::kBetweenTrials; }
};

/// The abort point of the current (or last) run.
extern AbortPoint abortPoint;

/// Clears abortPoint for a new run.
void ResetAbortPoint();

/// Notes that the run stopped in trial index `i` (0-based) in `phase`; the
/// first note of a run stands.
void NoteAbort(AbortHow how, int i, TrialPhase phase);

/// How the test window was closed: Alt+F4 when the key reached it, else a close request.
AbortHow CloseHow(const CTouchWnd& window);
