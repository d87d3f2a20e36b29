#include "procedure/trial_run.h"

#include <QtTest>
#include <cmath>
#include <deque>
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

// What a patch shows on a presented frame, read at its centre: numbered
// ('W'), covered ('K': the cover bitmap cannot be drawn without a device
// context, so it stays black), error ('R') or final ('G').
char PatchState(const uint8_t* pixels, int pitch, const PatchEntry& p) {
  const uint8_t* px = pixels + (p.y + 60) * pitch + 4 * (p.x + 60);
  const uint32_t bgr = px[0] << 16 | px[1] << 8 | px[2];
  return bgr == 0xFFFFFF   ? 'W'
         : bgr == 0        ? 'K'
         : bgr == 0x0000FF ? 'R'
         : bgr == 0x00FF00 ? 'G'
                           : '?';
}

constexpr int64_t kMs = 1000000;
// A simulated display: a frame takes 7 ms to hand over and shows 3.3 ms after
// it was asked for; a refresh is 16.7 ms. Any zero that is not the onset, or
// is a refresh late, shows in every reaction time.
constexpr int64_t kHandOverNs = 7 * kMs;
constexpr int64_t kOnsetAfterNs = 3300000;
constexpr int64_t kRefreshNs = 16700000;

struct Frames {
  std::vector<std::string> shown;  // one string of patch states per Present
  std::vector<int64_t> onsets;     // when each showed
  std::vector<int> trial;          // the trial each belongs to
  int waits = 0;
  std::function<void()> onWait;     // a person acting while the trial waits for a refresh
  std::function<void()> onPresent;  // ... or while a frame is on its way
};

class RecordingPresenter : public display::Presenter {
 public:
  explicit RecordingPresenter(Frames* frames) : frames_(frames) {}
  void BindWindow(ui::WindowHandle) override {}
  void WaitVerticalBlank() override {
    ++frames_->waits;
    MsTimerAdvanceManualClock(kRefreshNs);
    if (frames_->onWait) frames_->onWait();
  }
  bool FillScreen(uint32_t) override { return true; }
  bool Present(const uint8_t* pixels, int, int, int pitch, const ui::Rect&) override {
    std::string s;
    const int n = testState.trials[testState.trialsRun].NItems;
    for (int k = 0; k < n; ++k) s += PatchState(pixels, pitch, PatchLayout[k]);
    frames_->shown.push_back(s);
    onset_ = FrameOnset{};
    onset_.requestNs = MsTimerNowNs();
    onset_.onsetNs = onset_.requestNs + kOnsetAfterNs;
    onset_.source = OnsetSource::kSimulated;
    MsTimerAdvanceManualClock(kHandOverNs);
    if (frames_->onPresent) frames_->onPresent();
    onset_.returnNs = MsTimerNowNs();
    frames_->onsets.push_back(onset_.onsetNs);
    frames_->trial.push_back(testState.trialsRun);
    return true;
  }
  FrameOnset LastOnset() const override { return onset_; }

 private:
  Frames* frames_;
  FrameOnset onset_;
};

// The milliseconds from one moment to a later one, every one begun counted.
int32_t Ms(int64_t from, int64_t to) {
  return static_cast<int32_t>((to - from + kMs - 1) / kMs);
}

// A person in front of the screen: touches patches (by index, or at an
// offset from a patch's corner) one after another, holding each touch for a
// while, on the timer's manual clock, which the trial's 1 ms sleeps and the
// simulated display advance. Its presses reach the window 3 ms after they
// happened, stamped with their own time, as a windowing system delivers them.
struct Subject {
  struct Touch {
    int patch;    // -1: the empty place at (5, 700)
    int dx = 60;  // offset from the patch's top-left corner
    int dy = 60;
  };
  static constexpr int64_t kDeliveryDelayNs = 3 * kMs;
  std::vector<Touch> plan;
  size_t next = 0;
  int startAfter = 50;
  int hold = 30;      // 0: pressed and lifted before the trial can look
  int escapeAt = -1;  // simulated time at which Escape is pressed
  int64_t startNs = 0;
  int64_t simTime = 0;
  int64_t nextAt = 50;
  int64_t releaseAt = -1;
  std::vector<int64_t> stamps;        // when each press happened
  std::vector<size_t> framesAtPress;  // frames presented before each press
  Frames* frames = nullptr;
  testing::FakeUi* ui = nullptr;

  void Tick() { simTime = (MsTimerNowNs() - startNs) / kMs; }

  void OnPump() {
    Tick();
    if (escapeAt >= 0 && simTime >= escapeAt) {
      // Down, and down at every poll until the trial's exit has seen it.
      ui->escapeStates = {int16_t(0x8001), int16_t(0x8000), 0};
      escapeAt = -1;
    }
    if (releaseAt >= 0) {
      if (simTime >= releaseAt) {
        touchWnd.OnLButtonUp();
        releaseAt = -1;
        nextAt = simTime + 40;
      }
      return;
    }
    if (next < plan.size() && simTime >= nextAt) {
      const Touch& t = plan[next++];
      int x = 5;
      int y = 700;
      if (t.patch >= 0) {
        x = PatchLayout[t.patch].x + t.dx;
        y = PatchLayout[t.patch].y + t.dy;
      }
      const int64_t stamp = MsTimerNowNs() - kDeliveryDelayNs;
      stamps.push_back(stamp);
      framesAtPress.push_back(frames->shown.size());
      touchWnd.OnLButtonDown(x, y, InputTime{stamp, TouchTimeSource::kStamp});
      if (hold == 0) {
        touchWnd.OnLButtonUp();
        nextAt = simTime + 40;
      } else {
        releaseAt = simTime + hold;
      }
    }
  }
  void OnSleep(int ms) {
    MsTimerAdvanceManualClock(ms * kMs);
    Tick();
  }
};

std::vector<Subject::Touch> InOrder(const std::vector<int>& patches) {
  std::vector<Subject::Touch> v;
  for (int p : patches) v.push_back({p});
  return v;
}

}  // namespace

class TrialRunTest : public QObject {
  Q_OBJECT

  testing::FakeUi* ui_ = nullptr;
  Frames frames_;
  Subject subject_;
  display::PresenterFactory previousFactory_;

  void StartSubject() {
    subject_.ui = ui_;
    subject_.frames = &frames_;
    subject_.startNs = MsTimerNowNs();
    subject_.nextAt = subject_.startAfter;
    ui_->onPump = [this] { subject_.OnPump(); };
    ui_->onSleep = [this](int ms) { subject_.OnSleep(ms); };
  }

  // Lays out trial 0 with n patches and runs it.
  int RunOneTrial(int n) {
    ResetTest();
    testState.trials[0].NItems = n;
    if (!LayOutTrial(0)) return -2;
    StartSubject();
    const int result = RunTrial(0);
    ReleasePatchSurfaces();
    return result;
  }

 private slots:
  void init() {
    ui_ = new testing::FakeUi;
    ui_->screenWidth = 1024;  // the canvas maps 1:1 onto the screen
    ui_->screenHeight = 768;
    frames_ = Frames{};
    subject_ = Subject{};
    previousFactory_ = display::SetPresenterFactory([this](ui::WindowHandle) {
      return std::unique_ptr<display::Presenter>(new RecordingPresenter(&frames_));
    });
    QVERIFY(InitDisplay(ui_->MainWindow()));
    testing::BmpLayout cover;
    cover.width = cover.height = 120;
    const std::vector<uint8_t> bmp = testing::MakeBmp(cover);
    patchBitmapLoaded = patchBitmap.LoadFromMemory(bmp.data(), bmp.size());
    QVERIFY(patchBitmapLoaded);
    touchWnd.OnLButtonUp();
    touchWnd.DiscardPresses(0);
    testSettings = TestSettings{};
    testSettings.memtime = 1;
    MsTimerUseManualTicks(true);
    msTicks.store(12345);
    SRand(7);
  }

  void cleanup() {
    MsTimerStop();
    MsTimerUseManualTicks(false);
    ShutDownDisplay();
    display::SetPresenterFactory(previousFactory_);
    delete ui_;
    ui_ = nullptr;
  }

  void wrongTouches_data() {
    QTest::addColumn<std::vector<int>>("touches");
    QTest::addColumn<int>("nCorrect");
    QTest::addColumn<int>("lastWrong");  // index into touches, -1: none
    QTest::addColumn<int>("wrongs");     // error sounds

    QTest::newRow("in order") << std::vector<int>{0, 1, 2, 3} << 4 << -1 << 0;
    QTest::newRow("1,3,2,3,4") << std::vector<int>{0, 2, 1, 2, 3} << 1 << 1 << 1;
    QTest::newRow("1,3,2,4,3,4") << std::vector<int>{0, 2, 1, 3, 2, 3} << 2 << 3 << 2;
    QTest::newRow("wrong before patch 1") << std::vector<int>{3, 0, 1, 2, 3} << 0 << 0 << 1;
    QTest::newRow("found patch again does nothing")
        << std::vector<int>{0, 0, 1, 2, 3} << 4 << -1 << 0;
  }

  void wrongTouches() {
    QFETCH(std::vector<int>, touches);
    QFETCH(int, nCorrect);
    QFETCH(int, lastWrong);
    QFETCH(int, wrongs);

    subject_.plan = InOrder(touches);
    QCOMPARE(RunOneTrial(4), 1);
    const TrialRecord& r = testState.trials[0];
    const std::vector<int64_t>& t = subject_.stamps;
    QCOMPARE(r.NCorrect, nCorrect);
    QCOMPARE(r.Error, lastWrong >= 0 ? 1 : 0);
    // RT1 runs from the memorisation display's onset to the press's own
    // stamp; RT2 from the onset of the answer to patch 1 (or, for a wrong
    // touch before it, from the memorisation onset).
    const size_t first = std::find(touches.begin(), touches.end(), 0) - touches.begin();
    const int64_t memorisation = frames_.onsets[0];
    const int64_t answer = frames_.onsets[subject_.framesAtPress[first]];
    QCOMPARE(r.RT1, Ms(memorisation, t[first]));
    if (lastWrong >= 0) {
      QCOMPARE(r.RT2, Ms(size_t(lastWrong) < first ? memorisation : answer, t[lastWrong]));
    } else {
      QCOMPARE(r.RT2, Ms(answer, t.back()));
    }
    const auto played = [this](const char* sound) {
      return static_cast<int>(std::count(ui_->sounds.begin(), ui_->sounds.end(), sound));
    };
    QCOMPARE(played("stim\\click.wav"), 4);
    QCOMPARE(played("stim\\error.wav"), wrongs);
    QCOMPARE(frames_.shown.back(), std::string("GGGG"));
  }

  void display_data() {
    QTest::addColumn<int>("memtime");
    QTest::addColumn<std::vector<int>>("touches");
    QTest::addColumn<QStringList>("expected");  // frames after the memorisation display

    QTest::newRow("patch 1 before time is up")
        << 1 << std::vector<int>{0, 1, 2} << QStringList{"WKK", "WWK", "WWW", "GGG"};
    QTest::newRow("wrong patch before time is up")
        << 1 << std::vector<int>{1, 0, 1, 2}
        << QStringList{"KRK", "KKK", "WKK", "WWK", "WWW", "GGG"};
    QTest::newRow("memtime 0 covers at once")
        << 0 << std::vector<int>{0, 1, 2} << QStringList{"KKK", "WKK", "WWK", "WWW", "GGG"};
    QTest::newRow("empty place changes nothing")
        << 0 << std::vector<int>{-1, 0, 1, 2} << QStringList{"KKK", "WKK", "WWK", "WWW", "GGG"};
  }

  void display() {
    QFETCH(int, memtime);
    QFETCH(std::vector<int>, touches);
    QFETCH(QStringList, expected);

    testSettings.memtime = memtime;
    subject_.plan = InOrder(touches);
    QCOMPARE(RunOneTrial(3), 1);
    QStringList shown;
    for (size_t i = 1; i < frames_.shown.size(); ++i)
      shown << QString::fromStdString(frames_.shown[i]);
    QCOMPARE(frames_.shown.front(), std::string("WWW"));
    QCOMPARE(shown, expected);
  }

  void errorDisplay_lastsThirtyRefreshes() {
    testSettings.memtime = 0;
    subject_.plan = InOrder({1, 0, 1});
    QCOMPARE(RunOneTrial(2), 1);
    // One wait before the first frame of the trial, one per correct touch,
    // thirty for the error display.
    QCOMPARE(frames_.waits, 1 + 2 + 30);
  }

  void hitBox_data() {
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::addColumn<bool>("hit");
    QTest::newRow("left edge") << 0 << 60 << false;
    QTest::newRow("top edge") << 60 << 0 << false;
    QTest::newRow("right edge") << 120 << 60 << false;
    QTest::newRow("bottom edge") << 60 << 120 << false;
    QTest::newRow("top-left corner outside the disc") << 1 << 1 << true;
    QTest::newRow("bottom-right corner outside the disc") << 119 << 119 << true;
  }

  void hitBox() {
    QFETCH(int, dx);
    QFETCH(int, dy);
    QFETCH(bool, hit);
    testSettings.memtime = 0;
    subject_.plan = {{0, dx, dy}};
    subject_.escapeAt = 500;  // ends the trial when the touch was no hit
    QCOMPARE(RunOneTrial(1), hit ? 1 : 0);
  }

  void onePatchTrial_rt2IsZeroAndHoldsASecond() {
    testSettings.memtime = 0;
    subject_.plan = InOrder({0});
    subject_.hold = 5;
    QCOMPARE(RunOneTrial(1), 1);
    const TrialRecord& r = testState.trials[0];
    QCOMPARE(r.RT1, Ms(frames_.onsets[0], subject_.stamps[0]));
    QCOMPARE(r.RT2, 0);
    QCOMPARE(r.NCorrect, 1);
    QCOMPARE(r.Error, 0);
    // The green display is held a second from the touch.
    const int64_t held = MsTimerNowNs() - subject_.stamps[0];
    QVERIFY2(held >= 1000 * kMs && held < 1002 * kMs, qPrintable(QString::number(held)));
  }

  void escapeAndCursor_data() {
    QTest::addColumn<bool>("escapeHeld");     // still down from the previous trial
    QTest::addColumn<int>("escapeAt");        // -1: never pressed
    QTest::addColumn<bool>("fingerOnEmpty");  // a finger rests on no patch until 350
    QTest::addColumn<int>("hideMouse");
    QTest::addColumn<int>("result");
    QTest::newRow("held from before: waits for release") << true << -1 << false << 0 << 1;
    QTest::newRow("pressed: aborts") << false << 10 << false << 0 << 0;
    QTest::newRow("pressed while a finger is down") << false << 100 << true << 0 << 0;
    QTest::newRow("hidden cursor, completed") << false << -1 << false << 1 << 1;
    QTest::newRow("hidden cursor, aborted") << false << 10 << false << 1 << 0;
  }

  void escapeAndCursor() {
    QFETCH(bool, escapeHeld);
    QFETCH(int, escapeAt);
    QFETCH(bool, fingerOnEmpty);
    QFETCH(int, hideMouse);
    QFETCH(int, result);
    testSettings.memtime = 0;
    testSettings.hide_mouse = hideMouse;
    if (escapeHeld) ui_->escapeStates = {int16_t(0x8001), int16_t(0x8000), 0};
    subject_.escapeAt = escapeAt;
    subject_.plan = fingerOnEmpty ? InOrder({-1}) : escapeAt < 0 ? InOrder({0, 1}) : InOrder({});
    subject_.hold = 300;
    QCOMPARE(RunOneTrial(2), result);
    // Escape is not seen while a finger is down: the abort waits for the lift.
    if (fingerOnEmpty) QVERIFY(subject_.simTime >= subject_.startAfter + subject_.hold);
    QCOMPARE(ui_->cursorCalls, hideMouse ? 2 : 0);
    QCOMPARE(ui_->cursorCount, 0);
  }

  void pressLiftedBeforeTheTrialLooks_isJudgedAtItsOwnTime_data() {
    QTest::addColumn<bool>("duringErrorDisplay");
    QTest::newRow("between two passes") << false;
    QTest::newRow("during the error display") << true;
  }

  void pressLiftedBeforeTheTrialLooks_isJudgedAtItsOwnTime() {
    QFETCH(bool, duringErrorDisplay);
    testSettings.memtime = 0;
    subject_.hold = 0;
    subject_.escapeAt = 20000;  // ends a trial that would wait for ever
    // A wrong touch on patch 2, then patch 1 tapped and lifted while the
    // error display is still up (or later, between two passes), then 2.
    std::vector<int64_t> tapped;
    if (duringErrorDisplay) {
      subject_.plan = InOrder({1});
      frames_.onWait = [&] {
        if (frames_.waits != 10 + 3) return;  // the tenth refresh of the error display
        const int64_t at = MsTimerNowNs();
        tapped.push_back(at);
        touchWnd.OnLButtonDown(PatchLayout[0].x + 60, PatchLayout[0].y + 60,
                               InputTime{at, TouchTimeSource::kStamp});
        touchWnd.OnLButtonUp();
      };
      subject_.plan.push_back({1});
    } else {
      subject_.plan = InOrder({1, 0, 1});
    }
    QCOMPARE(RunOneTrial(2), 1);
    const TrialTiming& timing = trialTimings[0];
    QStringList judged;
    for (const TouchRecord& t : timing.touches) judged << TouchJudgementName(t.judgement);
    QCOMPARE(judged, QStringList({"wrong", "correct", "correct"}));
    const int64_t onPatch1 = duringErrorDisplay ? tapped.at(0) : subject_.stamps.at(1);
    QCOMPARE(timing.touches[1].timeNs, onPatch1);
    QCOMPARE(testState.trials[0].RT1, Ms(frames_.onsets[0], onPatch1));
  }

  void pressMadeBeforeTheDisplay_isNeverJudged() {
    testSettings.memtime = 0;
    ResetTest();
    testState.trials[0].NItems = 2;
    QVERIFY(LayOutTrial(0));
    // A tap left from before the trial, and one still on its way when the
    // memorisation display goes up, stamped before the input was discarded.
    touchWnd.OnLButtonDown(PatchLayout[0].x + 60, PatchLayout[0].y + 60);
    touchWnd.OnLButtonUp();
    const int64_t beforeDisplay = MsTimerNowNs();
    frames_.onPresent = [&] {
      if (frames_.shown.size() != 1) return;
      touchWnd.OnLButtonDown(PatchLayout[0].x + 60, PatchLayout[0].y + 60,
                             InputTime{beforeDisplay, TouchTimeSource::kStamp});
      touchWnd.OnLButtonUp();
    };
    subject_.plan = InOrder({0, 1});
    StartSubject();
    QCOMPARE(RunTrial(0), 1);
    ReleasePatchSurfaces();
    QCOMPARE(trialTimings[0].touches.size(), size_t(2));
    QCOMPARE(trialTimings[0].touches[0].timeNs, subject_.stamps.at(0));
  }

  void timingRecord_framesAndTouchesAsShownAndJudged() {
    testSettings.memtime = 1;
    subject_.plan = {{-1}, {0}, {0}, {2}, {1}, {2}};
    QCOMPARE(RunOneTrial(3), 1);
    const TrialTiming& timing = trialTimings[0];
    QStringList frames, touches;
    for (const FrameRecord& f : timing.frames)
      frames << QString("%1 %2").arg(FrameKindName(f.kind)).arg(f.patch);
    QCOMPARE(frames, QStringList({"memorisation 0", "answer 0", "error 2", "error-cover 2",
                                  "answer 1", "answer 2", "completion 0"}));
    for (size_t k = 0; k < timing.frames.size(); ++k)
      QCOMPARE(timing.frames[k].onset.onsetNs, frames_.onsets[k]);
    for (const TouchRecord& t : timing.touches)
      touches << QString("%1 %2 %3")
                     .arg(TouchJudgementName(t.judgement))
                     .arg(t.patch)
                     .arg(t.source == TouchTimeSource::kStamp ? "stamp" : "sample");
    QCOMPARE(touches, QStringList({"no-patch -1 stamp", "correct 0 stamp", "already-found 0 stamp",
                                   "wrong 2 stamp", "correct 1 stamp", "correct 2 stamp"}));
    QCOMPARE(timing.rt1ZeroNs, frames_.onsets[0]);
    QCOMPARE(timing.rt2ZeroNs, frames_.onsets[1]);
    for (size_t k = 0; k < 3; ++k) {
      const PatchEntry& p = PatchLayout[k];
      QCOMPARE(timing.cells[k], (p.y - 9) / 150 * 5 + (p.x - 137) / 150);
      QCOMPARE(timing.touches[k + 1].canvasX,
               k == 0 || k == 1 ? PatchLayout[0].x + 60 : PatchLayout[2].x + 60);
    }
  }

  void progressText_oneStarPerReversal() {
    QCOMPARE(ProgressText(0, 4), std::string(" (0/4)"));
    QCOMPARE(ProgressText(2, 8), std::string("** (2/8)"));
  }

  void cannotRun_stopsTheTestWithAMessage_data() {
    QTest::addColumn<bool>("noTimer");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no tick source") << true << "millisecond timer";
    QTest::newRow("no patch surfaces") << false << "images of the trial";
  }

  void cannotRun_stopsTheTestWithAMessage() {
    QFETCH(bool, noTimer);
    QFETCH(QString, reason);
    MsTimerUseManualTicks(false);
    MsTimerFailStartsForTesting(noTimer);
    // Surfaces left over fill the table, so the layout cannot make its own.
    while (!noTimer && CreatePatchSurface() >= 0) {
    }
    ResetTest();
    StartSubject();
    QCOMPARE(RunTest(), 0);
    MsTimerFailStartsForTesting(false);
    QCOMPARE(ui_->boxes.size(), size_t(1));
    QVERIFY(QString::fromStdString(ui_->boxes[0].text).contains(reason));
    QCOMPARE(testState.trialsRun, 0);
    QCOMPARE(displayState.SurfaceTable.size(), size_t(0));
  }

  void wholeTest_tableIsWhatTheSubjectDid_data() {
    QTest::addColumn<int>("abortIn");  // trial aborted with Escape, -1: none
    QTest::newRow("to the end") << -1;
    QTest::newRow("aborted in trial 4") << 3;
  }

  void wholeTest_tableIsWhatTheSubjectDid() {
    // The subject touches in order, except in trials 3 and 5 (1-based),
    // where the first touch goes to patch 2.
    QFETCH(int, abortIn);
    testSettings.memtime = 0;
    testSettings.max_rev = 3;
    ResetTest();
    std::vector<std::vector<int64_t>> pressStamps;
    std::vector<std::vector<size_t>> pressFrames;
    const std::vector<int> errorTrials{2, 4};
    const auto isError = [&](int i) {
      return std::count(errorTrials.begin(), errorTrials.end(), i) > 0;
    };
    int planned = -1;
    StartSubject();
    ui_->onPump = [&] {
      const int trial = testState.trialsRun;
      if (trial != planned) {
        planned = trial;
        std::vector<int> order;
        if (isError(trial)) order.push_back(1);
        for (int k = 0; k < testState.trials[trial].NItems; ++k) order.push_back(k);
        if (trial == abortIn) {
          order.clear();
          subject_.escapeAt = static_cast<int>(subject_.simTime) + 10;
        }
        pressStamps.push_back(subject_.stamps);
        pressFrames.push_back(subject_.framesAtPress);
        subject_.stamps.clear();
        subject_.framesAtPress.clear();
        subject_.plan = InOrder(order);
        subject_.next = 0;
        subject_.nextAt = subject_.simTime + 20;
      }
      subject_.OnPump();
    };
    QCOMPARE(RunTest(), abortIn < 0 ? 1 : 0);
    pressStamps.push_back(subject_.stamps);
    pressStamps.erase(pressStamps.begin());
    pressFrames.push_back(subject_.framesAtPress);
    pressFrames.erase(pressFrames.begin());

    // Outcomes correct, correct, error, correct, error: 3, 4, 5, 4, 5 patches,
    // reversals on trials 3, 4 and 5. An aborted trial advances nothing.
    const int run = abortIn < 0 ? 5 : abortIn;
    QCOMPARE(testState.trialsRun, run);
    const int nItems[] = {3, 4, 5, 4, 5};
    const int rev[] = {0, 0, 1, 2, 3};
    for (int i = 0; i < run; ++i) {
      const TrialRecord& r = testState.trials[i];
      const std::vector<int64_t>& t = pressStamps[i];
      const size_t memorisation =
          std::find(frames_.trial.begin(), frames_.trial.end(), i) - frames_.trial.begin();
      const size_t first = isError(i) ? 1 : 0;  // the press on patch 1
      const int64_t answer = frames_.onsets[pressFrames[i][first]];
      QCOMPARE(r.Trial, i + 1);
      QCOMPARE(r.NItems, nItems[i]);
      QCOMPARE(r.Error, isError(i) ? 1 : 0);
      QCOMPARE(r.NCorrect, isError(i) ? 0 : nItems[i]);
      QCOMPARE(r.RT1, Ms(frames_.onsets[memorisation], t[first]));
      QCOMPARE(r.RT2, isError(i) ? Ms(frames_.onsets[memorisation], t[0]) : Ms(answer, t.back()));
      QCOMPARE(r.Rev, rev[i]);
    }
    if (abortIn >= 0) QCOMPARE(testState.trials[abortIn].Rev, 0);
    QCOMPARE(displayState.SurfaceTable.size(), size_t(0));
  }
};

QTEST_APPLESS_MAIN(TrialRunTest)
#include "trial_run_test.moc"
