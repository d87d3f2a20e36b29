// The trial loop's test bench: a presenter that records every frame, a scripted
// subject who touches patches on the fake UI's pump, and one trial run on them.
// Included by the trial loop's test alone; everything is local to it.
#pragma once

#include "procedure/trial_run.h"

#include <QtTest>
#include <cstring>
#include <functional>
#include <vector>

#include "display/bmp_builder.h"
#include "display/dib_image.h"
#include "display/layout.h"
#include "display/surfaces.h"
#include "procedure/ms_timer.h"
#include "procedure/staircase.h"
#include "procedure/touch_list.h"
#include "settings/test_settings.h"
#include "support/fake_ui.h"

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

constexpr int64_t kMs = 1000000;
// A frame takes 7 ms to hand over and shows 3.3 ms after it was asked for; a
// refresh is 16.7 ms. A zero anywhere but the onset shows in every reaction time.
constexpr int64_t kHandOverNs = 7 * kMs, kOnsetAfterNs = 3300000, kRefreshNs = 16700000;
const std::deque<int16_t> kEscapeDown{int16_t(0x8001), int16_t(0x8000), 0};

struct Frames {
  std::vector<std::string>
      shown;  // per Present, each patch: W numbered, K covered, R error, G final
  std::vector<int64_t> onsets;
  std::vector<int> trial;  // the trial each belongs to
  int waits = 0;
  std::function<void()> onWait, onPresent;  // a person acting during a refresh or a hand-over
} frames;

testing::FakeUi* fakeUi = nullptr;

class RecordingPresenter : public display::Presenter {
 public:
  void BindWindow(ui::WindowHandle) override {}
  void WaitVerticalBlank() override {
    ++frames.waits;
    MsTimerAdvanceManualClock(kRefreshNs);
    if (frames.onWait) frames.onWait();
  }
  bool FillScreen(uint32_t) override { return true; }
  bool Present(const uint8_t* pixels, int, int, int pitch, const ui::Rect&) override {
    std::string s;  // read at each patch's centre; the cover bitmap draws black without a DC
    for (int k = 0; k < testState.trials[testState.trialsRun].NItems; ++k) {
      const uint8_t* px = pixels + (PatchLayout[k].y + 60) * pitch + 4 * (PatchLayout[k].x + 60);
      const uint32_t bgr = px[0] << 16 | px[1] << 8 | px[2];
      s += bgr == 0xFFFFFF ? 'W' : bgr == 0 ? 'K' : bgr == 0xFF ? 'R' : bgr == 0xFF00 ? 'G' : '?';
    }
    frames.shown.push_back(s);
    onset_ = FrameOnset{};
    onset_.requestNs = MsTimerNowNs();
    onset_.onsetNs = onset_.requestNs + kOnsetAfterNs;
    onset_.source = OnsetSource::kSimulated;
    MsTimerAdvanceManualClock(kHandOverNs);
    if (frames.onPresent) frames.onPresent();
    onset_.returnNs = MsTimerNowNs();
    frames.onsets.push_back(onset_.onsetNs);
    frames.trial.push_back(testState.trialsRun);
    return true;
  }
  FrameOnset LastOnset() const override { return onset_; }

 private:
  FrameOnset onset_;
};

// Every millisecond begun counts.
int32_t Ms(int64_t from, int64_t to) {
  return static_cast<int32_t>((to - from + kMs - 1) / kMs);
}

// A press and its release at a patch's centre, stamped `at`.
void Tap(int patch, int64_t at) {
  touchWnd.OnLButtonDown(PatchLayout[patch].x + 60, PatchLayout[patch].y + 60,
                         InputTime{at, TouchTimeSource::kStamp});
  touchWnd.OnLButtonUp();
}

// A person at the screen, on the manual clock: touches patches in turn, each
// held a while. Presses arrive 3 ms after they happened, stamped with their own time.
struct Subject {
  struct Touch {
    int patch;  // -1: the empty place at (5, 700)
    int dx = 60, dy = 60;
  };
  std::vector<Touch> plan;
  size_t next = 0;
  int hold = 30;      // 0: lifted before the trial can look
  int escapeAt = -1;  // simulated ms
  int64_t startNs = 0, simTime = 0, nextAt = 50, releaseAt = -1;
  std::vector<int64_t> stamps;        // when each press happened
  std::vector<size_t> framesAtPress;  // frames presented before each press

  void Tick() { simTime = (MsTimerNowNs() - startNs) / kMs; }
  void Release() {
    touchWnd.OnLButtonUp();
    releaseAt = -1;
    nextAt = simTime + 40;
  }
  void OnPump() {
    Tick();
    if (escapeAt >= 0 && simTime >= escapeAt) {
      fakeUi->escapeStates = kEscapeDown;  // down until the trial's exit has seen it
      escapeAt = -1;
    }
    if (releaseAt >= 0 && simTime >= releaseAt) Release();
    if (releaseAt >= 0 || next >= plan.size() || simTime < nextAt) return;
    const Touch& t = plan[next++];
    const bool empty = t.patch < 0;
    stamps.push_back(MsTimerNowNs() - 3 * kMs);
    framesAtPress.push_back(frames.shown.size());
    touchWnd.OnLButtonDown(empty ? 5 : PatchLayout[t.patch].x + t.dx,
                           empty ? 700 : PatchLayout[t.patch].y + t.dy,
                           InputTime{stamps.back(), TouchTimeSource::kStamp});
    releaseAt = simTime + hold;
    if (hold == 0) Release();
  }
} subject;

std::vector<Subject::Touch> InOrder(const std::vector<int>& patches) {
  std::vector<Subject::Touch> v;
  for (int p : patches) v.push_back({p});
  return v;
}

void StartSubject() {
  subject.startNs = MsTimerNowNs();
  fakeUi->onPump = [] { subject.OnPump(); };
  fakeUi->onSleep = [](int ms) {
    MsTimerAdvanceManualClock(ms * kMs);
    subject.Tick();
  };
}

// The timings of the trial RunOneTrial ran last.
TrialTiming lastTiming;

// Lays out trial 0 with n patches and runs it.
int RunOneTrial(int n, const std::vector<int>& touches) {
  if (!touches.empty()) subject.plan = InOrder(touches);
  ResetTest();
  testState.trials[0].NItems = n;
  if (!LayOutTrial(0)) return -2;
  StartSubject();
  TrialContext context = SettingsTrialContext(&lastTiming);
  const int result = RunTrial(context, 0);
  ReleasePatchSurfaces();
  return result;
}

QStringList Judged(const TrialTiming& timing) {
  QStringList judged;
  for (const TouchRecord& t : timing.touches) judged << TouchJudgementName(t.judgement);
  return judged;
}

}  // namespace
