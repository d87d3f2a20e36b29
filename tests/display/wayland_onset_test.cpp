// Runs as a client of a headless Wayland compositor: every frame the
// presenter hands over is timed by the compositor's presentation feedback.
#include <QGuiApplication>
#include <QWindow>
#include <QtTest>
#include <vector>

#include "display/gl_presenter.h"
#include "procedure/tick_clock.h"

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
};

QTEST_MAIN(WaylandOnsetTest)
#include "wayland_onset_test.moc"
