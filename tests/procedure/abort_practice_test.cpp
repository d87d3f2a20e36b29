// Where a test stops and what its record keeps of it: Escape, the window
// closed or Alt+F4 in each phase of a trial. And the practice run: its
// staircase, and a command that writes nothing but its own record.
#include <QtTest>
#include <QtWidgets>
#include <vector>

#include "display/layout.h"
#include "display/surfaces.h"
#include "procedure/abort_point.h"
#include "procedure/ms_timer.h"
#include "procedure/practice_command.h"
#include "procedure/practice_run.h"
#include "procedure/staircase.h"
#include "procedure/start_test_command.h"
#include "procedure/touch_list.h"
#include "procedure/trial_run.h"
#include "records/record_parser.h"
#include "records/session_record.h"
#include "records/session_values.h"
#include "settings/test_settings.h"
#include "support/fake_ui.h"

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

constexpr int64_t kMs = 1000000;

class QuickPresenter : public display::Presenter {
 public:
  void BindWindow(ui::WindowHandle) override {}
  void WaitVerticalBlank() override { MsTimerAdvanceManualClock(16 * kMs); }
  bool FillScreen(uint32_t) override { return true; }
  bool Present(const uint8_t*, int, int, int, const ui::Rect&) override {
    onset_ = FrameOnset{};
    onset_.requestNs = MsTimerNowNs();
    MsTimerAdvanceManualClock(3 * kMs);
    onset_.onsetNs = onset_.returnNs = MsTimerNowNs();
    onset_.source = OnsetSource::kSimulated;
    return true;
  }
  FrameOnset LastOnset() const override { return onset_; }

 private:
  FrameOnset onset_;
};

/// How a person ends a trial after its touches.
enum Stop { kNone, kEscape, kClose, kAltF4, kCloseInHold };

// A person at the screen: in each trial touches the patches listed, 50 ms
// apart, each press lifted at the next pump; then stops as asked.
struct Person {
  std::vector<std::vector<int>> touches;  // per trial
  std::vector<int> stops;                 // per trial, Stop
  int current = -1;
  int64_t startNs = 0;
  size_t next = 0;
  bool down = false, stopped = false;
  testing::FakeUi* ui = nullptr;
  const std::vector<TrialTiming>* timings = nullptr;  // of a run this test calls itself

  void OnPump() {
    const int i = testState.trialsRun;
    if (i != current) current = i, startNs = MsTimerNowNs(), next = 0;
    if (down) {
      touchWnd.OnLButtonUp();
      down = false;
      return;
    }
    if (size_t(i) >= touches.size() || stopped) return;
    const int64_t sim = (MsTimerNowNs() - startNs) / kMs;
    const std::vector<int>& plan = touches[size_t(i)];
    if (next < plan.size()) {
      if (sim < 50 * int64_t(next + 1)) return;
      // Mapped through where the canvas shows, as the test window sees it.
      const ui::Rect& r = displayState.PresentRect;
      const double scale = double(r.right - r.left) / kCanvasWidth;
      const PatchEntry& p = PatchLayout[plan[next++]];
      touchWnd.OnLButtonDown(r.left + int((p.x + 60) * scale), r.top + int((p.y + 60) * scale),
                             InputTime{MsTimerNowNs() - kMs, TouchTimeSource::kStamp});
      down = true;
      return;
    }
    switch (stops[size_t(i)]) {
      case kEscape:
        ui->escapeStates = {int16_t(0x8001), 0};
        break;
      case kClose:
        touchWnd.OnClose();
        break;
      case kAltF4:
        touchWnd.OnAltF4();
        break;
      case kCloseInHold:
        if (timings == nullptr) return;
        if (const std::vector<FrameRecord>& frames = (*timings)[size_t(i)].frames;
            frames.empty() || frames.back().kind != FrameKind::kCompletion)
          return;
        touchWnd.OnClose();
        break;
      default:
        return;
    }
    stopped = true;
  }
};

QString Kinds(const std::vector<results::SessionFrame>& frames) {
  QStringList kinds;
  for (const results::SessionFrame& f : frames) kinds << FrameKindName(f.kind);
  return kinds.join(' ');
}

// The record of the test as it stands.
results::SessionRecord RecordNow(const std::vector<TrialTiming>& timings,
                                 results::SessionOutcome outcome) {
  results::SessionInputs in;
  in.state = &testState;
  in.timings = &timings;
  in.settings = &testSettings;
  in.outcome = outcome;
  in.abort = abortPoint;
  return results::MakeSessionRecord(in);
}

// While the timer lives, accepts every modal dialog and counts them.
std::unique_ptr<QTimer> AcceptDialogs(QStringList* seen) {
  auto timer = std::make_unique<QTimer>();
  QObject::connect(timer.get(), &QTimer::timeout, [=] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      *seen << dialog->metaObject()->className();
      dialog->accept();
    }
  });
  timer->start(5);
  return timer;
}

}  // namespace

class AbortPracticeTest : public QObject {
  Q_OBJECT

  display::PresenterFactory previousFactory_;
  std::unique_ptr<testing::FakeUi> fakeUi_;
  Person person_;

 private slots:
  void init() {
    fakeUi_ = std::make_unique<testing::FakeUi>();
    fakeUi_->screenWidth = 1024;
    fakeUi_->screenHeight = 768;
    ScreenSize = {1024, 768};
    previousFactory_ = display::SetPresenterFactory(
        [](ui::WindowHandle) { return std::make_unique<QuickPresenter>(); });
    QVERIFY(InitDisplay(fakeUi_->MainWindow()));
    touchWnd.OnDestroy();
    touchWnd.DiscardPresses(0);
    touchWnd.closeRequested = touchWnd.closedByAltF4 = 0;
    testSettings = TestSettings{};
    testSettings.memtime = 0;
    MsTimerUseManualTicks(true);
    SRand(7);
    person_ = Person{};
    person_.ui = fakeUi_.get();
    fakeUi_->onPump = [this] { person_.OnPump(); };
    fakeUi_->onSleep = [](int ms) { MsTimerAdvanceManualClock(ms * kMs); };
    ResetAbortPoint();
  }

  void cleanup() {
    touchWnd.closeRequested = touchWnd.closedByAltF4 = 0;
    SetTestWindowFactory(nullptr);
    MsTimerStop();
    MsTimerUseManualTicks(false);
    ShutDownDisplay();
    display::SetPresenterFactory(previousFactory_);
    fakeUi_.reset();
  }

  void stop_recordsWhereAndKeepsThePartialTrial_data() {
    QTest::addColumn<int>("memtime");
    QTest::addColumn<std::vector<int>>("first");  // touches of trial 1 (3 patches)
    QTest::addColumn<int>("firstStop");
    QTest::addColumn<std::vector<int>>("second");  // of trial 2, when it comes
    QTest::addColumn<int>("secondStop");
    QTest::addColumn<QString>("abort");  // how, trial, phase
    QTest::addColumn<int>("trials");     // in the record
    QTest::addColumn<QString>("lastFrames");
    QTest::addColumn<int>("lastTouches");
    const std::vector<int> all{0, 1, 2};
    QTest::newRow("Escape while memorising trial 1")
        << 5 << std::vector<int>{} << int(kEscape) << std::vector<int>{} << int(kNone)
        << "escape 1 memorisation" << 1 << "memorisation" << 0;
    QTest::newRow("Escape in the answer of trial 2, after patch 1")
        << 0 << all << int(kNone) << std::vector<int>{0} << int(kEscape) << "escape 2 answer" << 2
        << "memorisation cover answer" << 1;
    QTest::newRow("window closed after a wrong touch in trial 2")
        << 0 << all << int(kNone) << std::vector<int>{2} << int(kClose) << "window-closed 2 answer"
        << 2 << "memorisation cover error error-cover" << 1;
    QTest::newRow("Alt+F4 while memorising trial 1")
        << 5 << std::vector<int>{} << int(kAltF4) << std::vector<int>{} << int(kNone)
        << "alt-f4 1 memorisation" << 1 << "memorisation" << 0;
    QTest::newRow("closed during trial 1's completion display")
        << 0 << all << int(kCloseInHold) << std::vector<int>{} << int(kNone)
        << "window-closed 2 between-trials" << 1 << "memorisation cover answer answer answer completion"
        << 3;
  }

  void stop_recordsWhereAndKeepsThePartialTrial() {
    QFETCH(int, memtime);
    QFETCH(std::vector<int>, first);
    QFETCH(int, firstStop);
    QFETCH(std::vector<int>, second);
    QFETCH(int, secondStop);
    QFETCH(QString, abort);
    QFETCH(int, trials);
    QFETCH(QString, lastFrames);
    QFETCH(int, lastTouches);
    testSettings.memtime = memtime;
    person_.touches = {first, second};
    person_.stops = {firstStop, secondStop};
    ResetTest();
    std::vector<TrialTiming> timings(kMaxTrials);
    person_.timings = &timings;
    TrialContext context = SettingsTrialContext(nullptr);
    QCOMPARE(RunTest(context, timings), 0);
    QVERIFY(abortPoint.stopped);
    QCOMPARE(QString("%1 %2 %3")
                 .arg(AbortHowName(abortPoint.how))
                 .arg(abortPoint.trial)
                 .arg(TrialPhaseName(abortPoint.phase)),
             abort);
    const results::SessionRecord r = RecordNow(timings, results::SessionOutcome::kAborted);
    QCOMPARE(int(r.trials.size()), trials);
    QCOMPARE(Kinds(r.trials.back().frames), lastFrames);
    QCOMPARE(int(r.trials.back().touches.size()), lastTouches);
    QCOMPARE(QString::fromStdString(results::ImpossibleValue(r)), QString());
    // The trial cut short advanced nothing.
    QCOMPARE(testState.trialsRun, abortPoint.trial - 1);
  }

  void advancePractice_staysWithinTwoAndThree_data() {
    QTest::addColumn<std::vector<int>>("errors");  // Error of trials 1 and 2
    QTest::addColumn<std::vector<int>>("nItems");  // of trials 1 to 3
    QTest::newRow("no error") << std::vector<int>{0, 0} << std::vector<int>{2, 3, 3};
    QTest::newRow("errors") << std::vector<int>{1, 1} << std::vector<int>{2, 2, 2};
    QTest::newRow("up, then down") << std::vector<int>{0, 1} << std::vector<int>{2, 3, 2};
  }

  void advancePractice_staysWithinTwoAndThree() {
    QFETCH(std::vector<int>, errors);
    QFETCH(std::vector<int>, nItems);
    TestState state{};
    ResetPractice(state);
    std::vector<int> shown{state.trials[0].NItems};
    for (int i = 0; i < kPracticeTrials; ++i) {
      if (i < 2) state.trials[i].Error = errors[size_t(i)];
      QCOMPARE(AdvancePractice(state, i), i == kPracticeTrials - 1 ? 1 : 0);
      if (i < 2) shown.push_back(state.trials[i + 1].NItems);
    }
    QCOMPARE(shown, nItems);
    QCOMPARE(state.trialsRun, kPracticeTrials);
    QCOMPARE(state.reversals, 0);
  }

  void practiceCommand_writesOnlyItsRecord_data() {
    QTest::addColumn<bool>("escape");  // in the second trial
    QTest::newRow("to its end") << false;
    QTest::newRow("stopped with Escape") << true;
  }

  // The subject file and the log stay as they were, no ranking is shown,
  // the record is a practice's, and the last test's table is back.
  void practiceCommand_writesOnlyItsRecord() {
    QFETCH(bool, escape);
    QTemporaryDir dir;
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    testSettings.subject = "P01";
    testSettings.memtime = 1;  // the dialog refuses 0
    testSettings.flag_ranking = 1;
    testSettings.flag_feedback = 1;
    ResetTest();
    testState.trials[0] = {1, 7, 7, 1, 2, 0, 1};
    testState.trialsRun = 9;
    testState.reversals = 4;
    const std::vector<int> both{0, 1}, three{0, 1, 2};
    person_.touches = {both, escape ? std::vector<int>{} : three, three};
    person_.stops = {kNone, escape ? kEscape : kNone, kNone};
    SetTestWindowFactory([](int, int, ui::WindowHandle) { return std::make_unique<QWindow>(); });
    QStringList dialogs;
    {
      const auto answer = AcceptDialogs(&dialogs);
      StartPractice();
    }
    QDir::setCurrent(before);
    QCOMPARE(dialogs, QStringList({"CSubject"}));
    QCOMPARE(fakeUi_->boxes.size(), size_t(0));  // no score box
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"sessions"}));
    const QDir sessions(dir.filePath("sessions"));
    const QStringList records = sessions.entryList(QDir::Files);
    QCOMPARE(records.size(), 1);
    QFile file(sessions.filePath(records[0]));
    QVERIFY(file.open(QIODevice::ReadOnly));
    results::SessionRecord r;
    std::string why;
    QVERIFY2(results::ParseSessionRecord(file.readAll(), &r, &why), why.c_str());
    QCOMPARE(r.outcome, results::SessionOutcome::kPractice);
    QCOMPARE(r.abort.stopped, escape);
    QCOMPARE(int(r.trials.size()), escape ? 2 : 3);
    QStringList items;
    for (const results::SessionTrial& t : r.trials) items << QString::number(t.row.NItems);
    QCOMPARE(items.join(' '), QString(escape ? "2 3" : "2 3 3"));
    QVERIFY(!r.hasScore);
    QCOMPARE(testState.trialsRun, 9);
    QCOMPARE(testState.reversals, 4);
    QCOMPARE(testState.trials[0].NItems, 7);
    QVERIFY(!TestRunning());
  }
};

QTEST_MAIN(AbortPracticeTest)
#include "abort_practice_test.moc"
