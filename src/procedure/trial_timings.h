// The timing rows of the current test, one per row of the trial table.
#pragma once

#include <vector>

#include "timing/trial_timing.h"

/// One entry per row of testState.trials; RunTrial fills its own row.
extern std::vector<TrialTiming> trialTimings;

/// Clears every row of trialTimings (called with ResetTest).
void ResetTrialTimings();
