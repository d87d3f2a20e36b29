// The application shell in-process: start-up and shut-down, the main frame's
// menu, keys and click-to-start, and what happens in which order around one test.
#include "app/my_app.h"

#include <QAction>
#include <QDialog>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "display/dib_image.h"
#include "display/surfaces.h"
#include "settings/test_settings.h"
#include "support/fake_ui.h"
#include "test/start_test.h"
#include "ui/qt_services.h"

namespace {

constexpr char kDefaults[] =
    "subject = SOMEBODY\r\nrandom_seed = 0\r\nmemtime = 60\r\nmax_rev = 4\r\n"
    "hide_mouse = 0\r\nflag_feedback = 0\r\nflag_ranking = 0\r\n";
constexpr char kLog[] = "Date\tTime\tScore\tSubject\r\n2026/01/05\t10:00:00\t4.50\tEARLIER\r\n";

// Recorded services with one journal of placements, binds, frames and dialogs.
struct Journal : testing::FakeUi {
  struct Presenter : display::Presenter {
    explicit Presenter(Journal* journal) : j(journal) {}
    void BindWindow(ui::WindowHandle window) override { j->Log("bind " + j->Name(window)); }
    void WaitVerticalBlank() override {}
    bool FillScreen(uint32_t) override { return true; }
    bool Present(const uint8_t*, int, int, int, const ui::Rect&) override {
      j->Log("present");
      return true;
    }
    Journal* j;
  };
  display::PresenterFactory Presenters() {
    return [this](ui::WindowHandle) -> std::unique_ptr<display::Presenter> {
      return canPresent ? std::make_unique<Presenter>(this) : nullptr;
    };
  }
  void Log(const QString& e) {
    if (events.isEmpty() || events.last() != e) events << e;
  }
  QString Name(ui::WindowHandle w) const {
    return w == mainWindow ? "main" : w == testWindow ? "test" : "other";
  }
  void PlaceTopmost(ui::WindowHandle window, int width, int height) override {
    Log(QString("place %1 %2x%3").arg(Name(window)).arg(width).arg(height));
    FakeUi::PlaceTopmost(window, width, height);
  }
  QStringList events;
  ui::WindowHandle testWindow = nullptr;
  bool canPresent = true;
};

// While the timer lives, logs the class of each modal dialog and accepts
// those of class `acceptClass`, rejects the others.
std::unique_ptr<QTimer> AnswerDialogs(Journal* log, const QString& acceptClass = {}) {
  auto timer = std::make_unique<QTimer>();
  QObject::connect(timer.get(), &QTimer::timeout, [=] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    log->Log(dialog->metaObject()->className());
    log->events.last() == acceptClass ? dialog->accept() : dialog->reject();
  });
  timer->start(5);
  return timer;
}

// A fresh directory that is the working directory while it lives.
struct WorkDir : QTemporaryDir {
  WorkDir() { QDir::setCurrent(path()); }
  ~WorkDir() { QDir::setCurrent(QDir::tempPath()); }
};

void Write(const QString& name, const QByteArray& bytes) {
  QFile file(name);
  QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
}

QByteArray Read(const QString& name) {
  QFile file(name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class AppTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ScreenSize = {1920, 1080};
    testSettings = TestSettings{};
  }

  void runWithoutStim_writesSettingsOnlyAfterStartUp_data() {
    QTest::addColumn<bool>("display");
    QTest::addColumn<QByteArray>("iniBefore");  // empty: no file
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("iniAfter");
    const QByteArray odd = "memtime = 30\nodd line\r\nsubject=X \r\n";  // a rewrite changes it
    QTest::newRow("first run") << true << QByteArray() << 0 << QByteArray(kDefaults);
    QTest::newRow("no display, file kept") << false << odd << kStartUpFailedExitCode << odd;
    QTest::newRow("no display, no file")
        << false << QByteArray() << kStartUpFailedExitCode << QByteArray();
  }

  // Never a "stim" directory: the missing bitmaps are no error.
  void runWithoutStim_writesSettingsOnlyAfterStartUp() {
    QFETCH(bool, display);
    QFETCH(QByteArray, iniBefore);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, iniAfter);
    WorkDir dir;
    if (!iniBefore.isEmpty()) Write("ORBEL.ini", iniBefore);
    Journal fake;
    fake.canPresent = display;
    CMyApp app({&fake, fake.Presenters()});
    QObject scope;  // the experimenter's E&xit once the event loop runs
    QTimer::singleShot(0, &scope, [&] { app.MainFrame()->CommandAction(kCmdExit)->trigger(); });
    char name[] = "dorvane";
    char* argv[] = {name, nullptr};
    QCOMPARE(app.Run(1, argv), exitCode);
    QCOMPARE(patchBitmapLoaded + openingBitmapLoaded, 0);
    for (const auto& box : fake.boxes)
      QVERIFY2(box.text.find("MsTimer") != std::string::npos, box.text.c_str());
    QCOMPARE(Read("ORBEL.ini"), iniAfter);
  }

  void click_startsTestOnlyInsideTheSquare_data() {
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QStringList>("dialogs");
    QTest::newRow("first column and row inside") << QPoint(705, 285) << QStringList{"CSubject"};
    QTest::newRow("square's left column") << QPoint(704, 285) << QStringList{};
    QTest::newRow("square's top row") << QPoint(960, 284) << QStringList{};
    QTest::newRow("last column and row inside") << QPoint(1215, 795) << QStringList{"CSubject"};
    QTest::newRow("right of the square") << QPoint(1216, 795) << QStringList{};
  }

  void click_startsTestOnlyInsideTheSquare() {
    QFETCH(QPoint, at);
    QFETCH(QStringList, dialogs);
    QCOMPARE(OpeningSquare(1920, 1080), (ui::Rect{704, 284, 1216, 796}));
    Journal fake;
    COpeningScreen client(nullptr);
    client.resize(1920, 1080);
    client.show();
    QCOMPARE(client.PhysicalSize(), QSize(1920, 1080));
    const auto answer = AnswerDialogs(&fake);
    QTest::mouseClick(&client, Qt::LeftButton, {}, at);
    QCOMPARE(fake.events, dialogs);
  }

  void menuAndKeys_runTheirCommands_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("item");  // menu/item, or keys
    QTest::addColumn<QString>("effect");
    QTest::newRow("exit") << kCmdExit << "&File/E&xit"
                          << "closed";
    QTest::newRow("start test") << kCmdStartTest << "&Test/&Start Test"
                                << "CSubject";
    QTest::newRow("view results") << kCmdViewResults << "&Test/結果を見る(&R)"
                                  << "CResult";
    QTest::newRow("about") << kCmdAbout << "&Help/&About"
                           << "CAboutDialog";
    QTest::newRow("option: keys only") << kCmdOptions << "Ctrl+Shift+O"
                                       << "COption";
    QTest::newRow("not without shift") << 0 << "Ctrl+O"
                                       << "";
    QTest::newRow("escape") << 0 << "Esc"
                            << "place main 1920x1080";
  }

  void menuAndKeys_runTheirCommands() {
    QFETCH(int, id);
    QFETCH(QString, item);
    QFETCH(QString, effect);
    WorkDir dir;
    Write("ORBEL.txt", kLog);
    Journal fake;
    CMainFrame frame;
    fake.mainWindow = ui::HandleOf(&frame);
    QMap<QString, QAction*> items;
    for (QAction* menu : frame.menuBar()->actions()) {
      for (QAction* action : menu->menu()->actions()) {
        if (action->isEnabled()) items[menu->text() + "/" + action->text()] = action;
      }
    }
    QCOMPARE(items.keys(), (QStringList{"&File/E&xit", "&Help/&About", "&Test/&Start Test",
                                        "&Test/結果を見る(&R)"}));
    QCOMPARE(frame.CommandAction(id), items.value(item));
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    const auto answer = AnswerDialogs(&fake);
    if (QAction* action = items.value(item)) {
      action->trigger();
    } else {
      QTest::keySequence(&frame, QKeySequence(item));
    }
    if (!frame.isVisible()) fake.events << "closed";
    QCOMPARE(fake.events.join(", "), effect);
  }

  void startTest_runsTheStepsInOrder_data() {
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("flagRanking");
    QTest::addColumn<QStringList>("events");
    const QStringList test{"CSubject",
                           "create window 1920x1080 for main",
                           "bind test",
                           "present",
                           "bind main",
                           "destroy window",
                           "place main 1920x1080"};
    QTest::newRow("cancelled") << false << 1 << QStringList{"CSubject"};
    QTest::newRow("aborted, ranking 0") << true << 0 << test;
    QTest::newRow("aborted, ranking 1") << true << 1 << test + QStringList{"CResult"};
    QTest::newRow("aborted, ranking 2") << true << 2 << test;
  }

  void startTest_runsTheStepsInOrder() {
    QFETCH(bool, accept);
    QFETCH(int, flagRanking);
    QFETCH(QStringList, events);
    WorkDir dir;
    Write("ORBEL.txt", kLog);
    Journal fake;
    fake.escapeStates = {0, static_cast<int16_t>(0x8001), 0};  // pressed in the first trial
    display::PresenterFactory previous = display::SetPresenterFactory(fake.Presenters());
    const auto restore = qScopeGuard([&] {
      SetTestWindowFactory(nullptr);
      ShutDownDisplay();
      display::SetPresenterFactory(std::move(previous));
    });
    QCOMPARE(InitDisplay(fake.mainWindow), 1);
    fake.events.clear();
    SetTestWindowFactory([&](int width, int height, ui::WindowHandle owner) {
      // The dialog's check box holds only 0 and 1; the settings file may hold more.
      testSettings.flag_ranking = flagRanking;
      fake.Log(QString("create window %1x%2 for %3").arg(width).arg(height).arg(fake.Name(owner)));
      auto window = std::make_unique<QWindow>();
      QObject::connect(window.get(), &QObject::destroyed, [&] { fake.Log("destroy window"); });
      fake.testWindow = window.get();
      return window;
    });
    const auto answer = AnswerDialogs(&fake, accept ? "CSubject" : "");
    StartTest();
    QCOMPARE(fake.events, events);
    QCOMPARE(QDir().entryList(QDir::Files), QStringList{"ORBEL.txt"});
    QCOMPARE(Read("ORBEL.txt"), QByteArray(kLog));
  }
};

QTEST_MAIN(AppTest)
#include "my_app_test.moc"
