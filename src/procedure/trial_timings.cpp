#include "procedure/trial_timings.h"

#include "procedure/staircase.h"

std::vector<TrialTiming> trialTimings(kMaxTrials);

void ResetTrialTimings() {
  trialTimings.assign(kMaxTrials, TrialTiming{});
}
