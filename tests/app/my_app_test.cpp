// Start-up and shut-down of the application, in-process under the offscreen
// platform, with recorded user interface services and presenters.
#include "app/my_app.h"

#include <QFile>
#include <QImage>
#include <QtTest>
#include <ctime>

#include "app_test_support.h"
#include "display/dib_image.h"
#include "display/layout.h"
#include "display/surfaces.h"
#include "settings/settings_store.h"
#include "settings/test_settings.h"
#include "support/fake_ui.h"
#include "test/ms_timer.h"
#include "test/start_test.h"
#include "test/touch_list.h"
#include "ui/qt_services.h"

namespace {

constexpr char kDefaults[] =
    "subject = SOMEBODY\r\n"
    "random_seed = 0\r\n"
    "memtime = 60\r\n"
    "max_rev = 4\r\n"
    "hide_mouse = 0\r\n"
    "flag_feedback = 0\r\n"
    "flag_ranking = 0\r\n";

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray SolidBmp(uint32_t colour) {
  return apptest::MakeBmp(4, 4, [colour](int, int) { return colour; });
}

}  // namespace

class MyAppTest : public QObject {
  Q_OBJECT

 private slots:
  void startUp_withoutStim_showsTheTitleLineAndNoMessage() {
    apptest::ScopedWorkingDir dir;
    QVERIFY(dir.IsValid());
    testing::FakeUi fake;
    fake.screenWidth = 1024;
    fake.screenHeight = 768;
    apptest::DisplayLog log;
    CMyApp app({&fake, apptest::LoggingPresenterFactory(&log)});

    QCOMPARE(app.StartUp("/opt/lab/dorvane-lab"), 1);

    QCOMPARE(patchBitmapLoaded, 0);
    QCOMPARE(openingBitmapLoaded, 0);
    QCOMPARE(apptest::NonTimerBoxes(fake), std::vector<std::string>{});
    QCOMPARE(ui::ApplicationName(), std::string("dorvane-lab"));
    QCOMPARE(ScreenSize.width, 1024);
    QCOMPARE(ScreenSize.height, 768);
    CMainFrame* frame = app.MainFrame();
    QVERIFY(frame);
    QVERIFY(frame->isVisible());
    QCOMPARE(frame->size(), QSize(1024, 768));
    QVERIFY(frame->testAttribute(Qt::WA_DeleteOnClose));
    // The display is bound to the frame.
    QCOMPARE(log.madeFor, std::vector<ui::WindowHandle>{ui::HandleOf(frame)});
    QCOMPARE(displayState.window, ui::HandleOf(frame));
    // White text at the centre of the client area, black around it.
    const QImage client = frame->Client()->grab().toImage();
    const QPoint centre(client.width() / 2, client.height() / 2);
    bool white = false;
    for (int x = centre.x() - 100; x < centre.x() + 100 && !white; ++x) {
      for (int y = centre.y() - 10; y < centre.y() + 10 && !white; ++y) {
        white = client.pixel(x, y) == qRgb(255, 255, 255);
      }
    }
    QVERIFY(white);
    QCOMPARE(client.pixel(centre.x() - 250, centre.y() - 250), qRgb(0, 0, 0));
    QCOMPARE(app.ShutDown(0), 0);
  }

  void startUp_withStim_loadsBothBitmaps() {
    apptest::ScopedWorkingDir dir;
    QVERIFY(QDir().mkdir("stim"));
    QVERIFY(WriteFile(dir.FilePath("stim/patch.bmp"), SolidBmp(0x00FF00)));
    QVERIFY(WriteFile(dir.FilePath("stim/opening.bmp"), SolidBmp(0x0000FF)));
    testing::FakeUi fake;
    apptest::DisplayLog log;
    CMyApp app({&fake, apptest::LoggingPresenterFactory(&log)});

    QCOMPARE(app.StartUp("dorvane"), 1);

    QCOMPARE(patchBitmapLoaded, 1);
    QCOMPARE(openingBitmapLoaded, 1);
    QCOMPARE(openingBitmap.width, 4);
    // The opening bitmap fills the centre of the client area.
    const QImage client = app.MainFrame()->Client()->grab().toImage();
    QCOMPARE(client.pixel(client.width() / 2, client.height() / 2), qRgb(255, 0, 0));
  }

  void firstRun_exitWritesTheSevenSettingsInOrder() {
    apptest::ScopedWorkingDir dir;
    testing::FakeUi fake;
    apptest::DisplayLog log;
    CMyApp app({&fake, apptest::LoggingPresenterFactory(&log)});
    QCOMPARE(app.StartUp("dorvane"), 1);
    QVERIFY(!QFile::exists(dir.FilePath("ORBEL.ini")));

    app.MainFrame()->CommandAction(kCmdExit)->trigger();
    QCOMPARE(log.destroyed, 1);  // the frame's closing released the display
    QCOMPARE(app.ShutDown(0), 0);

    QCOMPARE(ReadFile(dir.FilePath("ORBEL.ini")), QByteArray(kDefaults));
  }

  void startUp_readsTheSettingsOnlyAfterTheDisplayIsUp() {
    apptest::ScopedWorkingDir dir;
    QVERIFY(WriteFile(dir.FilePath("ORBEL.ini"), "memtime = 30\r\n"));
    testing::FakeUi fake;
    apptest::DisplayLog log;
    int memtimeAtDisplay = -1;
    bool frameShownAtDisplay = false;
    log.onMake = [&](ui::WindowHandle window) {
      memtimeAtDisplay = testSettings.memtime;
      auto* qwindow = static_cast<QWindow*>(window);
      frameShownAtDisplay = qwindow && qwindow->isVisible() && qwindow->title() == "Dorvane";
    };
    CMyApp app({&fake, apptest::LoggingPresenterFactory(&log)});

    QCOMPARE(app.StartUp("dorvane"), 1);

    QVERIFY(frameShownAtDisplay);
    QCOMPARE(memtimeAtDisplay, 60);
    QCOMPARE(testSettings.memtime, 30);
  }

  void failedDisplay_endsWithAnErrorCodeAndLeavesTheSettingsFile_data() {
    QTest::addColumn<bool>("settingsFile");
    QTest::newRow("existing ORBEL.ini") << true;
    QTest::newRow("no ORBEL.ini") << false;
  }

  void failedDisplay_endsWithAnErrorCodeAndLeavesTheSettingsFile() {
    QFETCH(bool, settingsFile);
    apptest::ScopedWorkingDir dir;
    // Odd bytes on purpose: any rewrite would normalise them.
    const QByteArray settings = "memtime = 30\nodd line\r\nsubject=X \r\n";
    if (settingsFile) QVERIFY(WriteFile(dir.FilePath("ORBEL.ini"), settings));
    testing::FakeUi fake;
    apptest::DisplayLog log;
    log.canMake = false;
    int exitCode = 0;
    {
      CMyApp app({&fake, apptest::LoggingPresenterFactory(&log)});
      char name[] = "dorvane";
      char* argv[] = {name, nullptr};
      exitCode = app.Run(1, argv);
      QVERIFY(!app.MainFrame());
    }

    QVERIFY(exitCode != 0);
    QCOMPARE(exitCode, kStartUpFailedExitCode);
    QCOMPARE(log.madeFor.size(), size_t{1});  // the frame existed when the display was tried
    QCOMPARE(apptest::NonTimerBoxes(fake), std::vector<std::string>{});
    QVERIFY(!MsTimerRunning());
    if (settingsFile) {
      QCOMPARE(ReadFile(dir.FilePath("ORBEL.ini")), settings);
      QCOMPARE(dir.Entries(), QStringList{"ORBEL.ini"});
    } else {
      QCOMPARE(dir.Entries(), QStringList());
    }
  }

  void mainFrame_setsTheGeneratorFromTheClockAndDrawsTwo() {
    apptest::ScopedWorkingDir dir;
    testing::FakeUi fake;
    apptest::DisplayLog log;
    CMyApp app({&fake, apptest::LoggingPresenterFactory(&log)});
    const auto before = static_cast<uint32_t>(std::time(nullptr));
    QCOMPARE(app.StartUp("dorvane"), 1);
    const auto after = static_cast<uint32_t>(std::time(nullptr));
    const int next[3] = {Rand(), Rand(), Rand()};

    bool matched = false;
    for (uint32_t t = before; t <= after && !matched; ++t) {
      SRand(t);
      Rand();
      Rand();
      const int expected[3] = {Rand(), Rand(), Rand()};
      matched = std::equal(next, next + 3, expected);
    }
    QVERIFY(matched);
  }

  void teardown_emptiesTheProgramWideObjects() {
    apptest::ScopedWorkingDir dir;
    QVERIFY(QDir().mkdir("stim"));
    QVERIFY(WriteFile(dir.FilePath("stim/patch.bmp"), SolidBmp(0xFFFFFF)));
    QVERIFY(WriteFile(dir.FilePath("stim/opening.bmp"), SolidBmp(0xFFFFFF)));
    testing::FakeUi fake;
    apptest::DisplayLog log;
    {
      CMyApp app({&fake, apptest::LoggingPresenterFactory(&log)});
      QCOMPARE(app.StartUp("dorvane"), 1);
      touchWnd.OnLButtonDown(10, 10);
      QCOMPARE(touchWnd.pointCount, 1);
      QVERIFY(!patchBitmap.memory.empty());
      QCOMPARE(settingsStore.FileName(), std::string("ORBEL.ini"));
    }
    QCOMPARE(touchWnd.pointCount, 0);
    QCOMPARE(touchWnd.points.capacity(), size_t{0});
    QCOMPARE(settingsStore.Count(), 0);
    QVERIFY(settingsStore.FileName().empty());
    QVERIFY(openingBitmap.memory.empty());
    QVERIFY(patchBitmap.memory.empty());
    QVERIFY(!patchBitmap.bits);
    QVERIFY(testSettings.subject.empty());
    QVERIFY(!displayState.presenter);
    QCOMPARE(log.destroyed, 1);
    // The presenter factory of start-up is gone with the application.
    QVERIFY(!display::SetPresenterFactory(nullptr));
  }

  void construction_resetsWhatAnEarlierApplicationLeft() {
    testSettings.memtime = 5;
    openingBitmapLoaded = 1;
    settingsStore.SetInt("memtime", 5);
    CMyApp app;
    QCOMPARE(testSettings.memtime, 60);
    QCOMPARE(testSettings.subject, std::string("SOMEBODY"));
    QCOMPARE(openingBitmapLoaded, 0);
    QCOMPARE(settingsStore.Count(), 0);
  }
};

QTEST_MAIN(MyAppTest)
#include "my_app_test.moc"
