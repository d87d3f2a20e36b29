#include "records/record_names.h"

#include <array>

namespace results {

namespace {

// The enumerations' values run from 0 to their last one without gaps.
constexpr int kFrameKinds = static_cast<int>(FrameKind::kCompletion) + 1;
constexpr int kOnsetSources = static_cast<int>(OnsetSource::kSimulated) + 1;
constexpr int kJudgements = static_cast<int>(TouchJudgement::kAlreadyFound) + 1;
constexpr int kTimeSources = static_cast<int>(TouchTimeSource::kSample) + 1;
constexpr int kUses = static_cast<int>(StimulusUse::kMissing) + 1;
constexpr int kOutcomes = static_cast<int>(SessionOutcome::kPractice) + 1;
constexpr int kAbortHows = static_cast<int>(AbortHow::kImagesFailed) + 1;
constexpr int kPhases = static_cast<int>(TrialPhase::kAnswer) + 1;

template <typename E, int N>
NameTable TableOf(const char* (*name)(E)) {
  static const std::array<const char*, N> names = [name] {
    std::array<const char*, N> all{};
    for (int i = 0; i < N; ++i) all[static_cast<size_t>(i)] = name(static_cast<E>(i));
    return all;
  }();
  return NameTable{names.data(), N};
}

}  // namespace

const char* StimulusUseName(StimulusUse use) {
  switch (use) {
    case StimulusUse::kFile:
      return "file";
    case StimulusUse::kBuiltIn:
      return "built in";
    case StimulusUse::kMissing:
      return "missing";
  }
  return "missing";
}

const char* SessionOutcomeName(SessionOutcome outcome) {
  switch (outcome) {
    case SessionOutcome::kCompleted:
      return "completed";
    case SessionOutcome::kAborted:
      return "aborted";
    case SessionOutcome::kPractice:
      return "practice";
  }
  return "completed";
}

const char* TouchTimeSourceName(TouchTimeSource source) {
  return source == TouchTimeSource::kStamp ? "stamp" : "sample";
}

NameTable FrameKindNames() {
  return TableOf<FrameKind, kFrameKinds>(FrameKindName);
}

NameTable OnsetSourceNames() {
  return TableOf<OnsetSource, kOnsetSources>(OnsetSourceName);
}

NameTable TouchJudgementNames() {
  return TableOf<TouchJudgement, kJudgements>(TouchJudgementName);
}

NameTable TouchTimeSourceNames() {
  return TableOf<TouchTimeSource, kTimeSources>(TouchTimeSourceName);
}

NameTable StimulusUseNames() {
  return TableOf<StimulusUse, kUses>(StimulusUseName);
}

NameTable SessionOutcomeNames() {
  return TableOf<SessionOutcome, kOutcomes>(SessionOutcomeName);
}

NameTable AbortHowNames() {
  return TableOf<AbortHow, kAbortHows>(AbortHowName);
}

NameTable TrialPhaseNames() {
  return TableOf<TrialPhase, kPhases>(TrialPhaseName);
}

}  // namespace results
