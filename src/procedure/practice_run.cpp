#include "procedure/practice_run.h"

#include <QCoreApplication>
#include <algorithm>

#include "display/layout.h"
#include "display/surfaces.h"
#include "procedure/abort_point.h"
#include "procedure/trial_run.h"
#include "ui/services.h"

void ResetPractice(TestState& state) {
  for (int k = 0; k < kMaxTrials; ++k) state.trials[k] = TrialRecord{k + 1, 0, 0, 0, 0, 0, 0};
  state.trials[0].NItems = kPracticeFewest;
  state.direction = +1;
  state.reversals = 0;
  state.trialsRun = 0;
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
  for (int i = 0; i < kPracticeTrials; ++i) {
    context.timing = &timings[static_cast<size_t>(i)];
    const bool laidOut = LayOutPatches(context.state->trials[i].NItems) != 0;
    const int result = laidOut ? RunTrial(context, i) : kTrialFailed;
    if (!laidOut) NoteAbort(AbortHow::kImagesFailed, i, TrialPhase::kBetweenTrials);
    ReleasePatchSurfaces();
    if (result == kTrialFailed) {
      const char* text =
          laidOut ? QT_TRANSLATE_NOOP("Practice",
                                      "The practice was stopped: the millisecond timer could not "
                                      "be started, so no reaction time could be measured.")
                  : QT_TRANSLATE_NOOP("Practice",
                                      "The practice was stopped: the images of the trial could "
                                      "not be made (out of memory).");
      ui::AppMessageBox(QCoreApplication::translate("Practice", text).toStdString(),
                        ui::kMbOk | ui::kMbIconHand);
      return 0;
    }
    if (result == 0) return 0;
    if (AdvancePractice(*context.state, i)) return 1;
  }
  return 1;
}
