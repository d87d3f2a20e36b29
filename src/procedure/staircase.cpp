#include "procedure/staircase.h"

#include "settings/test_settings.h"

TestState testState{};

void ResetTest() {
  ResetTest(testState);
}

void ResetTest(TestState& state) {
  for (int k = 0; k < kMaxTrials; ++k) state.trials[k] = TrialRecord{k + 1, 0, 0, 0, 0, 0, 0};
  state.trials[0].NItems = kFirstTrialPatches;
  state.direction = +1;
  state.reversals = 0;
  state.trialsRun = 0;
}

int AdvanceStaircase(int i) {
  return AdvanceStaircase(testState, i, testSettings.max_rev);
}

int AdvanceStaircase(TestState& state, int i, int maxRev) {
  state.trialsRun = i + 1;
  if (i + 1 == kMaxTrials) return 1;

  TrialRecord& cur = state.trials[i];
  TrialRecord& next = state.trials[i + 1];
  const bool reversal = (state.direction > 0) == (cur.Error != 0);
  if (reversal) {
    state.reversals += 1;
    cur.Rev = state.reversals;
  }
  state.direction = cur.Error ? -1 : +1;
  next.NItems = cur.NItems + state.direction;
  // A trial cannot hold more than 20 patches: at the ceiling a correct trial
  // repeats 20, and going up that is no reversal.
  if (next.NItems > kMaxPatches) next.NItems = kMaxPatches;

  return state.reversals == maxRev ? 1 : 0;
}
