// The names a session record spells its enumerations with. The frame kinds,
// onset sources and judgements are the timing vocabulary's own names; the
// tables here only list them in the order of their values, for the reader.
#pragma once

#include "timing/trial_timing.h"
#include "records/session_record.h"

namespace results {

/// The names of an enumeration's values 0 to count - 1.
struct NameTable {
  const char* const* names = nullptr;
  int count = 0;
};

/// "stamp", "sample".
const char* TouchTimeSourceName(TouchTimeSource source);

/// FrameKindName of every frame kind.
NameTable FrameKindNames();
/// OnsetSourceName of every onset source.
NameTable OnsetSourceNames();
/// TouchJudgementName of every judgement.
NameTable TouchJudgementNames();
/// TouchTimeSourceName of every touch time source.
NameTable TouchTimeSourceNames();
/// StimulusUseName of every use.
NameTable StimulusUseNames();
/// SessionOutcomeName of every outcome.
NameTable SessionOutcomeNames();
/// AbortHowName of every way a run stops.
NameTable AbortHowNames();
/// TrialPhaseName of every phase.
NameTable TrialPhaseNames();

}  // namespace results
