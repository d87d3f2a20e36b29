#include "procedure/abort_point.h"

#include "procedure/touch_list.h"

AbortPoint abortPoint;

const char* AbortHowName(AbortHow how) {
  switch (how) {
    case AbortHow::kEscape:
      return "escape";
    case AbortHow::kWindowClosed:
      return "window-closed";
    case AbortHow::kAltF4:
      return "alt-f4";
    case AbortHow::kTimerFailed:
      return "timer-failed";
    case AbortHow::kImagesFailed:
      return "images-failed";
  }
  return "escape";
}

const char* TrialPhaseName(TrialPhase phase) {
  switch (phase) {
    case TrialPhase::kBetweenTrials:
      return "between-trials";
    case TrialPhase::kMemorisation:
      return "memorisation";
    case TrialPhase::kAnswer:
      return "answer";
  }
  return "between-trials";
}

void ResetAbortPoint() {
  abortPoint = AbortPoint{};
}

void NoteAbort(AbortHow how, int i, TrialPhase phase) {
  if (abortPoint.stopped) return;
  abortPoint = AbortPoint{true, how, i + 1, phase};
}

AbortHow CloseHow(const CTouchWnd& window) {
  return window.closedByAltF4 ? AbortHow::kAltF4 : AbortHow::kWindowClosed;
}
