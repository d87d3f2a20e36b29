// The run of one test and of each of its trials on the test window: the
// memorisation display, the covered recall in number order, the reaction
// times, and the Escape abort.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "timing/trial_timing.h"

/// RunTrial's result when the trial could not run at all (no tick source or
/// no patch surfaces); the test stops with a message.
constexpr int kTrialFailed = -1;

/// Runs the trials of one test from trial 0 on, advancing the staircase after
/// each; 1 when the test ran to its end, 0 when it was aborted with Escape or
/// could not go on (the experimenter has then been told why); abortPoint then
/// says where and how it stopped.
int RunTest();

/// Runs trial `i` on the laid-out patches: 1 when all patches were found,
/// 0 when aborted with Escape, kTrialFailed when the tick source could not run.
int RunTrial(int i);

/// The text shown in the top-left corner during a trial: one "*" per reversal
/// so far, then " (reversals/max_rev)".
std::string ProgressText(int reversals, int maxRev);

/// Sees every frame of a trial once it is on the screen, on the trial's
/// thread: trial index and the frame's record.
using FrameObserver = std::function<void(int trial, const FrameRecord& frame)>;

/// Installs the observer (empty: none); returns the previous one. For the
/// timing check, whose scripted subject acts on what the screen shows.
FrameObserver SetFrameObserver(FrameObserver observer);

/// A memorisation time in milliseconds for the trials that follow, in place
/// of memtime's whole seconds; negative: memtime again. For the timing check.
void SetMemorisationMsOverride(int64_t ms);
