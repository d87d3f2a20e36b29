// Runs under a virtual X server with Mesa's OpenGL: what reaches the window is
// read back from the X server, as a subject would see it.
#include "display/gl_presenter.h"

#include <QScreen>
#include <QtTest>
#include <array>

#include "timing/tick_clock.h"

using display::GlPresenter;
using Quadrants = std::array<QColor, 4>;  // top-left, top-right, bottom-left, bottom-right
using Points = std::vector<std::pair<QPoint, QColor>>;
Q_DECLARE_METATYPE(GlPresenter::Path)
Q_DECLARE_METATYPE(ui::Rect)

namespace {

constexpr int kWidth = 1024, kHeight = 768;
// Rows longer than the canvas, with bright padding: a presenter that ignores
// the pitch shows the padding or slanted quadrants.
constexpr int kPitch = kWidth * 4 + 64;
const Quadrants kPicture{Qt::red, Qt::green, Qt::blue, Qt::yellow};

// Four coloured quadrants, pixels blue, green, red, 0.
std::vector<uint8_t> Canvas(const Quadrants& q) {
  std::vector<uint8_t> bytes(size_t(kPitch) * kHeight, 0xFF);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int x = int(i % kPitch) / 4, y = int(i / kPitch);
    const QColor& c = q[(y >= kHeight / 2) * 2 + (x >= kWidth / 2)];
    if (x < kWidth) bytes[i] = uint8_t(std::array{c.blue(), c.green(), c.red(), 0}[i % 4]);
  }
  return bytes;
}

// The points of the window that do not show their colour; empty when all do.
QString Mismatches(const QWindow& window, const Points& expected) {
  const QImage image = QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage();
  QString wrong;
  for (const auto& [p, c] : expected) {
    const QColor a = image.pixelColor(p);
    if (qAbs(a.red() - c.red()) + qAbs(a.green() - c.green()) + qAbs(a.blue() - c.blue()) > 6)
      wrong += QString("(%1, %2) is %3, not %4; ").arg(p.x()).arg(p.y()).arg(a.name(), c.name());
  }
  return wrong;
}

// How many pixels of `image` a compositor that blends by alpha would show
// something else through, and where the first is; empty when none.
QString SeeThrough(const QImage& image) {
  if (!image.hasAlphaChannel()) return QString();
  const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
  qsizetype count = 0;
  QPoint first;
  for (int y = 0; y < rgba.height(); ++y) {
    const uchar* row = rgba.constScanLine(y);
    for (int x = 0; x < rgba.width(); ++x) {
      if (row[4 * x + 3] == 0xFF) continue;
      if (count++ == 0) first = QPoint(x, y);
    }
  }
  return count == 0 ? QString()
                    : QString("%1 pixels not opaque, the first at (%2, %3) with alpha %4")
                          .arg(count)
                          .arg(first.x())
                          .arg(first.y())
                          .arg(qAlpha(image.pixel(first)));
}

// Full screen and frameless, as the test window is; true once exposed.
bool ShowLikeTheTestWindow(QWindow* window) {
  window->setSurfaceType(QSurface::OpenGLSurface);
  window->setFlags(Qt::Window | Qt::FramelessWindowHint);
  window->setGeometry(0, 0, 1920, 1080);
  window->show();
  return QTest::qWaitForWindowExposed(window);
}

}  // namespace

class GlPresenterTest : public QObject {
  Q_OBJECT

 private slots:
  void frames_showInTargetFillEverywhereAtRefreshPace_data() {
    QTest::addColumn<GlPresenter::Path>("path");
    QTest::addColumn<ui::Rect>("t");  // the target rectangle
    // Off-centre and unscaled, so that a target flipped the wrong way for OpenGL lands elsewhere.
    for (const auto& [name, target] : {std::pair{"letterbox", ui::Rect{240, 0, 1680, 1080}},
                                       std::pair{"offset", ui::Rect{100, 50, 1124, 818}}}) {
      QTest::addRow("opengl, %s", name) << GlPresenter::Path::kOpenGl << target;
      QTest::addRow("raster, %s", name) << GlPresenter::Path::kRaster << target;
    }
  }
  void frames_showInTargetFillEverywhereAtRefreshPace() {
    QFETCH(GlPresenter::Path, path);
    QFETCH(ui::Rect, t);
    QWindow window;
    QVERIFY(ShowLikeTheTestWindow(&window));
    GlPresenter presenter(&window, path);
    const std::vector<uint8_t> picture = Canvas(kPicture);
    auto show = [&](const std::vector<uint8_t>& canvas, const ui::Rect& r) {
      return presenter.Present(canvas.data(), kWidth, kHeight, kPitch, r);
    };
    // A different frame first: the second must replace it, black included.
    QVERIFY(show(Canvas({Qt::green, Qt::yellow, Qt::red, Qt::blue}), ui::Rect{0, 0, 1920, 1080}));
    QVERIFY(show(picture, t));
    // The second run turns OpenGL off in the platform plugin.
    const bool glOffered = qEnvironmentVariable("QT_XCB_GL_INTEGRATION") != "none";
    QCOMPARE(presenter.LastFrameUsedOpenGl(), path == GlPresenter::Path::kOpenGl && glOffered);
    const int midX = (t.left + t.right) / 2, midY = (t.top + t.bottom) / 2;
    Points expected{
        {{t.left, t.top}, kPicture[0]},        {{t.right - 1, t.top}, kPicture[1]},
        {{t.left, t.bottom - 1}, kPicture[2]}, {{t.right - 1, t.bottom - 1}, kPicture[3]},
        {{t.left - 1, midY}, Qt::black},       {{t.right, midY}, Qt::black}};
    if (t.bottom < 1080) expected.push_back({{midX, t.bottom}, Qt::black});
    QCOMPARE(Mismatches(window, expected), QString());

    QVERIFY(presenter.FillScreen(0x00336699));
    const QColor fill(0x99, 0x66, 0x33);
    QCOMPARE(Mismatches(window, {{{0, 0}, fill}, {{midX, midY}, fill}, {{1919, 1079}, fill}}),
             QString());

    // Waits and frames keep the screen's refresh, or 60 Hz where it reports none.
    const double hz = QGuiApplication::primaryScreen()->refreshRate();
    const double period = 1.0 / (hz >= 20.0 && hz <= 1000.0 ? hz : 60.0);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 30; ++i) i % 2 ? void(show(picture, t)) : presenter.WaitVerticalBlank();
    QVERIFY2(timer.nsecsElapsed() / 1e9 >= 25 * period,
             qPrintable(QString("30 calls took %1 ms").arg(timer.elapsed())));
  }

  // Each frame's onset is confirmed through the X server (its pixels read
  // back), lies between the call and its return, and the frame is on the
  // screen once Present returns. A frame that changes nothing cannot be
  // confirmed, and says so.
  void onsets_confirmedAndFlagged_data() {
    QTest::addColumn<GlPresenter::Path>("path");
    QTest::newRow("opengl") << GlPresenter::Path::kOpenGl;
    QTest::newRow("raster") << GlPresenter::Path::kRaster;
  }
  void onsets_confirmedAndFlagged() {
    QFETCH(GlPresenter::Path, path);
    QWindow window;
    QVERIFY(ShowLikeTheTestWindow(&window));
    GlPresenter presenter(&window, path);
    QVERIFY(presenter.FillScreen(0));
    const ui::Rect target{240, 0, 1680, 1080};
    for (const Quadrants& q : {kPicture, Quadrants{Qt::blue, Qt::red, Qt::yellow, Qt::green}}) {
      const std::vector<uint8_t> canvas = Canvas(q);
      presenter.SetOnsetSpot(ui::Rect{600, 500, 720, 620});  // in the bottom-right quadrant
      QVERIFY(presenter.Present(canvas.data(), kWidth, kHeight, kPitch, target));
      const int64_t returned = tick_clock::NowNs();
      const FrameOnset onset = presenter.LastOnset();
      QCOMPARE(OnsetSourceName(onset.source), "readback");
      QVERIFY(onset.requestNs <= onset.onsetNs && onset.onsetNs <= returned);
      QCOMPARE(Mismatches(window, {{{target.right - 2, target.bottom - 2}, q[3]}}), QString());
    }
    const std::vector<uint8_t> same = Canvas({Qt::blue, Qt::red, Qt::yellow, Qt::green});
    QVERIFY(presenter.Present(same.data(), kWidth, kHeight, kPitch, target));
    QCOMPARE(OnsetSourceName(presenter.LastOnset().source), "none");
    QCOMPARE(presenter.LastOnset().onsetNs, presenter.LastOnset().returnNs);
  }

  // Whatever the window's buffer can hold, it holds opaque pixels only: the
  // canvas's fourth byte is 0, and a window with an alpha channel (as on
  // Wayland) must not take it for alpha.
  void presented_opaqueInAWindowWithAlpha_data() {
    QTest::addColumn<GlPresenter::Path>("path");
    QTest::addColumn<bool>("fill");
    for (const bool fill : {false, true}) {
      const char* what = fill ? "fill" : "canvas";
      QTest::addRow("opengl, %s", what) << GlPresenter::Path::kOpenGl << fill;
      QTest::addRow("raster, %s", what) << GlPresenter::Path::kRaster << fill;
    }
  }
  void presented_opaqueInAWindowWithAlpha() {
    QFETCH(GlPresenter::Path, path);
    QFETCH(bool, fill);
    QWindow window;
    QSurfaceFormat format = window.requestedFormat();
    format.setAlphaBufferSize(8);
    window.setFormat(format);
    QVERIFY(ShowLikeTheTestWindow(&window));
    GlPresenter presenter(&window, path);
    const std::vector<uint8_t> picture = Canvas(kPicture);
    const ui::Rect t{240, 0, 1680, 1080};
    QVERIFY(presenter.Present(picture.data(), kWidth, kHeight, kPitch, t));
    if (fill) QVERIFY(presenter.FillScreen(0x00336699));
    const QImage presented = presenter.PresentedImageForTesting();
    QCOMPARE(presented.size(), QSize(1920, 1080));
    QCOMPARE(SeeThrough(presented), QString());
    // The colours are the canvas's, as they are in memory.
    const QColor inside = presented.pixelColor(fill ? QPoint(5, 5) : QPoint(t.left + 5, t.top + 5));
    QCOMPARE(inside.rgb(), fill ? QColor(0x99, 0x66, 0x33).rgb() : kPicture[0].rgb());
  }

  // OpenGL that cannot draw into the window hands it to the raster path for
  // good, in the same call: the subject never sees a blank test.
  void brokenOpenGl_rasterTakesOver() {
    QWindow window;
    QVERIFY(ShowLikeTheTestWindow(&window));
    GlPresenter presenter(&window, GlPresenter::Path::kOpenGl);
    presenter.FailOpenGlForTesting();
    const std::vector<uint8_t> picture = Canvas(kPicture);
    const ui::Rect t{240, 0, 1680, 1080};
    QVERIFY(presenter.Present(picture.data(), kWidth, kHeight, kPitch, t));
    QVERIFY(!presenter.LastFrameUsedOpenGl());
    QCOMPARE(Mismatches(window, {{{t.left, t.top}, kPicture[0]},
                                 {{t.right - 1, t.bottom - 1}, kPicture[3]}}),
             QString());
    QCOMPARE(QString::fromStdString(presenter.Info().path), QString("raster"));
    QVERIFY(presenter.Info().fellBackToRaster);
  }

  // Whether swaps wait for the refresh is decided from a window of swaps:
  // one fast pair (a queue filling after an idle spell) changes nothing.
  void swapsBlock_decidedFromAWindow() {
    QWindow window;
    GlPresenter presenter(&window, GlPresenter::Path::kRaster);
    const double period = presenter.RefreshPeriod();
    for (int i = 0; i < 8; ++i) presenter.NoteSwapDurationForTesting(0.8 * period);
    QVERIFY(!presenter.PacedByClock());
    presenter.NoteSwapDurationForTesting(0.0001);
    presenter.NoteSwapDurationForTesting(0.0001);
    QVERIFY(!presenter.PacedByClock());
    for (int i = 0; i < 4; ++i) presenter.NoteSwapDurationForTesting(0.0001);
    QVERIFY(presenter.PacedByClock());
  }
};

QTEST_MAIN(GlPresenterTest)
#include "gl_presenter_test.moc"
