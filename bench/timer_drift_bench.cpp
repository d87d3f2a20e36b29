// Drift of the millisecond counter against the monotonic clock, beside a
// naive thread that sleeps 1 ms and adds 1 per wake-up.
//
//   timer_drift_bench [--load] [--seconds N]
//
// --load keeps every core busy with shell loops for the whole run.
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "procedure/ms_timer.h"

extern char** environ;

namespace {

std::vector<pid_t> loadPids;
std::atomic<int> tickPolicy{-1};

void StopLoad() {
  for (pid_t pid : loadPids) kill(pid, SIGKILL);
  for (pid_t pid : loadPids) waitpid(pid, nullptr, 0);
  loadPids.clear();
}

void OnSignal(int) {
  for (pid_t pid : loadPids) kill(pid, SIGKILL);
  _exit(130);
}

bool StartLoad(unsigned cores) {
  for (unsigned i = 0; i < cores; ++i) {
    char sh[] = "/bin/sh";
    char dashC[] = "-c";
    char loop[] = "while :; do :; done";
    char* argv[] = {sh, dashC, loop, nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return false;
    loadPids.push_back(pid);
  }
  return true;
}

// Runs on the tick thread: tells which scheduling it really got.
void PolicyHook(int32_t) {
  if (tickPolicy.load(std::memory_order_relaxed) < 0) tickPolicy.store(sched_getscheduler(0));
}

double DriftPercent(double counted, double elapsedMs) {
  return (counted - elapsedMs) / elapsedMs * 100.0;
}

}  // namespace

int main(int argc, char** argv) {
  bool load = false;
  int seconds = 60;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--load") == 0) {
      load = true;
    } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
      seconds = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: %s [--load] [--seconds N]\n", argv[0]);
      return 2;
    }
  }
  if (seconds <= 0) seconds = 1;

  const TimerCaps caps = MeasureTimerCaps();
  std::printf("clock_getres %lld ns, median wake-up lateness %lld ns\n",
              static_cast<long long>(caps.resolutionNs),
              static_cast<long long>(caps.medianLatenessNs));

  signal(SIGINT, OnSignal);
  signal(SIGTERM, OnSignal);
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  if (load && !StartLoad(cores)) {
    std::fprintf(stderr, "could not start the load\n");
    StopLoad();
    return 1;
  }

  std::atomic<bool> stop{false};
  std::atomic<int64_t> naive{0};
  MsTimerStart();
  if (!MsTimerRunning()) {
    std::fprintf(stderr, "tick thread could not start\n");
    StopLoad();
    return 1;
  }
  tickHook.store(&PolicyHook);
  std::thread naiveThread([&] {
    while (!stop.load()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      naive.fetch_add(1);
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // both running

  const auto start = std::chrono::steady_clock::now();
  msTicks.store(0);
  naive.store(0);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const int32_t ticks = msTicks.load();
  const int64_t naiveCount = naive.load();
  const auto end = std::chrono::steady_clock::now();

  stop.store(true);
  naiveThread.join();
  MsTimerStop();
  StopLoad();

  const double elapsedMs = std::chrono::duration<double, std::milli>(end - start).count();
  const int policy = tickPolicy.load();
  std::printf("%s, %d s (steady clock %.1f ms), tick thread %s\n", load ? "with load" : "idle",
              seconds, elapsedMs, policy == SCHED_FIFO ? "SCHED_FIFO" : "SCHED_OTHER");
  std::printf("msTicks     %10d  drift %+8.4f %%\n", ticks, DriftPercent(ticks, elapsedMs));
  std::printf("naive sleep %10lld  drift %+8.4f %%\n", static_cast<long long>(naiveCount),
              DriftPercent(static_cast<double>(naiveCount), elapsedMs));
  return 0;
}
