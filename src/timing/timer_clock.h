// The clock the millisecond timer counts on: the monotonic clock, or, for
// tests that drive time themselves, a manual clock that moves only when told.
#pragma once

#include <cstdint>

/// Nanoseconds of the clock the counter follows: the monotonic clock
/// (tick_clock::NowNs), or the manual clock of MsTimerUseManualTicks.
int64_t MsTimerNowNs();

namespace timer_clock {

/// True while MsTimerNowNs reads the manual clock.
bool Manual();

/// Switches MsTimerNowNs to the manual clock (true) or the monotonic clock.
/// Process-wide on purpose: the display's onsets, the touch window's stamps
/// and the tick thread must all read the one clock the test drives.
void SetManual(bool manual);

/// Moves the manual clock forward by `ns`; returns its new time.
int64_t AdvanceManualNs(int64_t ns);

}  // namespace timer_clock
