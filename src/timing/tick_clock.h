// The platform's side of the millisecond timer: a monotonic clock in
// nanoseconds, absolute-deadline sleeps on it, and the set-up of a thread
// that must wake on time. The POSIX build is tick_clock_posix.cpp.
#pragma once

#include <cstdint>

namespace tick_clock {

/// Nanoseconds of the monotonic clock (CLOCK_MONOTONIC on POSIX): the
/// timeline of every time the program measures.
int64_t NowNs();

/// Sleeps the calling thread until the monotonic clock reaches `deadlineNs`.
void SleepUntilNs(int64_t deadlineNs);

/// The clock's resolution in nanoseconds; false when it cannot be queried.
bool ResolutionNs(int64_t* ns);

/// Asks for the scheduling that a thread whose wake-ups are measurements needs
/// (the 1 ms tick, the onset probe's polls): real-time priority, no timer
/// slack. True when real-time priority was granted; a refusal only costs
/// accuracy.
bool SetUpTimingThread();

}  // namespace tick_clock
