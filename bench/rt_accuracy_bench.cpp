// Reaction-time accuracy: a simulated subject touches the patches of real
// trials (real tick thread, real 1 ms sleeps) at planned moments, and every
// recorded RT1 and RT2 is compared with the true interval on the monotonic
// clock. Runs once on an idle machine and once with every core kept busy by
// shell loops that the benchmark starts and stops itself.
//
//   rt_accuracy_bench [--trials N]

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "display/layout.h"
#include "display/surfaces.h"
#include "settings/test_settings.h"
#include "support/fake_ui.h"
#include "procedure/ms_timer.h"
#include "procedure/staircase.h"
#include "procedure/touch_list.h"
#include "procedure/trial_run.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Frames are shown at once; a refresh lasts 1000/60 ms.
class PacedPresenter : public display::Presenter {
 public:
  std::vector<Clock::time_point> presented;
  void BindWindow(ui::WindowHandle) override {}
  void WaitVerticalBlank() override {
    std::this_thread::sleep_for(std::chrono::microseconds(16667));
  }
  bool FillScreen(uint32_t) override { return true; }
  bool Present(const uint8_t*, int, int, int, const ui::Rect&) override {
    WaitVerticalBlank();
    presented.push_back(Clock::now());
    return true;
  }
};

class RealTimeUi : public testing::FakeUi {
 public:
  void Sleep(int ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

struct Errors {
  std::vector<double> rt1;
  std::vector<double> rt2;
  int touches = 0;
};

void RunTrials(int trials, PacedPresenter* presenter, RealTimeUi* ui, Errors* errors) {
  std::mt19937 random(12345);
  for (int t = 0; t < trials; ++t) {
    ResetTest();
    testState.trials[0].NItems = 3;
    LayOutTrial(0);
    presenter->presented.clear();

    // Planned moments, from the memorisation display's onset.
    std::vector<double> plan;
    double at = 250 + random() % 400;
    for (int k = 0; k < 3; ++k) {
      plan.push_back(at);
      at += 60 + 40 + random() % 200;  // 60 ms hold, then a pause
    }
    std::vector<Clock::time_point> pressed;
    size_t next = 0;
    bool down = false;
    Clock::time_point releaseAt;
    ui->onPump = [&] {
      const Clock::time_point now = Clock::now();
      if (down) {
        if (now >= releaseAt) {
          touchWnd.OnLButtonUp();
          down = false;
        }
        return;
      }
      if (next >= plan.size() || presenter->presented.empty()) return;
      const Clock::time_point onset = presenter->presented.front();
      if (MsSince(onset, now) < plan[next]) return;
      const PatchEntry& p = PatchLayout[next];
      pressed.push_back(now);
      touchWnd.OnLButtonDown(p.x + 60, p.y + 60);
      down = true;
      releaseAt = now + std::chrono::milliseconds(60);
      ++next;
    };
    RunTrial(0);
    ReleasePatchSurfaces();
    touchWnd.OnLButtonUp();

    // presented: memorisation display, cover (memtime 0), then one frame per
    // correct touch and the final one. The counter restarts when the answer
    // to patch 1 is on its way: the third frame.
    const TrialRecord& r = testState.trials[0];
    const Clock::time_point onset = presenter->presented[0];
    const Clock::time_point restart = presenter->presented[2];
    errors->rt1.push_back(r.RT1 - MsSince(onset, pressed[0]));
    errors->rt2.push_back(r.RT2 - MsSince(restart, pressed[2]));
    errors->touches += static_cast<int>(pressed.size());
  }
}

void Report(const char* label, const std::vector<double>& e) {
  double sum = 0;
  double worst = 0;
  for (double d : e) {
    sum += d;
    if (std::fabs(d) > std::fabs(worst)) worst = d;
  }
  std::printf("| %-22s | %5zu | %+8.3f | %+8.3f |\n", label, e.size(), sum / e.size(), worst);
}

std::vector<pid_t> StartLoad() {
  std::vector<pid_t> pids;
  const long cores = sysconf(_SC_NPROCESSORS_ONLN);
  for (long i = 0; i < cores; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/bin/sh", "sh", "-c", "while :; do :; done", static_cast<char*>(nullptr));
      _exit(127);
    }
    if (pid > 0) pids.push_back(pid);
  }
  return pids;
}

void StopLoad(std::vector<pid_t>* pids) {
  for (pid_t pid : *pids) kill(pid, SIGKILL);
  for (pid_t pid : *pids) waitpid(pid, nullptr, 0);
  pids->clear();
}

}  // namespace

int main(int argc, char** argv) {
  int trials = 70;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--trials") == 0) trials = std::atoi(argv[i + 1]);

  RealTimeUi ui;
  ui.screenWidth = 1024;
  ui.screenHeight = 768;
  PacedPresenter* presenter = nullptr;
  display::SetPresenterFactory([&presenter](ui::WindowHandle) {
    auto p = std::make_unique<PacedPresenter>();
    presenter = p.get();
    return std::unique_ptr<display::Presenter>(std::move(p));
  });
  if (!InitDisplay(ui.MainWindow())) return 1;
  testSettings.memtime = 0;
  SRand(static_cast<uint32_t>(time(nullptr)));

  std::printf("Recorded minus true interval, ms (%d trials of 3 touches per run)\n\n", trials);
  std::printf("| %-22s | %5s | %8s | %8s |\n", "run", "n", "mean", "worst");
  std::printf("|------------------------|-------|----------|----------|\n");
  for (int loaded = 0; loaded < 2; ++loaded) {
    std::vector<pid_t> load;
    if (loaded) load = StartLoad();
    Errors errors;
    RunTrials(trials, presenter, &ui, &errors);
    StopLoad(&load);
    Report(loaded ? "RT1, cores busy" : "RT1, idle", errors.rt1);
    Report(loaded ? "RT2, cores busy" : "RT2, idle", errors.rt2);
    std::printf("| %-22s | %5d |          |          |\n", "touches", errors.touches);
  }
  ShutDownDisplay();
  return 0;
}
