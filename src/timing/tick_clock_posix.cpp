#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

#include "timing/tick_clock.h"

namespace tick_clock {
namespace {
constexpr int64_t kNsPerS = 1000000000;
}  // namespace

int64_t NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * kNsPerS + ts.tv_nsec;
}

void SleepUntilNs(int64_t deadlineNs) {
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(deadlineNs / kNsPerS);
  ts.tv_nsec = static_cast<long>(deadlineNs % kNsPerS);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

bool ResolutionNs(int64_t* ns) {
  timespec res{};
  if (clock_getres(CLOCK_MONOTONIC, &res) != 0) return false;
  *ns = static_cast<int64_t>(res.tv_sec) * kNsPerS + res.tv_nsec;
  return true;
}

// The default timer slack (50 us) and ordinary scheduling both add lateness
// to every wake-up; ask for better and live with a refusal (no CAP_SYS_NICE
// or RLIMIT_RTPRIO is the usual case).
bool SetUpTimingThread() {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  return pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0;
}

}  // namespace tick_clock
