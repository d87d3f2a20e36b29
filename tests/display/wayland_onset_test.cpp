// Runs as a client of a headless Wayland compositor: every frame the
// presenter hands over is timed by the compositor's presentation feedback.
#include <QGuiApplication>
#include <QWindow>
#include <QtTest>
#include <vector>

#include "display/gl_presenter.h"
#include "timing/tick_clock.h"

class WaylandOnsetTest : public QObject {
  Q_OBJECT

 private slots:
  void frames_timedByThePresentationFeedback() {
    QVERIFY(QGuiApplication::platformName().startsWith(QLatin1String("wayland")));
    QWindow window;
    window.setFlags(Qt::Window | Qt::FramelessWindowHint);
    window.resize(1024, 768);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    display::GlPresenter presenter(&window);
    QVERIFY(presenter.FillScreen(0));
    std::vector<uint8_t> canvas(1024 * 768 * 4);
    for (int frame = 0; frame < 4; ++frame) {
      std::fill(canvas.begin(), canvas.end(), frame % 2 ? 0x00 : 0xFF);
      QVERIFY(presenter.Present(canvas.data(), 1024, 768, 4096, ui::Rect{0, 0, 1024, 768}));
      const int64_t returned = tick_clock::NowNs();
      const FrameOnset onset = presenter.LastOnset();
      QCOMPARE(OnsetSourceName(onset.source), "wayland-feedback");
      // On our clock, whatever clock the compositor keeps.
      QVERIFY(onset.requestNs < onset.onsetNs && onset.onsetNs <= returned);
    }
  }

  // A Wayland buffer carries alpha, and compositors that blend by it (GNOME's,
  // KDE's) would show the desktop through any pixel below 255. The canvas's
  // own fourth byte is 0.
  void frames_handedOverOpaque() {
    QWindow window;
    window.setFlags(Qt::Window | Qt::FramelessWindowHint);
    window.resize(1024, 768);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    display::GlPresenter presenter(&window);
    std::vector<uint8_t> canvas(1024 * 768 * 4);
    for (size_t i = 0; i < canvas.size(); ++i) canvas[i] = i % 4 == 3 ? 0 : (i / 4096) % 2 * 0xFF;
    QVERIFY(presenter.Present(canvas.data(), 1024, 768, 4096, ui::Rect{0, 0, 1024, 768}));
    const QImage presented = presenter.PresentedImageForTesting();
    QVERIFY(!presented.isNull());
    int seeThrough = 0;
    if (presented.hasAlphaChannel()) {
      for (int y = 0; y < presented.height(); ++y)
        for (int x = 0; x < presented.width(); ++x)
          seeThrough += qAlpha(presented.pixel(x, y)) != 255;
    }
    QCOMPARE(seeThrough, 0);
    QCOMPARE(presented.pixelColor(10, 1).rgb(), QColor(Qt::white).rgb());  // rows 1, 3, ... white
  }
};

QTEST_MAIN(WaylandOnsetTest)
#include "wayland_onset_test.moc"
