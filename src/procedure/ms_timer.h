// The millisecond clock of the trial run: a tick thread of our own, woken on
// absolute 1 ms deadlines of the monotonic clock, advances msTicks while a
// trial is in its response phase.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "timing/timer_clock.h"

/// Milliseconds counted while the timer runs. The tick thread only adds to it;
/// the trial run reads it and sets it to 0. Not reset by start or stop.
extern std::atomic<int32_t> msTicks;

/// A function the tick thread calls with the counter's new value.
using TickHook = void (*)(int32_t);

/// Called once per counted millisecond, with the value the counter reached by
/// that millisecond; none when null.
extern std::atomic<TickHook> tickHook;

/// The hook the trial run installs: does nothing.
void TrialTickHook(int32_t ticks);

/// What the platform offers for a 1 ms tick.
struct TimerCaps {
  bool available = false;        ///< the monotonic clock could be queried
  int64_t resolutionNs = 0;      ///< clock_getres of CLOCK_MONOTONIC
  int64_t medianLatenessNs = 0;  ///< median lateness of 1 ms absolute-deadline sleeps
};

/// How late `samples` successive 1 ms absolute-deadline sleeps wake, in ns,
/// on a thread set up like the tick thread; `*realTime` (may be null) tells
/// whether that thread got real-time priority. Empty when no thread could run.
std::vector<int64_t> SampleTickLateness(int samples, bool* realTime);

/// Measures the monotonic clock's resolution and the tick thread's wake-up
/// lateness (about 20 ms of sleeps on a thread set up like the tick thread).
TimerCaps MeasureTimerCaps();

/// Checks that a 1 ms tick is possible; tells the experimenter in a message
/// box when it is not. Returns 1 when it is, else 0.
int MsTimerCheck();

/// How many times the start-up check measures before it gives up.
constexpr int kTimerCheckAttempts = 5;

/// MsTimerCheck on what `measure` reports: late wake-ups are measured again,
/// up to kTimerCheckAttempts times with short pauses (a machine busy for a
/// moment at start-up is no slow machine), before the message says what to do.
int MsTimerCheck(const std::function<TimerCaps()>& measure);

/// The same check on given capabilities. On success the counter is set to 0
/// and the hook cleared.
int MsTimerCheck(const TimerCaps& caps);

/// Installs TrialTickHook and, when no tick thread runs, starts one.
void MsTimerStart();

/// Stops and joins the tick thread if one runs; always clears the hook.
void MsTimerStop();

/// True while a tick thread runs. False after MsTimerStart only when the
/// thread could not be created.
bool MsTimerRunning();

/// Identifier of the running tick thread; 0 when none runs. Every start of a
/// thread gets a new one.
uint32_t MsTimerId();

/// Whole milliseconds from `*lastNs` to `nowNs` (negative spans count 0);
/// moves `*lastNs` forward by exactly that many, so that the fraction left
/// over counts towards the next call and no time is lost or counted twice.
int32_t TakeWholeMs(int64_t* lastNs, int64_t nowNs);

/// Restarts the count at `zeroNs`, a moment of MsTimerNowNs (usually just
/// past): msTicks becomes the whole milliseconds since then, and the tick
/// source counts on from there, so no millisecond from before the restart is
/// ever added after it, however late the tick thread wakes.
void MsTimerRestartAt(int64_t zeroNs);

/// For tests that drive time themselves: the timer starts and stops as usual
/// but no thread counts; MsTimerAdvanceManualClock moves the clock and
/// counts the milliseconds that pass while the timer runs.
void MsTimerUseManualTicks(bool manual);

/// Advances the manual clock by `ns` and, unless `count` is false (a tick
/// source that wakes late), counts what passed; nothing outside manual mode.
void MsTimerAdvanceManualClock(int64_t ns, bool count = true);

/// For tests: every start fails as if no thread could be created.
void MsTimerFailStartsForTesting(bool fail);

/// The millisecond timer as a trial counts on it.
class TrialClock {
 public:
  virtual ~TrialClock() = default;
  /// Starts the count; false when no tick source runs.
  virtual bool Start() = 0;
  /// Stops the count.
  virtual void Stop() = 0;
  /// The count restarts at `zeroNs`, a moment of NowNs.
  virtual void RestartAt(int64_t zeroNs) = 0;
  /// Milliseconds counted since the last restart.
  virtual int32_t Ticks() const = 0;
  /// The clock that press stamps and frame onsets are read on.
  virtual int64_t NowNs() const = 0;
};

/// The program's timer: MsTimerStart and MsTimerRunning, MsTimerStop,
/// MsTimerRestartAt, msTicks and MsTimerNowNs.
TrialClock& MsTimerClock();
