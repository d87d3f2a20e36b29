#include "timing/trial_timing.h"

const char* OnsetSourceName(OnsetSource source) {
  switch (source) {
    case OnsetSource::kNone:
      return "none";
    case OnsetSource::kPresentEvent:
      return "present-event";
    case OnsetSource::kOmlSync:
      return "oml-sync";
    case OnsetSource::kWaylandFeedback:
      return "wayland-feedback";
    case OnsetSource::kReadback:
      return "readback";
    case OnsetSource::kSimulated:
      return "simulated";
  }
  return "none";
}

const char* FrameKindName(FrameKind kind) {
  switch (kind) {
    case FrameKind::kMemorisation:
      return "memorisation";
    case FrameKind::kCover:
      return "cover";
    case FrameKind::kAnswer:
      return "answer";
    case FrameKind::kError:
      return "error";
    case FrameKind::kErrorCover:
      return "error-cover";
    case FrameKind::kCompletion:
      return "completion";
  }
  return "memorisation";
}

const char* TouchJudgementName(TouchJudgement judgement) {
  switch (judgement) {
    case TouchJudgement::kCorrect:
      return "correct";
    case TouchJudgement::kWrong:
      return "wrong";
    case TouchJudgement::kNoPatch:
      return "no-patch";
    case TouchJudgement::kAlreadyFound:
      return "already-found";
  }
  return "no-patch";
}
