// The main frame: click-to-start bounds, the opening screen, the menu, the
// Escape restore and the teardown on closing.
#include "app/main_frame.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

#include "app_test_support.h"
#include "dialogs/setup_dialogs.h"
#include "display/dib_image.h"
#include "display/surfaces.h"
#include "support/fake_ui.h"
#include "test/ms_timer.h"
#include "test/start_test.h"
#include "ui/qt_services.h"
#include "ui/surface_dc.h"

namespace {

constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;
constexpr uint32_t kBlue = 0xFF0000;
constexpr uint32_t kWhite = 0xFFFFFF;

// The opening screen of a width x height client area as the frame paints it.
QImage PaintedOpeningScreen(int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::black);
  ui::SurfaceDC dc(image.bits(), width, height, static_cast<int>(image.bytesPerLine()));
  PaintOpeningScreen(dc, width, height);
  return image;
}

QRgb Rgb(uint32_t colour) {
  return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, colour >> 16);
}

}  // namespace

class MainFrameTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ScreenSize = {1024, 768};
    openingBitmap.Clear();
    openingBitmapLoaded = 0;
  }

  void startsTest_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("starts");
    QTest::newRow("first column and row inside") << 1920 << 1080 << 705 << 285 << true;
    QTest::newRow("square's left column") << 1920 << 1080 << 704 << 285 << false;
    QTest::newRow("square's top row") << 1920 << 1080 << 960 << 284 << false;
    QTest::newRow("last column and row inside") << 1920 << 1080 << 1215 << 795 << true;
    QTest::newRow("right of the square") << 1920 << 1080 << 1216 << 795 << false;
    QTest::newRow("below the square") << 1920 << 1080 << 1215 << 796 << false;
    QTest::newRow("centre") << 1920 << 1080 << 960 << 540 << true;
    QTest::newRow("odd size: halves truncated") << 1921 << 1081 << 1215 << 795 << true;
    QTest::newRow("odd size: right edge") << 1921 << 1081 << 1216 << 540 << false;
    QTest::newRow("client smaller than the square") << 400 << 300 << 0 << 0 << true;
  }

  void startsTest() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(bool, starts);
    QCOMPARE(StartsTest(width, height, x, y), starts);
  }

  void openingSquare_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::newRow("1920 x 1080") << 1920 << 1080 << 704 << 284;
    QTest::newRow("odd sizes truncate") << 1921 << 1081 << 704 << 284;
    QTest::newRow("1024 x 768") << 1024 << 768 << 256 << 128;
    QTest::newRow("smaller than the square") << 500 << 400 << -6 << -56;
  }

  void openingSquare() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, left);
    QFETCH(int, top);
    QCOMPARE(OpeningSquare(width, height), (ui::Rect{left, top, left + 512, top + 512}));
  }

  void paintWithBitmap_stretchesItIntoTheSquareOnly() {
    // Four quadrants tell the orientation; a 2 x 2 picture must fill 512 x 512.
    const QByteArray file = apptest::MakeBmp(2, 2, [](int x, int y) {
      return y == 0 ? (x == 0 ? kRed : kGreen) : (x == 0 ? kBlue : kWhite);
    });
    QCOMPARE(openingBitmap.LoadFromMemory(reinterpret_cast<const uint8_t*>(file.constData()),
                                          static_cast<size_t>(file.size())),
             1);
    openingBitmapLoaded = 1;
    const QImage image = PaintedOpeningScreen(1920, 1080);
    QCOMPARE(image.pixel(704, 284), Rgb(kRed));
    QCOMPARE(image.pixel(959, 539), Rgb(kRed));
    QCOMPARE(image.pixel(1215, 284), Rgb(kGreen));
    QCOMPARE(image.pixel(704, 795), Rgb(kBlue));
    QCOMPARE(image.pixel(1215, 795), Rgb(kWhite));
    for (const QPoint outside : {QPoint(703, 284), QPoint(704, 283), QPoint(1216, 795),
                                 QPoint(1215, 796), QPoint(0, 0), QPoint(1919, 1079)}) {
      QCOMPARE(image.pixel(outside), qRgb(0, 0, 0));
    }
  }

  void paintWithoutBitmap_centresOneWhiteLine() {
    const QImage image = PaintedOpeningScreen(1920, 1080);
    int left = image.width();
    int right = -1;
    int top = image.height();
    int bottom = -1;
    bool white = false;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QRgb p = image.pixel(x, y);
        if (p == qRgb(0, 0, 0)) continue;
        QCOMPARE(qRed(p), qBlue(p));  // grey levels only: white text on black
        white = white || p == qRgb(255, 255, 255);
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
    QVERIFY(white);
    QVERIFY2(bottom - top < 40, "one line");
    QVERIFY2(right - left > 150, "the whole title line");
    // The line starts with a blank, so the ink sits a little right of centre.
    QVERIFY(std::abs((left + right) / 2 - 960) <= 8);
    QVERIFY(std::abs((top + bottom) / 2 - 540) <= 8);
  }

  void frame_coversTheScreenWithoutSizingOrMinMax() {
    testing::FakeUi fake;
    CMainFrame frame;
    QCOMPARE(frame.windowTitle(), QString("Dorvane"));
    const Qt::WindowFlags flags = frame.windowFlags();
    QVERIFY(flags & Qt::WindowTitleHint);
    QVERIFY(flags & Qt::WindowSystemMenuHint);
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QCOMPARE(frame.geometry(), QRect(0, 0, 1024, 768));
    QCOMPARE(frame.minimumSize(), QSize(1024, 768));
    QCOMPARE(frame.maximumSize(), QSize(1024, 768));
    QWidget* client = frame.Client();
    QCOMPARE(frame.centralWidget(), client);
    QCOMPARE(client->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(client->autoFillBackground());
    QCOMPARE(client->palette().color(QPalette::Window), QColor(Qt::black));
  }

  void menu_hasTheThreeMenusInOrder() {
    testing::FakeUi fake;
    CMainFrame frame;
    QStringList titles;
    for (QAction* menu : frame.menuBar()->actions()) titles << menu->text();
    QCOMPARE(titles, (QStringList{"&File", "&Test", "&Help"}));
    QStringList items;
    for (QAction* menu : frame.menuBar()->actions()) {
      for (QAction* item : menu->menu()->actions()) items << item->text();
    }
    QCOMPARE(items, (QStringList{"E&xit", "&Start Test", "結果を見る(&R)", "&About"}));
  }

  void menuItems_areEnabledWithoutShortcuts_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("exit") << kCmdExit << "E&xit";
    QTest::newRow("about") << kCmdAbout << "&About";
    QTest::newRow("start test") << kCmdStartTest << "&Start Test";
    QTest::newRow("view results") << kCmdViewResults << "結果を見る(&R)";
  }

  void menuItems_areEnabledWithoutShortcuts() {
    QFETCH(int, id);
    QFETCH(QString, text);
    testing::FakeUi fake;
    CMainFrame frame;
    QAction* action = frame.CommandAction(id);
    QVERIFY(action);
    QCOMPARE(action->text(), text);
    QVERIFY(action->isEnabled());
    QVERIFY(!action->isCheckable());
    QVERIFY(action->shortcut().isEmpty());
  }

  void optionsShortcut_opensTheOptionDialogWithoutAMenuItem() {
    testing::FakeUi fake;
    CMainFrame frame;
    QVERIFY(!frame.CommandAction(kCmdOptions));
    frame.show();
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    int options = 0;
    apptest::ModalWatcher watcher([&options](QWidget* modal) {
      if (qobject_cast<COption*>(modal)) ++options;
      static_cast<QDialog*>(modal)->reject();
    });
    QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(options, 1);
    QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
    QCOMPARE(options, 1);
  }

  void keyPress_escapeRestoresTopmostFullScreen_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("placements");
    QTest::newRow("escape") << int(Qt::Key_Escape) << 1;
    QTest::newRow("other key") << int(Qt::Key_A) << 0;
  }

  void keyPress_escapeRestoresTopmostFullScreen() {
    QFETCH(int, key);
    QFETCH(int, placements);
    testing::FakeUi fake;
    CMainFrame frame;
    frame.show();
    QTest::keyClick(&frame, Qt::Key(key));
    QCOMPARE(int(fake.placements.size()), placements);
    if (placements == 0) return;
    QCOMPARE(fake.placements[0].window, ui::HandleOf(&frame));
    QCOMPARE(fake.placements[0].width, 1024);
    QCOMPARE(fake.placements[0].height, 768);
  }

  void close_tearsDownDisplayAndTimer_data() {
    QTest::addColumn<bool>("throughExit");
    QTest::newRow("close box") << false;
    QTest::newRow("E&xit") << true;
  }

  void close_tearsDownDisplayAndTimer() {
    QFETCH(bool, throughExit);
    testing::FakeUi fake;
    apptest::DisplayLog log;
    apptest::ScopedPresenterFactory factory(apptest::LoggingPresenterFactory(&log));
    CMainFrame frame;
    frame.show();
    QCOMPARE(InitDisplay(ui::HandleOf(&frame)), 1);
    MsTimerStart();
    QVERIFY(MsTimerRunning());

    if (throughExit) {
      frame.CommandAction(kCmdExit)->trigger();
    } else {
      QVERIFY(frame.close());
    }
    QVERIFY(!frame.isVisible());
    QCOMPARE(log.destroyed, 1);
    QVERIFY(!displayState.presenter);
    QVERIFY(!displayState.window);
    QVERIFY(!MsTimerRunning());
  }

  void destroy_withoutClosing_tearsDownDisplayAndTimer() {
    testing::FakeUi fake;
    apptest::DisplayLog log;
    apptest::ScopedPresenterFactory factory(apptest::LoggingPresenterFactory(&log));
    auto frame = std::make_unique<CMainFrame>();
    QCOMPARE(InitDisplay(ui::HandleOf(frame.get())), 1);
    MsTimerStart();
    frame.reset();
    QCOMPARE(log.destroyed, 1);
    QVERIFY(!MsTimerRunning());
  }

  void click_startsTestOnlyInsideTheSquare_data() {
    QTest::addColumn<int>("dx");
    QTest::addColumn<int>("dy");
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("dialogs");
    QTest::newRow("centre") << 0 << 0 << int(Qt::LeftButton) << 1;
    QTest::newRow("first inside column") << -255 << 0 << int(Qt::LeftButton) << 1;
    QTest::newRow("square's left column") << -256 << 0 << int(Qt::LeftButton) << 0;
    QTest::newRow("square's top row") << 0 << -256 << int(Qt::LeftButton) << 0;
    QTest::newRow("last inside row") << 0 << 255 << int(Qt::LeftButton) << 1;
    QTest::newRow("right button") << 0 << 0 << int(Qt::RightButton) << 0;
  }

  void click_startsTestOnlyInsideTheSquare() {
    QFETCH(int, dx);
    QFETCH(int, dy);
    QFETCH(int, button);
    QFETCH(int, dialogs);
    testing::FakeUi fake;
    CMainFrame frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    int subjectDialogs = 0;
    apptest::ModalWatcher watcher([&subjectDialogs](QWidget* modal) {
      if (qobject_cast<CSubject*>(modal)) ++subjectDialogs;
      static_cast<QDialog*>(modal)->reject();
    });
    const QSize client = frame.Client()->PhysicalSize();
    const QPoint at(client.width() / 2 + dx, client.height() / 2 + dy);
    QTest::mouseClick(frame.Client(), Qt::MouseButton(button), {}, at);
    QCOMPARE(subjectDialogs, dialogs);
  }

  void close_whileATestRuns_isRefused() {
    testing::FakeUi fake;
    apptest::DisplayLog log;
    apptest::ScopedPresenterFactory factory(apptest::LoggingPresenterFactory(&log));
    CMainFrame frame;
    frame.show();
    QCOMPARE(InitDisplay(ui::HandleOf(&frame)), 1);
    bool closedDuringTest = true;
    apptest::ModalWatcher watcher([&](QWidget* modal) {
      closedDuringTest = frame.close();
      static_cast<QDialog*>(modal)->reject();
    });
    frame.OnCommand(kCmdStartTest);
    QVERIFY(!closedDuringTest);
    QVERIFY(frame.isVisible());
    QCOMPARE(log.destroyed, 0);
    QVERIFY(frame.close());
    QCOMPARE(log.destroyed, 1);
  }
};

QTEST_MAIN(MainFrameTest)
#include "main_frame_test.moc"
