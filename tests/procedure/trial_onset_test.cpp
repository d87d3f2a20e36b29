// Presses that came down before the memorisation display was on the screen:
// by mouse or touch, lifted at once or held, on their way while the frame was
// handed over or taken from the queue after it: kept, never judged. And the
// test window asked to close, which ends the trial as Escape does.
#include <QtTest>
#include <vector>

#include "display/layout.h"
#include "display/surfaces.h"
#include "procedure/ms_timer.h"
#include "procedure/staircase.h"
#include "procedure/touch_list.h"
#include "procedure/trial_run.h"
#include "settings/test_settings.h"
#include "support/fake_ui.h"

namespace {

constexpr int64_t kMs = 1000000;
// A frame is handed over in 7 ms and on the screen 3.3 ms after it was asked for.
constexpr int64_t kHandOverNs = 7 * kMs, kOnsetAfterNs = 3300000;

std::function<void()> onPresent;  // a person acting while a frame is handed over

class OnsetPresenter : public display::Presenter {
 public:
  void BindWindow(ui::WindowHandle) override {}
  void WaitVerticalBlank() override { MsTimerAdvanceManualClock(16 * kMs); }
  bool FillScreen(uint32_t) override { return true; }
  bool Present(const uint8_t*, int, int, int, const ui::Rect&) override {
    onset_ = FrameOnset{};
    onset_.requestNs = MsTimerNowNs();
    onset_.onsetNs = onset_.requestNs + kOnsetAfterNs;
    onset_.source = OnsetSource::kSimulated;
    MsTimerAdvanceManualClock(kHandOverNs);
    if (onPresent) onPresent();
    onset_.returnNs = MsTimerNowNs();
    return true;
  }
  FrameOnset LastOnset() const override { return onset_; }

 private:
  FrameOnset onset_;
};

enum class Way { kMouse, kTouch };

// Puts a contact down on patch `k`'s centre, stamped `at`.
void Press(Way way, int k, int64_t at) {
  const int x = PatchLayout[k].x + 60, y = PatchLayout[k].y + 60;
  const InputTime time{at, TouchTimeSource::kStamp};
  if (way == Way::kMouse) {
    touchWnd.OnLButtonDown(x, y, time);
  } else {
    const TouchInput down{x * 100, y * 100, kTouchEventfDown, 1};
    touchWnd.OnTouch(&down, 1, time);
  }
}

void Lift(Way way) {
  if (way == Way::kMouse) {
    touchWnd.OnLButtonUp();
  } else {
    const TouchInput up{0, 0, kTouchEventfUp, 1};
    touchWnd.OnTouch(&up, 1, SampledNow());
  }
}

}  // namespace

Q_DECLARE_METATYPE(Way)

class TrialOnsetTest : public QObject {
  Q_OBJECT

  display::PresenterFactory previousFactory_;
  testing::FakeUi* fakeUi_ = nullptr;

 private slots:
  void init() {
    fakeUi_ = new testing::FakeUi;
    fakeUi_->screenWidth = 1024;  // the canvas maps 1:1 onto the screen
    fakeUi_->screenHeight = 768;
    previousFactory_ = display::SetPresenterFactory(
        [](ui::WindowHandle) { return std::make_unique<OnsetPresenter>(); });
    QVERIFY(InitDisplay(fakeUi_->MainWindow()));
    touchWnd.OnDestroy();
    touchWnd.DiscardPresses(0);
    testSettings = TestSettings{};
    testSettings.memtime = 1;
    MsTimerUseManualTicks(true);
    SRand(7);
  }

  void cleanup() {
    onPresent = nullptr;
    MsTimerStop();
    MsTimerUseManualTicks(false);
    ShutDownDisplay();
    display::SetPresenterFactory(previousFactory_);
    delete fakeUi_;
    fakeUi_ = nullptr;
  }

  void pressBeforeTheOnset_isKeptButNeverJudged_data() {
    QTest::addColumn<Way>("way");
    QTest::addColumn<bool>("held");    // still down at the onset, lifted at 500 ms
    QTest::addColumn<bool>("queued");  // reaches the window only after the onset
    QTest::newRow("mouse, lifted at once") << Way::kMouse << false << false;
    QTest::newRow("mouse, held through the onset") << Way::kMouse << true << false;
    QTest::newRow("touch, lifted at once") << Way::kTouch << false << false;
    QTest::newRow("touch, held through the onset") << Way::kTouch << true << false;
    QTest::newRow("mouse, queued") << Way::kMouse << false << true;
    QTest::newRow("touch, queued and held") << Way::kTouch << true << true;
  }

  // Pressed on patch 1 between the hand-over of the memorisation display and
  // its onset, as the second click of a double click on the dialog's OK
  // lands; then patches 1 and 2 touched after the memorisation time.
  void pressBeforeTheOnset_isKeptButNeverJudged() {
    QFETCH(Way, way);
    QFETCH(bool, held);
    QFETCH(bool, queued);
    ResetTest();
    testState.trials[0].NItems = 2;
    QVERIFY(LayOutTrial(0));
    int64_t pressedAt = 0, startNs = 0;
    std::vector<int64_t> later;
    onPresent = [&] {
      if (pressedAt != 0) return;
      pressedAt = MsTimerNowNs() - 5 * kMs;  // 2 ms after the request, before the onset
      startNs = MsTimerNowNs();
      if (queued) return;
      Press(way, 0, pressedAt);
      if (!held) Lift(way);
    };
    fakeUi_->onSleep = [](int ms) { MsTimerAdvanceManualClock(ms * kMs); };
    fakeUi_->onPump = [&] {
      if (startNs == 0) return;
      const int64_t sim = (MsTimerNowNs() - startNs) / kMs;
      if (queued) {  // taken with the first pump after the onset
        Press(way, 0, pressedAt);
        if (!held) Lift(way);
        queued = false;
      } else if (held) {
        if (sim >= 500) Lift(way), held = false;
      } else if (later.size() < 2 && sim >= 1100 + 100 * int64_t(later.size())) {
        later.push_back(MsTimerNowNs() - kMs);
        Press(way, int(later.size()) - 1, later.back());
        Lift(way);
      }
    };
    TrialTiming timing;
    TrialContext context = SettingsTrialContext(&timing);
    QCOMPARE(RunTrial(context, 0), 1);
    ReleasePatchSurfaces();

    QStringList touches, shown;
    for (const TouchRecord& t : timing.touches)
      touches << QString("%1 %2%3")
                     .arg(TouchJudgementName(t.judgement))
                     .arg(t.patch)
                     .arg(t.beforeOnset ? " before the onset" : "");
    QCOMPARE(touches, QStringList({"no-patch -1 before the onset", "correct 0", "correct 1"}));
    QCOMPARE(timing.touches[0].timeNs, pressedAt);
    QVERIFY(pressedAt < timing.rt1ZeroNs);
    // The numbered discs stayed up for their whole second, then were covered.
    for (const FrameRecord& f : timing.frames) shown << FrameKindName(f.kind);
    QCOMPARE(shown, QStringList({"memorisation", "cover", "answer", "answer", "completion"}));
    const TrialRecord& r = testState.trials[0];
    QCOMPARE(r.Error, 0);
    QCOMPARE(r.RT1, int32_t((later[0] - timing.rt1ZeroNs + kMs - 1) / kMs));
    QVERIFY(r.RT1 >= 1000);
  }

  void closeAsked_endsTheTrialAsEscapeDoes() {
    ResetTest();
    testState.trials[0].NItems = 3;
    QVERIFY(LayOutTrial(0));
    fakeUi_->onSleep = [](int ms) { MsTimerAdvanceManualClock(ms * kMs); };
    fakeUi_->onPump = [this] {
      if (fakeUi_->pumps == 2) touchWnd.OnClose();
      if (fakeUi_->pumps == 5000) fakeUi_->escapeStates = {int16_t(0x8001), 0};  // not seen
    };
    QCOMPARE(RunTrial(0), 0);
    ReleasePatchSurfaces();
    touchWnd.closeRequested = 0;
    // Ended at the next pass, not by the Escape that would have come much later.
    QVERIFY2(fakeUi_->pumps < 5000, qPrintable(QString::number(fakeUi_->pumps)));
  }
};

QTEST_APPLESS_MAIN(TrialOnsetTest)
#include "trial_onset_test.moc"
