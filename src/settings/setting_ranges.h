// The ranges a test's timing settings must lie in. A memorisation time of 0
// or less shows the discs already covered, and a number of reversals below 1
// can never end a test before its 200th trial; such values are refused where
// they are typed, and one stored in "ORBEL.ini" must be corrected before a
// test starts.
#pragma once

#include <cstdint>
#include <string>

/// Memorisation time in seconds: from one second (the discs must be seen) to
/// ten minutes, far beyond any protocol yet short enough to keep a test bounded.
constexpr int32_t kMinMemtime = 1;
constexpr int32_t kMaxMemtime = 600;

/// Reversals that end a test: at least one (a test needs a reversal to have a
/// score), at most 50, a quarter of the 200 trials a test may run.
constexpr int32_t kMinMaxRev = 1;
constexpr int32_t kMaxMaxRev = 50;

/// The settings with a range.
enum class RangedSetting { kMemtime, kMaxRev };

/// True when `value` lies in the range of `setting`.
bool InRange(RangedSetting setting, int32_t value);

/// The warning that `value` lies outside the range of `setting`, naming
/// both; for a value inside it, empty.
std::string RangeMessage(RangedSetting setting, int32_t value);

/// Both ranges in a few words, for the dialogs: "1–600 sec., 1–50 reversals".
std::string RangesHint();
