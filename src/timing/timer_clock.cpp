#include "timing/timer_clock.h"

#include "timing/tick_clock.h"

namespace {

bool manualClock = false;
// Starts well past 0, so that no time it gives can pass for "not set".
int64_t manualNowNs = 1000000000000;

}  // namespace

int64_t MsTimerNowNs() {
  return manualClock ? manualNowNs : tick_clock::NowNs();
}

namespace timer_clock {

bool Manual() {
  return manualClock;
}

void SetManual(bool manual) {
  manualClock = manual;
}

int64_t AdvanceManualNs(int64_t ns) {
  manualNowNs += ns;
  return manualNowNs;
}

}  // namespace timer_clock
