// The application shell in-process: start-up, shut-down, menu, keys, and the steps of one test.
#include "app/my_app.h"

#include <QtTest>
#include <QtWidgets>

#include "display/dib_image.h"
#include "display/surfaces.h"
#include "procedure/start_test_command.h"
#include "settings/test_settings.h"
#include "support/fake_ui.h"
#include "ui/qt_services.h"

namespace {

constexpr char kDefaults[] =
    "subject = SOMEBODY\r\nrandom_seed = 0\r\nmemtime = 60\r\n"
    "max_rev = 4\r\nhide_mouse = 0\r\nflag_feedback = 0\r\nflag_ranking = 0\r\n";
constexpr char kLog[] = "Date\tTime\tScore\tSubject\r\n2026/01/05\t10:00:00\t4.50\tEARLIER\r\n";

// Recorded services with one journal of placements, binds, frames and dialogs, in order.
struct Journal : testing::FakeUi {
  struct Presenter : display::Presenter {
    explicit Presenter(Journal* journal) : j(journal) {}
    void BindWindow(ui::WindowHandle window) override { j->Log("bind " + j->Name(window)); }
    void WaitVerticalBlank() override {}
    bool FillScreen(uint32_t) override { return true; }
    bool Present(const uint8_t*, int, int, int, const ui::Rect&) override {
      return j->Log("present"), true;
    }
    Journal* j;
  };
  display::PresenterFactory Presenters(bool work = true) {
    return [=](ui::WindowHandle) {
      return std::unique_ptr<display::Presenter>(work ? new Presenter(this) : nullptr);
    };
  }
  void Log(const QString& e) {
    if (events.isEmpty() || events.last() != e) events << e;
  }
  QString Name(void* w) const { return w == mainWindow ? "main" : w == testWindow ? "test" : "?"; }
  void PlaceTopmost(ui::WindowHandle window, int width, int height) override {
    Log(QString("place %1 %2x%3").arg(Name(window)).arg(width).arg(height));
    FakeUi::PlaceTopmost(window, width, height);
  }
  void EndTopmost(ui::WindowHandle window) override {
    Log(QString("end topmost %1").arg(Name(window)));
    FakeUi::EndTopmost(window);
  }
  QStringList events;
  ui::WindowHandle testWindow = nullptr;
};

// While the timer lives, logs each modal dialog's class; accepts `acceptClass`, rejects others.
std::unique_ptr<QTimer> AnswerDialogs(Journal* log, const QString& acceptClass = {}) {
  auto timer = std::make_unique<QTimer>();
  QObject::connect(timer.get(), &QTimer::timeout, [=] {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
      log->Log(dialog->metaObject()->className());
      log->events.last() == acceptClass ? dialog->accept() : dialog->reject();
    }
  });
  timer->start(5);
  return timer;
}

// A fresh directory that is the working directory while it lives, holding `bytes` in `name`.
struct WorkDir : QTemporaryDir {
  explicit WorkDir(const QString& name = {}, const QByteArray& bytes = {}) {
    QDir::setCurrent(path());
    QFile file(name);
    if (!bytes.isEmpty() && file.open(QIODevice::WriteOnly)) file.write(bytes);
  }
  ~WorkDir() { QDir::setCurrent(QDir::tempPath()); }
};

QByteArray Read(const QString& name) {
  QFile file(name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class AppTest : public QObject {
  Q_OBJECT

 private slots:
  // Start-up reads the user's choice of language: not this user's own.
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
  void init() { ScreenSize = {1920, 1080}, testSettings = TestSettings{}; }
  void cleanup() {
    SetTestWindowFactory(nullptr);
    ShutDownDisplay();
    display::SetPresenterFactory(nullptr);  // no factory left pointing at a test's journal
  }

  void run_settingsWrittenAfterStartUp_lockedFileNamesWhatIsLost_data() {
    QTest::addColumn<bool>("display");
    QTest::addColumn<QByteArray>("iniBefore");  // empty: no file
    QTest::addColumn<int>("memtime");           // set during the run, the file locked; 0: neither
    QTest::addColumn<QString>("box");           // empty: none
    const QByteArray odd = "memtime = 30\nodd line\r\nsubject=X \r\n";  // a rewrite changes it
    // No "stim" directory in any: the missing bitmaps are no error.
    QTest::newRow("first run") << true << QByteArray() << 0 << QString();
    QTest::newRow("no display, file kept") << false << odd << 0 << QString();
    QTest::newRow("no display, no file") << false << QByteArray() << 0 << QString();
    QTest::newRow("locked, changed")
        << true << QByteArray("memtime = 30\n") << 45
        << "app|48|The settings could not be saved to [%1/ORBEL.ini] (" +
               QString(std::strerror(EACCES)) +
               ").\nThese settings were not kept; the next session starts without them:\n"
               "memtime = 45";
    QTest::newRow("locked, nothing lost")
        << true << QByteArray("memtime = 30\n") << 30 << QString();
  }
  void run_settingsWrittenAfterStartUp_lockedFileNamesWhatIsLost() {
    QFETCH(bool, display);
    QFETCH(QByteArray, iniBefore);
    QFETCH(int, memtime);
    QFETCH(QString, box);
    WorkDir dir("ORBEL.ini", iniBefore);
    if (memtime) QFile::setPermissions("ORBEL.ini", QFile::ReadOwner | QFile::ReadOther);
    Journal fake;
    CMyApp app({&fake, fake.Presenters(display)});
    QObject scope;  // the experimenter's E&xit once the event loop runs
    QTimer::singleShot(0, &scope, [&] {
      if (memtime) testSettings.memtime = memtime;
      app.MainFrame()->CommandAction(kCmdExit)->trigger();
    });
    char name[] = "dorvane";
    char* argv[] = {name, nullptr};
    QCOMPARE(app.Run(1, argv), display ? 0 : kStartUpFailedExitCode);
    QCOMPARE(patchBitmapLoaded + openingBitmapLoaded, 0);
    QStringList boxes, stim;  // but the timer check's, which depend on the machine
    for (const auto& b : fake.boxes) {
      const QString shown =
          QString::fromStdString((b.caption == "Dorvane" ? "app|" : b.caption + "|") +
                                 std::to_string(b.type) + "|" + b.text);
      if (b.text.find("MsTimer") != std::string::npos) continue;
      (shown.contains("stimulus folder") ? stim : boxes) << shown;
    }
    QCOMPARE(boxes, box.isEmpty() ? QStringList() : QStringList{box.arg(dir.path())});
    // No stim/ here: one box at start-up names it, once the display is there.
    QCOMPARE(stim.size(), display ? 1 : 0);
    if (display)
      QVERIFY2(stim[0].startsWith("app|48|The stimulus folder [" + QDir(dir.path()).absolutePath() +
                                  "/stim] is missing or cannot be read."),
               qPrintable(stim[0]));
    QCOMPARE(Read("ORBEL.ini"), display && !memtime ? QByteArray(kDefaults) : iniBefore);
  }

  void inputs_runTheirCommands_data() {
    QTest::addColumn<QString>("item");  // menu/item, keys, or a click on the opening screen
    QTest::addColumn<QString>("effect");
    const std::pair<const char*, const char*> rows[] = {
        {"&File/E&xit", "closed"},
        {"&Test/&Start Test", "CSubject"},
        {"&Test/&Practice…", "CSubject"},
        {"&Test/結果を見る(&R)", "CResult"},
        {"&Test/S&essions…", "sessions::CSessions"},
        {"&Test/Partic&ipants…", "participants::CParticipants"},
        {"&Help/&About", "CAboutDialog"},
        // the notice is cancelled: nothing runs
        {"&Help/Timing Check…", "place main 1920x1080, end topmost main"},
        {"Ctrl+Shift+O", "COption"},  // keys only
        {"Ctrl+O", ""},
        {"Esc", "place main 1920x1080"}};
    for (const auto& [item, effect] : rows) QTest::newRow(item) << item << effect;
    // The first and the last pixel inside the square, and one past each edge; 1: starts.
    for (const auto& [x, y, starts] :
         {std::array{705, 285, 1}, {704, 285, 0}, {960, 284, 0}, {1215, 795, 1}, {1216, 795, 0}})
      QTest::addRow("click %d %d", x, y)
          << QString("click %1 %2").arg(x).arg(y) << (starts ? "CSubject" : "");
  }
  void inputs_runTheirCommands() {
    QFETCH(QString, item);
    QFETCH(QString, effect);
    WorkDir dir("ORBEL.txt", kLog);
    Journal fake;
    fake.boxAnswer = ui::kIdCancel;
    CMainFrame frame;
    fake.mainWindow = ui::HandleOf(&frame);
    QMap<QString, QAction*> items;  // every menu item: the Options command has none
    for (QAction* menu : frame.menuBar()->actions())
      for (QAction* action : menu->menu()->actions())
        items[menu->text() + "/" + action->text() + (action->isEnabled() ? "" : " (off)")] = action;
    QCOMPARE(items.keys(),
             (QStringList{"&File/E&xit", "&Help/&About", "&Help/Language", "&Help/Timing Check…",
                          "&Test/&Practice…", "&Test/&Start Test", "&Test/Partic&ipants…",
                          "&Test/S&essions…", "&Test/結果を見る(&R)"}));
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    const auto answer = AnswerDialogs(&fake);
    COpeningScreen client(nullptr);  // full-screen, as in the test's screen
    client.resize(1920, 1080);
    if (const QStringList click = item.split(' '); click[0] == "click") {
      client.show();
      QTest::mouseClick(&client, Qt::LeftButton, {}, QPoint(click[1].toInt(), click[2].toInt()));
    } else {
      items.contains(item) ? items[item]->trigger()
                           : QTest::keySequence(&frame, QKeySequence(item));
    }
    if (!frame.isVisible()) fake.events << "closed";
    QCOMPARE(fake.events.join(", "), effect);
  }

  // Without the opening picture the square that starts a test is still outlined.
  void openingScreen_withoutPicture_showsWhereToClick() {
    openingBitmapLoaded = 0;
    COpeningScreen client(nullptr);
    client.resize(1920, 1080);
    const QImage shot = client.grab().toImage();
    const ui::Rect s = OpeningSquare(1920, 1080);
    const auto lit = [&shot](int x, int y) { return qGray(shot.pixel(x, y)) > 100; };
    QVERIFY(lit(s.left + 3, 540) && lit(s.right - 4, 540) && lit(960, s.top + 3) &&
            lit(960, s.bottom - 4));
    QVERIFY(!lit(s.left - 2, 540) && !lit(s.left + 12, 300));
  }

  void startTest_runsTheStepsInOrder_data() {
    QTest::addColumn<int>("flagRanking");  // -1: the subject dialog is cancelled
    QTest::addColumn<QString>("events");
    const QString test =
        "CSubject, create window 1920x1080 for main, bind test, present, "
        "bind main, destroy window, place main 1920x1080";
    QTest::newRow("cancelled") << -1 << "CSubject";
    // Topmost only until the test's last window has closed.
    QTest::newRow("aborted, ranking 0") << 0 << test + ", end topmost main";
    QTest::newRow("aborted, ranking 1") << 1 << test + ", CResult, end topmost main";
    QTest::newRow("aborted, ranking 2") << 2 << test + ", end topmost main";
  }
  void startTest_runsTheStepsInOrder() {
    QFETCH(int, flagRanking);
    QFETCH(QString, events);
    WorkDir dir("ORBEL.txt", kLog);
    Journal fake;
    fake.escapeStates = {0, static_cast<int16_t>(0x8001), 0};  // pressed in the first trial
    display::SetPresenterFactory(fake.Presenters());           // cleared in cleanup()
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
    const auto answer = AnswerDialogs(&fake, flagRanking >= 0 ? "CSubject" : "");
    StartTest();
    QCOMPARE(fake.events.join(", "), events);
    // No rows and no log line; an aborted test keeps its session record.
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(", ") + ": " +
                 Read("ORBEL.txt"),
             (flagRanking < 0 ? "ORBEL.txt: " : "ORBEL.txt, sessions: ") + QString(kLog));
    if (flagRanking >= 0) QCOMPARE(QDir("sessions").entryList(QDir::Files).size(), 1);
  }
};

QTEST_MAIN(AppTest)
#include "my_app_test.moc"
