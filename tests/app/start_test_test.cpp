// The Start Test command: what happens in which order around one test, with
// the Subject Information dialog answered and the test aborted at once.
#include "test/start_test.h"

#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QtTest>

#include "app_test_support.h"
#include "dialogs/results_dialog.h"
#include "dialogs/setup_dialogs.h"
#include "display/surfaces.h"
#include "settings/test_settings.h"
#include "support/fake_ui.h"

namespace {

constexpr char kLog[] =
    "Date\tTime\tScore\tSubject\r\n"
    "2026/01/05\t10:00:00\t4.50\tEARLIER\r\n";

// Escape: not down before the first trial, pressed during it, released after.
const std::deque<int16_t> kAbortAtOnce{0, static_cast<int16_t>(0x8001), 0};

// A test window that says when it goes.
class LoggedWindow : public QWindow {
 public:
  explicit LoggedWindow(std::function<void()> onDestroy) : onDestroy_(std::move(onDestroy)) {}
  ~LoggedWindow() override { onDestroy_(); }

 private:
  std::function<void()> onDestroy_;
};

struct WindowRequest {
  int width;
  int height;
  ui::WindowHandle owner;
};

}  // namespace

class StartTestTest : public QObject {
  Q_OBJECT

 private:
  std::vector<std::string> events_;
  std::vector<WindowRequest> requests_;
  ui::WindowHandle testWindow_ = nullptr;
  testing::FakeUi* fake_ = nullptr;
  int placementsAtDestroy_ = -1;

 private slots:
  void init() {
    events_.clear();
    requests_.clear();
    testWindow_ = nullptr;
    fake_ = nullptr;
    placementsAtDestroy_ = -1;
    testSettings = TestSettings{};
    ScreenSize = {1920, 1080};
    SetTestWindowFactory([this](int width, int height, ui::WindowHandle owner) {
      requests_.push_back({width, height, owner});
      events_.push_back("create window");
      auto window = std::make_unique<LoggedWindow>([this] {
        events_.push_back("destroy window");
        if (fake_) placementsAtDestroy_ = static_cast<int>(fake_->placements.size());
      });
      testWindow_ = window.get();
      return std::unique_ptr<QWindow>(std::move(window));
    });
  }

  void cleanup() {
    SetTestWindowFactory(nullptr);
    ShutDownDisplay();
  }

  void cancelledSubjectDialog_createsNoWindowAndWritesNothing() {
    apptest::ScopedWorkingDir dir;
    QVERIFY(dir.IsValid());
    testing::FakeUi fake;
    apptest::DisplayLog log;
    apptest::ScopedPresenterFactory factory(apptest::LoggingPresenterFactory(&log));
    QCOMPARE(InitDisplay(fake.mainWindow), 1);
    int subjectDialogs = 0;
    apptest::ModalWatcher watcher([&](QWidget* modal) {
      if (qobject_cast<CSubject*>(modal)) ++subjectDialogs;
      QVERIFY(TestRunning());
      static_cast<QDialog*>(modal)->reject();
    });

    StartTest();

    QCOMPARE(subjectDialogs, 1);
    QVERIFY(requests_.empty());
    QVERIFY(log.calls.empty());
    QVERIFY(fake.placements.empty());
    QVERIFY(fake.boxes.empty());
    QCOMPARE(dir.Entries(), QStringList());
    QVERIFY(!TestRunning());
  }

  void abortedTest_runsTheStepsInOrder_data() {
    QTest::addColumn<int>("flagRanking");
    QTest::addColumn<bool>("viewer");
    QTest::newRow("ranking off") << 0 << false;
    QTest::newRow("ranking on") << 1 << true;
    QTest::newRow("ranking 2 is not on") << 2 << false;
  }

  void abortedTest_runsTheStepsInOrder() {
    QFETCH(int, flagRanking);
    QFETCH(bool, viewer);
    apptest::ScopedWorkingDir dir;
    QVERIFY(dir.IsValid());
    {
      QFile file(dir.FilePath("ORBEL.txt"));
      QVERIFY(file.open(QIODevice::WriteOnly));
      file.write(kLog);
    }
    testing::FakeUi fake;
    fake_ = &fake;
    fake.escapeStates = kAbortAtOnce;
    apptest::DisplayLog log;
    log.onBind = [this, &fake](ui::WindowHandle window) {
      events_.push_back(window == testWindow_       ? "bind test window"
                        : window == fake.mainWindow ? "bind main window"
                                                    : "bind other");
    };
    apptest::ScopedPresenterFactory factory(apptest::LoggingPresenterFactory(&log));
    QCOMPARE(InitDisplay(fake.mainWindow), 1);
    log.calls.clear();
    apptest::ModalWatcher watcher([&](QWidget* modal) {
      if (auto* subject = qobject_cast<CSubject*>(modal)) {
        events_.push_back("subject dialog");
        QVERIFY(subject->TryAccept());
      } else if (qobject_cast<CResult*>(modal)) {
        events_.push_back("results viewer");
        static_cast<QDialog*>(modal)->reject();
      } else {
        events_.push_back("other dialog");
        static_cast<QDialog*>(modal)->reject();
      }
    });
    // The dialog's check box holds only 0 and 1; other values come from the
    // settings file. The window is made after the dialog has stored its values.
    auto make = SetTestWindowFactory(nullptr);
    SetTestWindowFactory([&](int width, int height, ui::WindowHandle owner) {
      testSettings.flag_ranking = flagRanking;
      auto window = make(width, height, owner);
      return window;
    });

    StartTest();
    fake_ = nullptr;

    std::vector<std::string> expected{"subject dialog", "create window", "bind test window",
                                      "bind main window", "destroy window"};
    if (viewer) expected.push_back("results viewer");
    QCOMPARE(events_, expected);
    // Black at once on the test window, before any trial draws.
    QVERIFY(log.calls.size() >= 2);
    QCOMPARE(log.calls[0], std::string("bind"));
    QCOMPARE(log.calls[1], std::string("fill"));
    QCOMPARE(log.calls.back(), std::string("bind"));
    // The window covers the screen and belongs to the main window.
    QCOMPARE(int(requests_.size()), 1);
    QCOMPARE(requests_[0].width, 1920);
    QCOMPARE(requests_[0].height, 1080);
    QCOMPARE(requests_[0].owner, fake.mainWindow);
    // WriteTestResults put the main window back after the test window went;
    // the aborted test wrote nothing.
    QCOMPARE(placementsAtDestroy_, 0);
    QCOMPARE(int(fake.placements.size()), 1);
    QCOMPARE(fake.placements[0].window, fake.mainWindow);
    QCOMPARE(dir.Entries(), QStringList{"ORBEL.txt"});
    QFile file(dir.FilePath("ORBEL.txt"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray(kLog));
    QVERIFY(!TestRunning());
  }

  void startTest_insideARunningOne_isIgnored() {
    apptest::ScopedWorkingDir dir;
    testing::FakeUi fake;
    int subjectDialogs = 0;
    apptest::ModalWatcher watcher([&](QWidget* modal) {
      ++subjectDialogs;
      StartTest();  // would open a second dialog at once
      static_cast<QDialog*>(modal)->reject();
    });
    StartTest();
    QCOMPARE(subjectDialogs, 1);
    QVERIFY(requests_.empty());
  }

  void makeTouchWindow_isAFramelessFullScreenWindowOfTheOwner() {
    testing::FakeUi fake;
    QWindow owner;
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    std::unique_ptr<QWindow> window =
        MakeTouchWindow(screen.width(), screen.height(), static_cast<ui::WindowHandle>(&owner));
    QVERIFY(window);
    QCOMPARE(window->title(), QString("Experiment Window"));
    QVERIFY(window->flags() & Qt::FramelessWindowHint);
    QCOMPARE(window->transientParent(), &owner);
    QVERIFY(window->isVisible());
    QCOMPARE(window->visibility(), QWindow::FullScreen);
    QCOMPARE(window->geometry(), QRect(QPoint(0, 0), screen));
    QCOMPARE(window->cursor().shape(), Qt::ArrowCursor);
  }
};

QTEST_MAIN(StartTestTest)
#include "start_test_test.moc"
