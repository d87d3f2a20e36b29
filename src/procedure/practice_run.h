// The practice run: three trials of two or three patches on the test
// window, with the display, timing and touch rules of a test, so that a
// subject learns the task before a test counts.
#pragma once

#include <vector>

#include "procedure/staircase.h"
#include "timing/trial_timing.h"

/// Trials of a practice run.
constexpr int kPracticeTrials = 3;
/// Patches of the first practice trial; later ones stay within these two.
constexpr int kPracticeFewest = 2;
constexpr int kPracticeMost = 3;

/// Sets the table of `state` for a practice: every row cleared as ResetTest
/// clears it, the first trial kPracticeFewest patches.
void ResetPractice(TestState& state);

/// After practice trial `i` ran to its end: one patch more after a trial
/// without error, one fewer after one with an error, within kPracticeFewest
/// to kPracticeMost; no reversal is counted. 1 once kPracticeTrials have run.
int AdvancePractice(TestState& state, int i);

/// Runs the practice trials on testState from trial 0 on, trial i's timings
/// into row i of `timings`: 1 when all ran to their end, 0 when one was
/// aborted or could not run (the experimenter has then been told why, and
/// abortPoint says where).
int RunPractice(std::vector<TrialTiming>& timings);
