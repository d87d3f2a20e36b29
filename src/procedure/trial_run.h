// The run of one test and of each of its trials on the test window: the
// memorisation display, the covered recall in number order, the reaction
// times, and the Escape abort.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "procedure/ms_timer.h"
#include "procedure/staircase.h"
#include "timing/trial_timing.h"

/// RunTrial's result when the trial could not run at all (no tick source or
/// no patch surfaces); the test stops with a message.
constexpr int kTrialFailed = -1;

/// Sees every frame of a trial once it is on the screen, on the trial's
/// thread: trial index and the frame's record.
using FrameObserver = std::function<void(int trial, const FrameRecord& frame)>;

/// What a trial runs on besides the patch layout, the display and the test
/// window: the table it writes, the row of timings it fills, the settings it
/// obeys, who watches its frames and the timer it counts on.
struct TrialContext {
  TestState* state = nullptr;     ///< the trial's row is written, its reversals read
  TrialTiming* timing = nullptr;  ///< the trial's timing row, cleared when it starts
  int64_t memorisationMs = 0;     ///< 64 bits: a large memtime must not wrap negative
  bool hideMouse = false;
  int maxRev = 0;               ///< for the progress text
  FrameObserver frameObserver;  ///< empty: none
  TrialClock* clock = nullptr;
};

/// The context of the experimenter's test: testState, memtime, hide_mouse and
/// max_rev of testSettings, the program's millisecond timer, no observer;
/// `timing` (not owned) is the row the trial fills.
TrialContext SettingsTrialContext(TrialTiming* timing);

/// Runs the trials of one test from trial 0 on, advancing the staircase after
/// each; 1 when the test ran to its end, 0 when it was aborted with Escape or
/// could not go on (the experimenter has then been told why); abortPoint then
/// says where and how it stopped.
int RunTest();

/// The same on `context`'s table, with trial i's timings in row i of
/// `timings` (kMaxTrials rows).
int RunTest(TrialContext& context, std::vector<TrialTiming>& timings);

/// After trial i ran to its end: 1 when the run is over (advances the table).
using TrialAdvance = std::function<int(TestState& state, int i)>;
/// The experimenter's message when a trial could not run: its timer did not
/// start (`laidOut`), or its patches could not be laid out.
using StoppedText = std::function<std::string(bool laidOut)>;

/// Lays out and runs trials of `context`'s table from trial 0 on, trial i's
/// timings into row i of `timings`, until `advance` ends the run (1), a trial
/// is aborted (0) or cannot run (0, after the `stopped` message).
int RunTrials(TrialContext& context, std::vector<TrialTiming>& timings,
              const TrialAdvance& advance, const StoppedText& stopped);

/// Runs trial `i` on the laid-out patches: 1 when all patches were found,
/// 0 when aborted with Escape, kTrialFailed when the tick source could not run.
int RunTrial(int i);

/// The same in `context`; its timing row is filled.
int RunTrial(TrialContext& context, int i);

/// The text shown in the top-left corner during a trial: one "*" per reversal
/// so far, then " (reversals/max_rev)".
std::string ProgressText(int reversals, int maxRev);
