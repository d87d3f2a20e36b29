#include "procedure/practice_run.h"

#include <QCoreApplication>
#include <algorithm>

#include "procedure/trial_run.h"

void ResetPractice(TestState& state) {
  ResetTest(state);
  state.trials[0].NItems = kPracticeFewest;
}

int AdvancePractice(TestState& state, int i) {
  state.trialsRun = i + 1;
  if (i + 1 >= kPracticeTrials) return 1;
  const TrialRecord& cur = state.trials[i];
  state.direction = cur.Error ? -1 : +1;
  state.trials[i + 1].NItems =
      std::clamp(cur.NItems + state.direction, kPracticeFewest, kPracticeMost);
  return 0;
}

int RunPractice(std::vector<TrialTiming>& timings) {
  TrialContext context = SettingsTrialContext(nullptr);
  return RunTrials(context, timings, AdvancePractice, [](bool laidOut) {
    const char* text =
        laidOut ? QT_TRANSLATE_NOOP("Practice",
                                    "The practice was stopped: the millisecond timer could not "
                                    "be started, so no reaction time could be measured.")
                : QT_TRANSLATE_NOOP("Practice",
                                    "The practice was stopped: the images of the trial could "
                                    "not be made (out of memory).");
    return QCoreApplication::translate("Practice", text).toStdString();
  });
}
