#include "procedure/ms_timer.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "timing/tick_clock.h"
#include "timing/timer_clock.h"
#include "ui/services.h"

std::atomic<int32_t> msTicks{0};
std::atomic<TickHook> tickHook{nullptr};

void TrialTickHook(int32_t) {}

namespace {

constexpr int64_t kNsPerMs = 1000000;
// Wake-ups sampled by the capability check: about 20 ms at start-up.
constexpr int kCapsSamples = 20;

using tick_clock::NowNs;
using tick_clock::SetUpTimingThread;
using tick_clock::SleepUntilNs;

int32_t AddTicks(int32_t value, int32_t n) {
  // The counter wraps like the atomic does instead of overflowing.
  return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(n));
}

// Where the counter stands on the clock: msTicks holds the whole
// milliseconds from `base` minus the fraction not yet counted. The tick thread
// and a restart both move it under the lock, so a restart is never followed
// by milliseconds that passed before it.
std::mutex baseMutex;
int64_t base = 0;

// Counts what passed since `base` by `nowNs`; returns the new count.
int32_t CountTo(int64_t nowNs, int32_t* added) {
  std::lock_guard<std::mutex> lock(baseMutex);
  const int32_t n = TakeWholeMs(&base, nowNs);
  *added = n;
  // An add, never a store, so a plain store of 0 by a user is not undone.
  return n == 0 ? msTicks.load() : AddTicks(msTicks.fetch_add(n), n);
}

void CallHook(int32_t reached, int32_t n) {
  for (int32_t k = n - 1; k >= 0; --k) {
    if (TickHook hook = tickHook.load()) hook(AddTicks(reached, -k));
  }
}

// Counts the whole milliseconds that really passed since the last count, so a
// late wake-up loses nothing and early ones count nothing: the counter follows
// the monotonic clock instead of the number of wake-ups.
void RunTicks(const std::atomic<bool>* stop) {
  SetUpTimingThread();
  while (!stop->load(std::memory_order_relaxed)) {
    int64_t deadline;
    {
      std::lock_guard<std::mutex> lock(baseMutex);
      deadline = base + kNsPerMs;
    }
    SleepUntilNs(deadline);
    int32_t n = 0;
    const int32_t reached = CountTo(NowNs(), &n);
    if (n > 0) CallHook(reached, n);
  }
}

class TickThread {
 public:
  TickThread() = default;
  TickThread(const TickThread&) = delete;
  TickThread& operator=(const TickThread&) = delete;
  // A thread still running at program end would terminate the program.
  ~TickThread() { Stop(); }

  void Start() {
    if (thread_.joinable() || id_ != 0) return;
    if (failStarts) return;
    {
      // Counting starts now, not when the new thread first runs: on a busy
      // machine that can be many milliseconds later, and they would be lost.
      std::lock_guard<std::mutex> lock(baseMutex);
      base = MsTimerNowNs();
    }
    if (!timer_clock::Manual()) {
      stop_.store(false);
      try {
        thread_ = std::thread(RunTicks, &stop_);
      } catch (const std::exception&) {
        return;  // stays stopped; MsTimerRunning tells the trial
      }
    }
    if (++lastId_ == 0) ++lastId_;
    id_ = lastId_;
  }

  void Stop() {
    if (thread_.joinable()) {
      stop_.store(true);
      thread_.join();
    }
    id_ = 0;
  }

  bool failStarts = false;

  uint32_t Id() const { return id_; }

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
  uint32_t id_ = 0;
  uint32_t lastId_ = 0;
};

TickThread tickThread;

void ShowTimerMessage(const char* text) {
  ui::AppMessageBox(text, ui::kMbOk | ui::kMbIconHand);
}

}  // namespace

int32_t TakeWholeMs(int64_t* lastNs, int64_t nowNs) {
  if (nowNs <= *lastNs) return 0;
  const int64_t whole =
      std::min<int64_t>((nowNs - *lastNs) / kNsPerMs, std::numeric_limits<int32_t>::max());
  *lastNs += whole * kNsPerMs;
  return static_cast<int32_t>(whole);
}

std::vector<int64_t> SampleTickLateness(int samples, bool* realTime) {
  // Measured on a thread set up like the tick thread, since its wake-ups are
  // what the counter depends on.
  std::vector<int64_t> lateness;
  lateness.reserve(static_cast<size_t>(samples > 0 ? samples : 0));
  bool granted = false;
  try {
    std::thread probe([&lateness, &granted, samples] {
      granted = SetUpTimingThread();
      int64_t deadline = NowNs();
      for (int i = 0; i < samples; ++i) {
        deadline += kNsPerMs;
        SleepUntilNs(deadline);
        const int64_t now = NowNs();
        lateness.push_back(now - deadline);
        deadline = now;
      }
    });
    probe.join();
  } catch (const std::exception&) {
    lateness.clear();  // no thread, no tick
  }
  if (realTime) *realTime = granted;
  return lateness;
}

TimerCaps MeasureTimerCaps() {
  TimerCaps caps;
  if (!tick_clock::ResolutionNs(&caps.resolutionNs)) return caps;
  std::vector<int64_t> lateness = SampleTickLateness(kCapsSamples, nullptr);
  if (lateness.empty()) return caps;  // not available
  std::nth_element(lateness.begin(), lateness.begin() + kCapsSamples / 2, lateness.end());
  caps.medianLatenessNs = lateness[kCapsSamples / 2];
  caps.available = true;
  return caps;
}

int MsTimerCheck() {
  return MsTimerCheck(MeasureTimerCaps);
}

int MsTimerCheck(const std::function<TimerCaps()>& measure) {
  constexpr int kPauseMs = 50;
  TimerCaps caps = measure();
  // Only late wake-ups can pass later; a coarse or missing clock stays so.
  for (int attempt = 1; attempt < kTimerCheckAttempts && caps.available &&
                        caps.resolutionNs <= kNsPerMs && caps.medianLatenessNs > kNsPerMs;
       ++attempt) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kPauseMs));
    caps = measure();
  }
  return MsTimerCheck(caps);
}

int MsTimerCheck(const TimerCaps& caps) {
  if (!caps.available) {
    ShowTimerMessage("System does not permit MsTimer.");
    return 0;
  }
  if (caps.resolutionNs > kNsPerMs || caps.medianLatenessNs > kNsPerMs) {
    ShowTimerMessage(
        "System does not have enough resolution for MsTimer.\n\n"
        "Reaction times measured now may be late by a millisecond or more. Close other "
        "programs and start Dorvane again; if this message comes back, run Help > Timing "
        "Check for what to change on this PC.");
    return 0;
  }
  // A running tick thread is left alone: forgetting it would leave it
  // counting with nobody able to stop it.
  msTicks.store(0);
  tickHook.store(nullptr);
  return 1;
}

void MsTimerStart() {
  tickHook.store(&TrialTickHook);
  tickThread.Start();
}

void MsTimerStop() {
  tickThread.Stop();
  tickHook.store(nullptr);
}

bool MsTimerRunning() {
  return tickThread.Id() != 0;
}

uint32_t MsTimerId() {
  return tickThread.Id();
}

void MsTimerRestartAt(int64_t zeroNs) {
  const int64_t now = MsTimerNowNs();
  std::lock_guard<std::mutex> lock(baseMutex);
  base = zeroNs;
  msTicks.store(TakeWholeMs(&base, now));
}

void MsTimerUseManualTicks(bool manual) {
  tickThread.Stop();
  timer_clock::SetManual(manual);
}

void MsTimerAdvanceManualClock(int64_t ns, bool count) {
  if (!timer_clock::Manual() || ns < 0) return;
  const int64_t now = timer_clock::AdvanceManualNs(ns);
  if (tickThread.Id() == 0 || !count) return;
  int32_t n = 0;
  const int32_t reached = CountTo(now, &n);
  if (n > 0) CallHook(reached, n);
}

void MsTimerFailStartsForTesting(bool fail) {
  tickThread.Stop();
  tickThread.failStarts = fail;
}

namespace {

class ProgramTimer final : public TrialClock {
 public:
  bool Start() override {
    MsTimerStart();
    return MsTimerRunning();
  }
  void Stop() override { MsTimerStop(); }
  void RestartAt(int64_t zeroNs) override { MsTimerRestartAt(zeroNs); }
  int32_t Ticks() const override { return msTicks.load(); }
  int64_t NowNs() const override { return MsTimerNowNs(); }
};

}  // namespace

TrialClock& MsTimerClock() {
  static ProgramTimer timer;
  return timer;
}
