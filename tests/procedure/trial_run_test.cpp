#include "procedure/trial_run.h"

#include <QtTest>

#include "procedure/trial_run_bench.h"

class TrialRunTest : public QObject {
  Q_OBJECT

  display::PresenterFactory previousFactory_;

 private slots:
  void init() {
    fakeUi = new testing::FakeUi;
    fakeUi->screenWidth = 1024;  // the canvas maps 1:1 onto the screen
    fakeUi->screenHeight = 768;
    frames = Frames{};
    subject = Subject{};
    previousFactory_ = display::SetPresenterFactory(
        [](ui::WindowHandle) { return std::make_unique<RecordingPresenter>(); });
    QVERIFY(InitDisplay(fakeUi->MainWindow()));
    testing::BmpLayout cover;
    cover.width = cover.height = 120;
    const std::vector<uint8_t> bmp = testing::MakeBmp(cover);
    patchBitmapLoaded = patchBitmap.LoadFromMemory(bmp.data(), bmp.size());
    QVERIFY(patchBitmapLoaded);
    touchWnd.OnLButtonUp();
    touchWnd.DiscardPresses(0);
    testSettings = TestSettings{};
    testSettings.memtime = 0;
    MsTimerUseManualTicks(true);
    msTicks.store(12345);
    SRand(7);
  }

  void cleanup() {
    MsTimerStop();
    MsTimerUseManualTicks(false);
    ShutDownDisplay();
    display::SetPresenterFactory(previousFactory_);
    delete fakeUi;
    fakeUi = nullptr;
  }

  // RT1 runs from the memorisation onset to the press's own stamp; RT2 from
  // the answer to patch 1 (a wrong touch before it: from the memorisation onset).
  void wrongTouches_data() {
    QTest::addColumn<int>("n");
    QTest::addColumn<std::vector<int>>("touches");
    QTest::addColumn<int>("nCorrect");
    QTest::addColumn<int>("lastWrong");  // index into touches, -1: none
    QTest::addColumn<int>("wrongs");     // error sounds
    QTest::newRow("in order") << 4 << std::vector<int>{0, 1, 2, 3} << 4 << -1 << 0;
    QTest::newRow("1,3,2,3,4") << 4 << std::vector<int>{0, 2, 1, 2, 3} << 1 << 1 << 1;
    QTest::newRow("1,3,2,4,3,4") << 4 << std::vector<int>{0, 2, 1, 3, 2, 3} << 2 << 3 << 2;
    QTest::newRow("wrong before patch 1") << 4 << std::vector<int>{3, 0, 1, 2, 3} << 0 << 0 << 1;
    QTest::newRow("found patch again does nothing")
        << 4 << std::vector<int>{0, 0, 1, 2, 3} << 4 << -1 << 0;
    QTest::newRow("one patch: RT2 0") << 1 << std::vector<int>{0} << 1 << -1 << 0;
  }

  void wrongTouches() {
    QFETCH(int, n);
    QFETCH(std::vector<int>, touches);
    QFETCH(int, nCorrect);
    QFETCH(int, lastWrong);
    QFETCH(int, wrongs);
    testSettings.memtime = 1;
    QCOMPARE(RunOneTrial(n, touches), 1);
    const TrialRecord& r = testState.trials[0];
    const std::vector<int64_t>& t = subject.stamps;
    QCOMPARE(r.NCorrect, nCorrect);
    QCOMPARE(r.Error, lastWrong >= 0 ? 1 : 0);
    const size_t first = std::find(touches.begin(), touches.end(), 0) - touches.begin();
    const int64_t memorisation = frames.onsets[0];
    const int64_t answer = frames.onsets[subject.framesAtPress[first]];
    QCOMPARE(r.RT1, Ms(memorisation, t[first]));
    if (lastWrong >= 0) {
      QCOMPARE(r.RT2, Ms(size_t(lastWrong) < first ? memorisation : answer, t[lastWrong]));
    } else {
      QCOMPARE(r.RT2, n > 1 ? Ms(answer, t.back()) : 0);
    }
    const auto played = [](const char* sound) {
      return int(std::count(fakeUi->sounds.begin(), fakeUi->sounds.end(), sound));
    };
    QCOMPARE(played("stim\\click.wav"), n);
    QCOMPARE(played("stim\\error.wav"), wrongs);
    QCOMPARE(frames.shown.back(), std::string(n, 'G'));
    // The completion display is held a second from the completing touch.
    const int64_t held = MsTimerNowNs() - t.back();
    QVERIFY2(held >= 1000 * kMs && held < 1002 * kMs, qPrintable(QString::number(held)));
  }

  void display_data() {
    QTest::addColumn<int>("memtime");
    QTest::addColumn<std::vector<int>>("touches");
    QTest::addColumn<QStringList>("expected");  // frames after the memorisation display
    QTest::addColumn<int>("waits");  // 1 before the trial, 1 per correct touch, 30 per error
    QTest::newRow("patch 1 before time is up")
        << 1 << std::vector<int>{0, 1, 2} << QStringList{"WKK", "WWK", "WWW", "GGG"} << 4;
    QTest::newRow("wrong patch before time is up")
        << 1 << std::vector<int>{1, 0, 1, 2}
        << QStringList{"KRK", "KKK", "WKK", "WWK", "WWW", "GGG"} << 1 + 1 + 30 + 3;
    QTest::newRow("memtime 0 covers at once")
        << 0 << std::vector<int>{0, 1, 2} << QStringList{"KKK", "WKK", "WWK", "WWW", "GGG"} << 4;
    QTest::newRow("empty place changes nothing")
        << 0 << std::vector<int>{-1, 0, 1, 2} << QStringList{"KKK", "WKK", "WWK", "WWW", "GGG"}
        << 4;
    QTest::newRow("error when covered")
        << 0 << std::vector<int>{1, 0, 1} << QStringList{"KK", "KR", "KK", "WK", "WW", "GG"} << 33;
  }

  void display() {
    QFETCH(int, memtime);
    QFETCH(std::vector<int>, touches);
    QFETCH(QStringList, expected);
    QFETCH(int, waits);
    testSettings.memtime = memtime;
    QCOMPARE(RunOneTrial(int(expected[0].size()), touches), 1);
    QCOMPARE(frames.shown.front(), std::string(expected[0].size(), 'W'));
    QStringList shown;
    for (size_t i = 1; i < frames.shown.size(); ++i)
      shown << QString::fromStdString(frames.shown[i]);
    QCOMPARE(shown, expected);
    QCOMPARE(frames.waits, waits);
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
    subject.plan = {{0, dx, dy}};
    subject.escapeAt = 500;  // ends the trial when the touch was no hit
    QCOMPARE(RunOneTrial(1, {}), hit ? 1 : 0);
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
    testSettings.hide_mouse = hideMouse;
    if (escapeHeld) fakeUi->escapeStates = kEscapeDown;
    subject.escapeAt = escapeAt;
    subject.plan = fingerOnEmpty ? InOrder({-1}) : escapeAt < 0 ? InOrder({0, 1}) : InOrder({});
    subject.hold = 300;
    QCOMPARE(RunOneTrial(2, {}), result);
    // Escape is not seen while a finger is down: the abort waits for the lift.
    if (fingerOnEmpty) QVERIFY(subject.simTime >= 50 + subject.hold);
    QCOMPARE(fakeUi->cursorCalls, hideMouse ? 2 : 0);
    QCOMPARE(fakeUi->cursorCount, 0);
  }

  // A wrong touch on patch 2, then patch 1 tapped and lifted before the trial
  // looks (between two passes, or during the error display), then patch 2.
  void pressLiftedBeforeTheTrialLooks_isJudgedAtItsOwnTime_data() {
    QTest::addColumn<bool>("duringErrorDisplay");
    QTest::newRow("between two passes") << false;
    QTest::newRow("during the error display") << true;
  }

  void pressLiftedBeforeTheTrialLooks_isJudgedAtItsOwnTime() {
    QFETCH(bool, duringErrorDisplay);
    subject.hold = 0;
    subject.escapeAt = 20000;  // ends a trial that would wait for ever
    int64_t tapped = -1;
    if (duringErrorDisplay) {
      frames.onWait = [&] {
        if (frames.waits == 13) Tap(0, tapped = MsTimerNowNs());
      };
    }
    QCOMPARE(RunOneTrial(2, duringErrorDisplay ? std::vector{1, 1} : std::vector{1, 0, 1}), 1);
    QCOMPARE(Judged(lastTiming), QStringList({"wrong", "correct", "correct"}));
    const int64_t onPatch1 = duringErrorDisplay ? tapped : subject.stamps.at(1);
    QCOMPARE(lastTiming.touches[1].timeNs, onPatch1);
    QCOMPARE(testState.trials[0].RT1, Ms(frames.onsets[0], onPatch1));
  }

  // A tap left from before the trial, and one stamped before the input was
  // discarded but still on its way when the memorisation display goes up.
  void pressMadeBeforeTheDisplay_isNeverJudged() {
    int64_t before = 0;
    frames.onWait = [&] {
      if (frames.waits == 1) Tap(0, before = MsTimerNowNs() - kMs);
    };
    frames.onPresent = [&] {
      if (frames.shown.size() == 1) Tap(0, before);
    };
    QCOMPARE(RunOneTrial(2, {0, 1}), 1);
    QCOMPARE(Judged(lastTiming), QStringList({"correct", "correct"}));
    QCOMPARE(lastTiming.touches[0].timeNs, subject.stamps.at(0));
  }

  void timingRecord_framesAndTouchesAsShownAndJudged() {
    testSettings.memtime = 1;
    subject.plan = {{-1}, {0}, {0}, {2}, {1}, {2}};
    QCOMPARE(RunOneTrial(3, {}), 1);
    const TrialTiming& timing = lastTiming;
    QStringList shown, touches;
    for (const FrameRecord& f : timing.frames)
      shown << QString("%1 %2").arg(FrameKindName(f.kind)).arg(f.patch);
    QCOMPARE(shown, QStringList({"memorisation 0", "answer 0", "error 2", "error-cover 2",
                                 "answer 1", "answer 2", "completion 0"}));
    for (size_t k = 0; k < timing.frames.size(); ++k)
      QCOMPARE(timing.frames[k].onset.onsetNs, frames.onsets[k]);
    for (const TouchRecord& t : timing.touches)
      touches << QString("%1 %2 %3")
                     .arg(TouchJudgementName(t.judgement))
                     .arg(t.patch)
                     .arg(t.source == TouchTimeSource::kStamp ? "stamp" : "sample");
    QCOMPARE(touches, QStringList({"no-patch -1 stamp", "correct 0 stamp", "already-found 0 stamp",
                                   "wrong 2 stamp", "correct 1 stamp", "correct 2 stamp"}));
    QCOMPARE(timing.rt1ZeroNs, frames.onsets[0]);
    QCOMPARE(timing.rt2ZeroNs, frames.onsets[1]);
    for (size_t k = 0; k < 3; ++k) {
      const PatchEntry& p = PatchLayout[k];
      QCOMPARE(timing.cells[k], (p.y - 9) / 150 * 5 + (p.x - 137) / 150);
      QCOMPARE(timing.touches[k + 1].canvasX, PatchLayout[k == 2 ? 2 : 0].x + 60);
    }
  }

  // A trial on a context of its own obeys that context alone: its
  // memorisation time in ms covers the patches (memtime would wait a
  // minute), it hides the cursor though hide_mouse is 0, it writes its own
  // table and timing row, and every frame reaches its observer with the
  // trial's index; the experimenter's table is not touched.
  void ownContext_obeysItAndLeavesTheTestAlone() {
    ResetTest();
    testState.trials[0].NItems = 2;  // what the presenter reads
    testSettings.memtime = 60;
    const TestState before = testState;
    TestState state{};
    ResetTest(state);
    state.trials[5].NItems = 2;
    QVERIFY(LayOutPatches(2));
    TrialTiming timing;
    QStringList seen;
    TrialContext context;
    context.state = &state;
    context.timing = &timing;
    context.memorisationMs = 200;
    context.hideMouse = true;
    context.maxRev = 4;
    context.frameObserver = [&](int trial, const FrameRecord& f) {
      seen << QString("%1 %2").arg(trial).arg(FrameKindName(f.kind));
    };
    context.clock = &MsTimerClock();
    subject.plan = InOrder({0, 1});
    subject.nextAt = 400;
    StartSubject();
    QCOMPARE(RunTrial(context, 5), 1);
    ReleasePatchSurfaces();
    QCOMPARE(std::memcmp(&testState, &before, sizeof before), 0);
    QCOMPARE(seen,
             QStringList({"5 memorisation", "5 cover", "5 answer", "5 answer", "5 completion"}));
    QCOMPARE(int(timing.frames.size()), 5);
    QCOMPARE(Judged(timing), QStringList({"correct", "correct"}));
    QCOMPARE(state.trials[5].NCorrect, 2);
    QCOMPARE(state.trials[5].RT1, Ms(frames.onsets[0], subject.stamps.at(0)));
    QCOMPARE(fakeUi->cursorCalls, 2);
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
    QCOMPARE(fakeUi->boxes.size(), size_t(1));
    QVERIFY(QString::fromStdString(fakeUi->boxes[0].text).contains(reason));
    QCOMPARE(testState.trialsRun, 0);
    QCOMPARE(displayState.SurfaceTable.size(), size_t(0));
  }

  void wholeTest_tableIsWhatTheSubjectDid_data() {
    QTest::addColumn<int>("abortIn");  // trial aborted with Escape, -1: none
    QTest::newRow("to the end") << -1;
    QTest::newRow("aborted in trial 4") << 3;
  }

  // Touches in order, except in trials 3 and 5 (1-based), whose first touch
  // goes to patch 2: outcomes correct, correct, error, correct, error.
  void wholeTest_tableIsWhatTheSubjectDid() {
    QFETCH(int, abortIn);
    testSettings.max_rev = 3;
    ResetTest();
    std::vector<std::vector<int64_t>> pressStamps;
    std::vector<std::vector<size_t>> pressFrames;
    const auto isError = [](int i) { return i == 2 || i == 4; };
    StartSubject();
    fakeUi->onPump = [&, planned = -1]() mutable {
      const int trial = testState.trialsRun;
      if (trial != planned) {
        planned = trial;
        std::vector<int> order;
        if (isError(trial)) order.push_back(1);
        for (int k = 0; k < testState.trials[trial].NItems; ++k) order.push_back(k);
        if (trial == abortIn) {
          order.clear();
          subject.escapeAt = static_cast<int>(subject.simTime) + 10;
        }
        pressStamps.push_back(std::exchange(subject.stamps, {}));
        pressFrames.push_back(std::exchange(subject.framesAtPress, {}));
        subject.plan = InOrder(order);
        subject.next = 0;
        subject.nextAt = subject.simTime + 20;
      }
      subject.OnPump();
    };
    QCOMPARE(RunTest(), abortIn < 0 ? 1 : 0);
    pressStamps.push_back(subject.stamps);
    pressFrames.push_back(subject.framesAtPress);
    // 3, 4, 5, 4, 5 patches, reversals on trials 3, 4 and 5; an aborted trial advances nothing.
    const int run = abortIn < 0 ? 5 : abortIn;
    QCOMPARE(testState.trialsRun, run);
    const int nItems[] = {3, 4, 5, 4, 5};
    const int rev[] = {0, 0, 1, 2, 3};
    for (int i = 0; i < run; ++i) {
      const TrialRecord& r = testState.trials[i];
      const std::vector<int64_t>& t = pressStamps[i + 1];
      const int64_t memorisation =
          frames.onsets[std::find(frames.trial.begin(), frames.trial.end(), i) -
                        frames.trial.begin()];
      const size_t first = isError(i) ? 1 : 0;  // the press on patch 1
      QCOMPARE(r.Trial, i + 1);
      QCOMPARE(r.NItems, nItems[i]);
      QCOMPARE(r.Error, isError(i) ? 1 : 0);
      QCOMPARE(r.NCorrect, isError(i) ? 0 : nItems[i]);
      QCOMPARE(r.RT1, Ms(memorisation, t[first]));
      QCOMPARE(r.RT2, isError(i) ? Ms(memorisation, t[0])
                                 : Ms(frames.onsets[pressFrames[i + 1][first]], t.back()));
      QCOMPARE(r.Rev, rev[i]);
    }
    if (abortIn >= 0) QCOMPARE(testState.trials[abortIn].Rev, 0);
    QCOMPARE(displayState.SurfaceTable.size(), size_t(0));
  }
};

QTEST_APPLESS_MAIN(TrialRunTest)
#include "trial_run_test.moc"
