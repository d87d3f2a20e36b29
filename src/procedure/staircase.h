// The trial table of one test and the one-up, one-down staircase that sets
// the number of patches of every trial after the first.
#pragma once

#include <cstdint>

/// One row of the trial table; the field order is the column order of the
/// subject data file.
struct TrialRecord {
  int32_t Trial;     ///< 1-based trial number
  int32_t NItems;    ///< patches shown
  int32_t NCorrect;  ///< patches touched in order before the last wrong touch
  int32_t RT1;       ///< ms from memorisation onset to the touch on patch 1
  int32_t RT2;       ///< ms from patch 1 to completion, or to the last wrong touch
  int32_t Error;     ///< 1 if the trial had a wrong touch
  int32_t Rev;       ///< reversal number when this trial reversed, else 0
};
static_assert(sizeof(TrialRecord) == 7 * sizeof(int32_t), "seven 32-bit fields");

/// Rows in the trial table; a test never runs more trials.
constexpr int kMaxTrials = 200;
/// Most patches a trial can show (rows of the patch layout table).
constexpr int kMaxPatches = 20;
/// Patches in the first trial of every test.
constexpr int kFirstTrialPatches = 3;

/// The program-wide record of the current (or last) test.
struct TestState {
  TrialRecord trials[kMaxTrials];
  int32_t trialsRun;  ///< trials completed in the current test
  int32_t reversals;  ///< reversals so far
  int32_t direction;  ///< +1 going up, -1 going down
};

/// The one test record; all zero at program start.
extern TestState testState;

/// Clears the table for a new test: Trial = row + 1, everything else 0,
/// first trial 3 patches, going up.
void ResetTest();

/// The same on a table of the caller's own.
void ResetTest(TestState& state);

/// Advances the staircase after trial `i` ran to its end; returns 1 when the
/// test is complete, 0 when trial i + 1 follows. Reads max_rev from the settings.
int AdvanceStaircase(int i);

/// The same with an explicit end rule, for callers that do not use the settings.
int AdvanceStaircase(TestState& state, int i, int maxRev);
