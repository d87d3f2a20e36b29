// Runs under a virtual X server with Mesa's OpenGL: what reaches the window is
// read back from the X server, so these tests see what a subject would see.
#include "display/gl_presenter.h"

#include <QElapsedTimer>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <QtTest>
#include <memory>
#include <vector>

using display::GlPresenter;

Q_DECLARE_METATYPE(GlPresenter::Path)
Q_DECLARE_METATYPE(QSurface::SurfaceType)
Q_DECLARE_METATYPE(ui::Rect)

namespace {

constexpr int kCanvasWidth = 1024;
constexpr int kCanvasHeight = 768;
// Rows longer than the canvas, with bright padding: a presenter that ignores
// the pitch shows the padding or slanted quadrants.
constexpr int kPitch = kCanvasWidth * 4 + 64;

const QColor kRed(255, 0, 0);
const QColor kGreen(0, 255, 0);
const QColor kBlue(0, 0, 255);
const QColor kYellow(255, 255, 0);
const QColor kBlack(0, 0, 0);

// A canvas of four coloured quadrants, pixels blue, green, red, 0.
struct Canvas {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(size_t(kPitch) * kCanvasHeight, 0xFF);

  Canvas(QColor topLeft, QColor topRight, QColor bottomLeft, QColor bottomRight) {
    for (int y = 0; y < kCanvasHeight; ++y) {
      for (int x = 0; x < kCanvasWidth; ++x) {
        const bool right = x >= kCanvasWidth / 2;
        const QColor c = y < kCanvasHeight / 2 ? (right ? topRight : topLeft)
                                               : (right ? bottomRight : bottomLeft);
        uint8_t* p = &bytes[size_t(y) * kPitch + size_t(x) * 4];
        p[0] = uint8_t(c.blue());
        p[1] = uint8_t(c.green());
        p[2] = uint8_t(c.red());
        p[3] = 0;
      }
    }
  }
  bool PresentOn(GlPresenter& presenter, const ui::Rect& target) const {
    return presenter.Present(bytes.data(), kCanvasWidth, kCanvasHeight, kPitch, target);
  }
};

const Canvas& Quadrants() {
  static const Canvas canvas(kRed, kGreen, kBlue, kYellow);
  return canvas;
}
const Canvas& Rotated() {
  static const Canvas canvas(kGreen, kYellow, kRed, kBlue);
  return canvas;
}

// A full-screen, frameless window like the test window.
std::unique_ptr<QWindow> ShowWindow(QSurface::SurfaceType type) {
  auto window = std::make_unique<QWindow>();
  window->setSurfaceType(type);
  window->setFlags(Qt::Window | Qt::FramelessWindowHint);
  window->setGeometry(0, 0, 1920, 1080);
  window->show();
  return window;
}

QImage Grab(WId id) {
  return QGuiApplication::primaryScreen()->grabWindow(id).toImage();
}

bool Near(QRgb actual, const QColor& expected) {
  return qAbs(qRed(actual) - expected.red()) <= 2 && qAbs(qGreen(actual) - expected.green()) <= 2 &&
         qAbs(qBlue(actual) - expected.blue()) <= 2;
}

QString Describe(QPoint p, QRgb actual, const QColor& expected) {
  return QString("at (%1, %2): got %3, expected %4")
      .arg(p.x())
      .arg(p.y())
      .arg(QColor(actual).name(), expected.name());
}

#define CHECK_PIXEL(image, point, colour)                                 \
  do {                                                                    \
    const QPoint p_ = (point);                                            \
    const QRgb a_ = (image).pixel(p_);                                    \
    QVERIFY2(Near(a_, (colour)), qPrintable(Describe(p_, a_, (colour)))); \
  } while (0)

// The screen point where canvas point (x, y) lands in `target`.
QPoint OnScreen(const ui::Rect& target, double x, double y) {
  return QPoint(target.left + int(x * target.Width() / kCanvasWidth),
                target.top + int(y * target.Height() / kCanvasHeight));
}

// Checks that `image` shows the quadrants in `target` and black around it.
void CheckQuadrants(const QImage& image, const ui::Rect& t, QColor topLeft, QColor topRight,
                    QColor bottomLeft, QColor bottomRight) {
  QCOMPARE(image.size(), QSize(1920, 1080));
  CHECK_PIXEL(image, OnScreen(t, 256, 192), topLeft);
  CHECK_PIXEL(image, OnScreen(t, 768, 192), topRight);
  CHECK_PIXEL(image, OnScreen(t, 256, 576), bottomLeft);
  CHECK_PIXEL(image, OnScreen(t, 768, 576), bottomRight);
  // The corner pixels of the target belong to the canvas's corners.
  CHECK_PIXEL(image, QPoint(t.left, t.top), topLeft);
  CHECK_PIXEL(image, QPoint(t.right - 1, t.top), topRight);
  CHECK_PIXEL(image, QPoint(t.left, t.bottom - 1), bottomLeft);
  CHECK_PIXEL(image, QPoint(t.right - 1, t.bottom - 1), bottomRight);
  const int midX = (t.left + t.right) / 2;
  const int midY = (t.top + t.bottom) / 2;
  if (t.left > 0) CHECK_PIXEL(image, QPoint(t.left - 1, midY), kBlack);
  if (t.left > 0) CHECK_PIXEL(image, QPoint(0, 0), kBlack);
  if (t.right < 1920) CHECK_PIXEL(image, QPoint(t.right, midY), kBlack);
  if (t.right < 1920) CHECK_PIXEL(image, QPoint(1919, 1079), kBlack);
  if (t.top > 0) CHECK_PIXEL(image, QPoint(midX, t.top - 1), kBlack);
  if (t.bottom < 1080) CHECK_PIXEL(image, QPoint(midX, t.bottom), kBlack);
}

// The period the pacing must keep: the screen's refresh, or 60 Hz where the
// screen reports none.
double ExpectedPeriod() {
  const double hz = QGuiApplication::primaryScreen()->refreshRate();
  return 1.0 / (hz >= 20.0 && hz <= 1000.0 ? hz : 60.0);
}

// The second run of these tests turns OpenGL off in the platform plugin:
// then every frame must come through the raster path, and look the same.
bool OpenGlOffered() { return qEnvironmentVariable("QT_XCB_GL_INTEGRATION") != "none"; }

const ui::Rect kLetterbox{240, 0, 1680, 1080};
// Unscaled and off-centre, so that a target flipped upside down for OpenGL
// the wrong way lands somewhere else.
const ui::Rect kOffset{100, 50, 1124, 818};

void AddPathRows() {
  QTest::addColumn<GlPresenter::Path>("path");
  QTest::addColumn<bool>("expectGl");
  QTest::newRow("opengl") << GlPresenter::Path::kAuto << true;
  QTest::newRow("raster") << GlPresenter::Path::kRaster << false;
}

}  // namespace

class GlPresenterTest : public QObject {
  Q_OBJECT

 private slots:
  void present_showsCanvasInTargetAndBlackAround_data() {
    QTest::addColumn<GlPresenter::Path>("path");
    QTest::addColumn<QSurface::SurfaceType>("surface");
    QTest::addColumn<ui::Rect>("target");
    QTest::addColumn<bool>("expectGl");
    const auto gl = QSurface::OpenGLSurface;
    const auto raster = QSurface::RasterSurface;
    QTest::newRow("opengl, letterbox") << GlPresenter::Path::kAuto << gl << kLetterbox << true;
    QTest::newRow("opengl, offset") << GlPresenter::Path::kAuto << gl << kOffset << true;
    QTest::newRow("forced raster, letterbox")
        << GlPresenter::Path::kRaster << gl << kLetterbox << false;
    QTest::newRow("forced raster, offset") << GlPresenter::Path::kRaster << gl << kOffset << false;
    QTest::newRow("raster window") << GlPresenter::Path::kAuto << raster << kLetterbox << false;
  }
  void present_showsCanvasInTargetAndBlackAround() {
    QFETCH(GlPresenter::Path, path);
    QFETCH(QSurface::SurfaceType, surface);
    QFETCH(ui::Rect, target);
    QFETCH(bool, expectGl);
    expectGl = expectGl && OpenGlOffered();
    auto window = ShowWindow(surface);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    GlPresenter presenter(window.get(), path);
    // A first, different frame over the whole window: the second must
    // replace both the picture and the black around it.
    QVERIFY(Rotated().PresentOn(presenter, ui::Rect{0, 0, 1920, 1080}));
    QVERIFY(Quadrants().PresentOn(presenter, target));
    QCOMPARE(presenter.LastFrameUsedOpenGl(), expectGl);
    CheckQuadrants(Grab(window->winId()), target, kRed, kGreen, kBlue, kYellow);
  }

  void fillScreen_showsColourEverywhere_data() { AddPathRows(); }
  void fillScreen_showsColourEverywhere() {
    QFETCH(GlPresenter::Path, path);
    QFETCH(bool, expectGl);
    expectGl = expectGl && OpenGlOffered();
    auto window = ShowWindow(QSurface::OpenGLSurface);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    GlPresenter presenter(window.get(), path);
    QVERIFY(Quadrants().PresentOn(presenter, kLetterbox));
    QVERIFY(presenter.FillScreen(0x00336699));
    QCOMPARE(presenter.LastFrameUsedOpenGl(), expectGl);
    const QImage image = Grab(window->winId());
    const QColor expected(0x99, 0x66, 0x33);
    for (const QPoint p : {QPoint(0, 0), QPoint(600, 270), QPoint(1320, 810), QPoint(1919, 1079)}) {
      CHECK_PIXEL(image, p, expected);
    }
  }

  void waits_lastAtLeastTheirRefreshPeriods_data() {
    QTest::addColumn<GlPresenter::Path>("path");
    QTest::addColumn<bool>("present");
    QTest::newRow("opengl, wait") << GlPresenter::Path::kAuto << false;
    QTest::newRow("opengl, present") << GlPresenter::Path::kAuto << true;
    QTest::newRow("raster, wait") << GlPresenter::Path::kRaster << false;
    QTest::newRow("raster, present") << GlPresenter::Path::kRaster << true;
  }
  void waits_lastAtLeastTheirRefreshPeriods() {
    QFETCH(GlPresenter::Path, path);
    QFETCH(bool, present);
    auto window = ShowWindow(QSurface::OpenGLSurface);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    GlPresenter presenter(window.get(), path);
    QVERIFY(presenter.FillScreen(0));  // start-up costs go before the clock starts
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 30; ++i) {
      if (present) {
        QVERIFY(Quadrants().PresentOn(presenter, kLetterbox));
      } else {
        presenter.WaitVerticalBlank();
      }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    QVERIFY2(seconds >= 25 * ExpectedPeriod(),
             qPrintable(QString("30 calls took %1 ms").arg(seconds * 1000)));
  }

  void hiddenWindow_drawsNothingButKeepsPace_data() { AddPathRows(); }
  void hiddenWindow_drawsNothingButKeepsPace() {
    QFETCH(GlPresenter::Path, path);
    auto window = ShowWindow(QSurface::OpenGLSurface);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->hide();
    QTRY_VERIFY(!window->isExposed());
    GlPresenter presenter(window.get(), path);
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < 10; ++i) QVERIFY(!Quadrants().PresentOn(presenter, kLetterbox));
    QVERIFY(!presenter.FillScreen(0));
    QVERIFY(timer.nsecsElapsed() / 1e9 >= 8 * ExpectedPeriod());
  }

  void widgetWindow_isLeftToTheWidget_data() { AddPathRows(); }
  void widgetWindow_isLeftToTheWidget() {
    QFETCH(GlPresenter::Path, path);
    QWidget widget;
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(80, 80, 80));
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
    widget.setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    widget.setGeometry(0, 0, 1920, 1080);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    GlPresenter presenter(widget.windowHandle(), path);
    QVERIFY(!Quadrants().PresentOn(presenter, kLetterbox));
    QVERIFY(!presenter.FillScreen(0x0000FF));
    presenter.WaitVerticalBlank();
    QCoreApplication::processEvents();
    CHECK_PIXEL(Grab(widget.winId()), QPoint(600, 270), QColor(80, 80, 80));
  }

  void windowDeletedWhileBound_isNoLongerUsed_data() { AddPathRows(); }
  void windowDeletedWhileBound_isNoLongerUsed() {
    QFETCH(GlPresenter::Path, path);
    auto window = ShowWindow(QSurface::OpenGLSurface);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    GlPresenter presenter(window.get(), path);
    QVERIFY(Quadrants().PresentOn(presenter, kLetterbox));
    window.reset();
    QVERIFY(!Quadrants().PresentOn(presenter, kLetterbox));
    QVERIFY(!presenter.FillScreen(0));
    presenter.WaitVerticalBlank();
    // And it recovers when bound to a new window.
    auto next = ShowWindow(QSurface::OpenGLSurface);
    QVERIFY(QTest::qWaitForWindowExposed(next.get()));
    presenter.BindWindow(next.get());
    QVERIFY(Quadrants().PresentOn(presenter, kLetterbox));
    CheckQuadrants(Grab(next->winId()), kLetterbox, kRed, kGreen, kBlue, kYellow);
  }

  void platformWindowRemade_isDrawnAgain_data() { AddPathRows(); }
  void platformWindowRemade_isDrawnAgain() {
    QFETCH(GlPresenter::Path, path);
    QFETCH(bool, expectGl);
    expectGl = expectGl && OpenGlOffered();
    auto window = ShowWindow(QSurface::OpenGLSurface);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    GlPresenter presenter(window.get(), path);
    QVERIFY(Quadrants().PresentOn(presenter, kLetterbox));
    // The surface goes away under the presenter and comes back as a new one.
    window->destroy();
    QVERIFY(!Quadrants().PresentOn(presenter, kLetterbox));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(Rotated().PresentOn(presenter, kOffset));
    QCOMPARE(presenter.LastFrameUsedOpenGl(), expectGl);
    CheckQuadrants(Grab(window->winId()), kOffset, kGreen, kYellow, kRed, kBlue);
  }

  void rebinding_movesFramesToTheNewWindow_data() { AddPathRows(); }
  void rebinding_movesFramesToTheNewWindow() {
    QFETCH(GlPresenter::Path, path);
    auto first = ShowWindow(QSurface::OpenGLSurface);
    QVERIFY(QTest::qWaitForWindowExposed(first.get()));
    GlPresenter presenter(first.get(), path);
    QVERIFY(Quadrants().PresentOn(presenter, kLetterbox));
    auto second = ShowWindow(QSurface::OpenGLSurface);
    QVERIFY(QTest::qWaitForWindowExposed(second.get()));
    presenter.BindWindow(second.get());
    QVERIFY(Rotated().PresentOn(presenter, kLetterbox));
    CheckQuadrants(Grab(second->winId()), kLetterbox, kGreen, kYellow, kRed, kBlue);
    second->hide();
    presenter.BindWindow(first.get());
    QVERIFY(presenter.FillScreen(0x00FF0000));
    CHECK_PIXEL(Grab(first->winId()), QPoint(600, 270), kBlue);
    presenter.BindWindow(nullptr);
    QVERIFY(!Quadrants().PresentOn(presenter, kLetterbox));
  }

  void badCanvas_isRefused_data() {
    QTest::addColumn<bool>("nullPixels");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("pitch");
    QTest::newRow("no pixels") << true << kCanvasWidth << kCanvasHeight << kPitch;
    QTest::newRow("pitch shorter than a row") << false << kCanvasWidth << kCanvasHeight << 4092;
    QTest::newRow("zero width") << false << 0 << kCanvasHeight << kPitch;
    QTest::newRow("negative height") << false << kCanvasWidth << -768 << kPitch;
  }
  void badCanvas_isRefused() {
    QFETCH(bool, nullPixels);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, pitch);
    auto window = ShowWindow(QSurface::OpenGLSurface);
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    GlPresenter presenter(window.get());
    QVERIFY(Quadrants().PresentOn(presenter, kLetterbox));
    const uint8_t* pixels = nullPixels ? nullptr : Rotated().bytes.data();
    QVERIFY(!presenter.Present(pixels, width, height, pitch, kLetterbox));
    // The window keeps the last good frame.
    CheckQuadrants(Grab(window->winId()), kLetterbox, kRed, kGreen, kBlue, kYellow);
  }
};

QTEST_MAIN(GlPresenterTest)
#include "gl_presenter_test.moc"
