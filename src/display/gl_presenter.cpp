#include "display/gl_presenter.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QImage>
#include <QMatrix4x4>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLTextureBlitter>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif
#ifndef GL_UNPACK_ROW_LENGTH
#define GL_UNPACK_ROW_LENGTH 0x0CF2
#endif

namespace display {
namespace {

constexpr double kDefaultRefreshHz = 60.0;
// Swaps timed at start-up to tell a driver that waits for the refresh from one
// that does not (Mesa under a virtual X server returns at once).
constexpr int kCalibrationSwaps = 6;

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

QSize PhysicalSize(const QWindow* window) {
  const qreal ratio = window->devicePixelRatio();
  return QSize(qRound(window->width() * ratio), qRound(window->height() * ratio));
}

// The canvas as an image without copying it where its layout allows.
QImage CanvasImage(const uint8_t* pixels, int width, int height, int pitch) {
  if (pitch % 4 == 0 && reinterpret_cast<uintptr_t>(pixels) % 4 == 0) {
    return QImage(pixels, width, height, pitch, QImage::Format_RGB32);
  }
  QImage copy(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    std::copy_n(pixels + static_cast<size_t>(y) * pitch, width * 4, copy.scanLine(y));
  }
  return copy;
}

QColor ColourOf(uint32_t colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

}  // namespace

GlPresenter::GlPresenter(ui::WindowHandle window, Path path) : forceRaster_(path == Path::kRaster) {
  BindWindow(window);
}

GlPresenter::~GlPresenter() {
  ReleaseGl();
  backingStore_.reset();
}

void GlPresenter::BindWindow(ui::WindowHandle window) {
  QWindow* next = static_cast<QWindow*>(window);
  if (next == window_.data() && next) return;
  if (context_ && QOpenGLContext::currentContext() == context_.get()) context_->doneCurrent();
  window_ = next;
  calibrated_ = false;
  swapsBlock_ = false;
  backingStore_.reset();
  backingStoreHandle_ = nullptr;
  last_ = Last::kNothing;
}

double GlPresenter::RefreshPeriod() const {
  QScreen* screen = window_ ? window_->screen() : QGuiApplication::primaryScreen();
  double hz = screen ? screen->refreshRate() : 0.0;
  // A virtual or odd screen may report nothing usable.
  if (!(hz >= 20.0 && hz <= 1000.0)) hz = kDefaultRefreshHz;
  return 1.0 / hz;
}

GlPresenter::Target GlPresenter::TargetOf(QWindow* window) const {
  if (!window) return Target::kNone;
  // A widget's window is painted by the widget's own backing store; drawing
  // into it as well would fight over its content.
  if (window->inherits("QWidgetWindow")) return Target::kNone;
  if (!forceRaster_ && !glUnavailable_ && window->supportsOpenGL()) return Target::kOpenGl;
  return Target::kRaster;
}

void GlPresenter::SleepToNextBoundary() {
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(RefreshPeriod()));
  const Clock::time_point now = Clock::now();
  if (phase_ == Clock::time_point{} || now < phase_) phase_ = now;
  // Boundaries are whole periods from one fixed phase, so oversleeping one
  // wait does not push the later ones back.
  const auto periods = (now - phase_) / period + 1;
  std::this_thread::sleep_until(phase_ + periods * period);
}

void GlPresenter::NoteSwap() {
  const Clock::time_point now = Clock::now();
  if (swapsBlock_) {
    // Two swaps less than half a period apart cannot both have waited for a
    // refresh: from here on the clock keeps the pace.
    const auto halfPeriod = std::chrono::duration<double>(0.5 * RefreshPeriod());
    if (lastSwap_ != Clock::time_point{} && now - lastSwap_ < halfPeriod) {
      swapsBlock_ = false;
    } else {
      // A swap that waited marks a real boundary: keep the clock in step
      // with it for the times the clock has to stand in.
      phase_ = now;
    }
  }
  lastSwap_ = now;
}

bool GlPresenter::MakeCurrent() {
  QWindow* window = window_.data();
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!context_ || !context_->isValid()) {
      ReleaseGl();
      auto context = std::make_unique<QOpenGLContext>();
      QSurfaceFormat format = window->requestedFormat();
      format.setSwapInterval(1);
      context->setFormat(format);
      if (!context->create()) {
        // No OpenGL here: the raster path takes over for good.
        glUnavailable_ = true;
        return false;
      }
      context_ = std::move(context);
      calibrated_ = false;
    }
    if (context_->makeCurrent(window)) {
      if (!blitter_) {
        blitter_ = std::make_unique<QOpenGLTextureBlitter>();
        if (!blitter_->create()) {
          blitter_.reset();
          return false;
        }
      }
      return true;
    }
    // Only a lost context is worth a new one; otherwise this frame is skipped.
    if (context_->isValid()) return false;
  }
  return false;
}

void GlPresenter::ReleaseGl() {
  if (!context_) return;
  if (context_->isValid()) {
    // The names belong to the context; free them while it is current on
    // anything, the bound window or, when that is gone, an off-screen surface.
    QOffscreenSurface offscreen;
    bool current = window_ && window_->handle() &&
                   window_->surfaceType() == QSurface::OpenGLSurface &&
                   context_->makeCurrent(window_.data());
    if (!current) {
      offscreen.setFormat(context_->format());
      offscreen.create();
      current = offscreen.isValid() && context_->makeCurrent(&offscreen);
    }
    if (current) {
      if (texture_) context_->functions()->glDeleteTextures(1, &texture_);
      blitter_.reset();
      context_->doneCurrent();
    }
  }
  blitter_.reset();
  texture_ = 0;
  textureWidth_ = 0;
  textureHeight_ = 0;
  context_.reset();
  calibrated_ = false;
  if (last_ == Last::kCanvas) last_ = Last::kNothing;
}

void GlPresenter::UploadCanvas(const uint8_t* pixels, int width, int height, int pitch) {
  QOpenGLFunctions* gl = context_->functions();
  const bool es = context_->isOpenGLES();
  // OpenGL ES has no blue-first upload format without an extension; upload
  // as is and let the blitter exchange red and blue.
  canvasFlipped_ = es;
  const GLenum format = es ? GL_RGBA : GL_BGRA;
  if (!texture_ || width != textureWidth_ || height != textureHeight_) {
    if (!texture_) gl->glGenTextures(1, &texture_);
    gl->glBindTexture(GL_TEXTURE_2D, texture_);
    // Linear: the stretch is by a fraction (1.40625 on a 1080-line screen),
    // and nearest would draw every third canvas pixel twice as wide,
    // giving ragged disc edges and uneven strokes.
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, format, GL_UNSIGNED_BYTE,
                     nullptr);
    textureWidth_ = width;
    textureHeight_ = height;
  }
  gl->glBindTexture(GL_TEXTURE_2D, texture_);
  gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  const int rowPixels = pitch / 4;
  const bool rowLength = !es || context_->format().majorVersion() >= 3;
  if (pitch == width * 4) {
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, pixels);
  } else if (rowLength && pitch % 4 == 0) {
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, rowPixels);
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE, pixels);
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  } else {
    std::vector<uint8_t> packed(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
      std::copy_n(pixels + static_cast<size_t>(y) * pitch, width * 4,
                  packed.begin() + static_cast<size_t>(y) * width * 4);
    }
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, format, GL_UNSIGNED_BYTE,
                        packed.data());
  }
  gl->glBindTexture(GL_TEXTURE_2D, 0);
}

void GlPresenter::DrawLastGl() {
  QOpenGLFunctions* gl = context_->functions();
  const QSize size = PhysicalSize(window_.data());
  gl->glDisable(GL_SCISSOR_TEST);
  gl->glDisable(GL_BLEND);
  gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
  gl->glViewport(0, 0, size.width(), size.height());
  if (last_ == Last::kFill) {
    const QColor c = ColourOf(fillColour_);
    gl->glClearColor(c.redF(), c.greenF(), c.blueF(), 1.0f);
  } else {
    gl->glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  }
  gl->glClear(GL_COLOR_BUFFER_BIT);
  const ui::Rect& t = canvasTarget_;
  if (last_ != Last::kCanvas || !texture_ || t.Width() <= 0 || t.Height() <= 0) return;
  // GL counts rows from the bottom; the target counts them from the top.
  gl->glViewport(t.left, size.height() - t.bottom, t.Width(), t.Height());
  // The canvas's fourth byte is 0: keep the cleared alpha of 1 so that a
  // window with an alpha channel stays opaque.
  gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
  blitter_->bind(GL_TEXTURE_2D);
  blitter_->setRedBlueSwizzle(canvasFlipped_);
  blitter_->blit(texture_, QMatrix4x4(), QOpenGLTextureBlitter::OriginTopLeft);
  blitter_->release();
  gl->glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

bool GlPresenter::SwapGl() {
  context_->swapBuffers(window_.data());
  // Returning only once the GPU is done makes Present's return mean that the
  // frame is on its way, not merely queued.
  context_->functions()->glFinish();
  return true;
}

bool GlPresenter::CalibrateSwaps() {
  calibrated_ = true;
  swapsBlock_ = false;
  DrawLastGl();
  SwapGl();  // the first swap may carry one-off set-up costs
  // Only the swaps are timed, with the drawing already done: a slow renderer
  // must not pass for one that waits for the refresh.
  std::vector<double> swaps;
  for (int i = 0; i < kCalibrationSwaps; ++i) {
    DrawLastGl();
    context_->functions()->glFinish();
    const Clock::time_point start = Clock::now();
    SwapGl();
    swaps.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }
  std::sort(swaps.begin(), swaps.end());
  swapsBlock_ = swaps[swaps.size() / 2] > 0.5 * RefreshPeriod();
  lastSwap_ = Clock::time_point{};
  NoteSwap();
  return swapsBlock_;
}

bool GlPresenter::ReadyForGl() {
  QWindow* window = window_.data();
  if (TargetOf(window) != Target::kOpenGl || !window->isExposed()) return false;
  if (!MakeCurrent()) return false;
  if (!calibrated_) CalibrateSwaps();
  return true;
}

bool GlPresenter::ReadyForRaster() {
  QWindow* window = window_.data();
  if (TargetOf(window) != Target::kRaster || !window->isExposed()) return false;
  if (!backingStore_ || backingStoreHandle_ != window->handle()) {
    // A new platform window (the old one destroyed and made again) needs a
    // new backing store.
    backingStore_ = std::make_unique<QBackingStore>(window);
    backingStoreHandle_ = window->handle();
  }
  if (backingStore_->size() != window->size()) backingStore_->resize(window->size());
  return true;
}

void GlPresenter::PaintRaster(const QImage* canvas) {
  QWindow* window = window_.data();
  const QRect all(QPoint(0, 0), window->size());
  backingStore_->beginPaint(all);
  {
    QPainter painter(backingStore_->paintDevice());
    // Work in physical pixels, as the target rectangle is given in them.
    const qreal ratio = window->devicePixelRatio();
    painter.scale(1.0 / ratio, 1.0 / ratio);
    const QSize size = PhysicalSize(window);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(QRect(QPoint(0, 0), size),
                     last_ == Last::kFill ? ColourOf(fillColour_) : QColor(Qt::black));
    if (canvas) {
      const ui::Rect& t = canvasTarget_;
      painter.setRenderHint(QPainter::SmoothPixmapTransform);
      painter.drawImage(QRect(t.left, t.top, t.Width(), t.Height()), *canvas);
    }
  }
  backingStore_->endPaint();
}

void GlPresenter::FlushRaster() {
  backingStore_->flush(QRect(QPoint(0, 0), window_->size()));
}

void GlPresenter::WaitVerticalBlank() {
  if (ReadyForGl() && swapsBlock_) {
    DrawLastGl();
    SwapGl();
    NoteSwap();
    return;
  }
  SleepToNextBoundary();
}

bool GlPresenter::FillScreen(uint32_t colour) {
  const Clock::time_point start = Clock::now();
  timing_ = FrameTiming{};
  lastFrameGl_ = false;
  bool shown = false;
  if (ReadyForGl()) {
    last_ = Last::kFill;
    fillColour_ = colour;
    DrawLastGl();
    shown = SwapGl();
    NoteSwap();
    lastFrameGl_ = true;
  } else if (ReadyForRaster()) {
    last_ = Last::kFill;
    fillColour_ = colour;
    PaintRaster(nullptr);
    FlushRaster();
    shown = true;
  }
  timing_.drawMs = Milliseconds(Clock::now() - start);
  return shown;
}

bool GlPresenter::Present(const uint8_t* pixels, int width, int height, int pitch,
                          const ui::Rect& target) {
  timing_ = FrameTiming{};
  lastFrameGl_ = false;
  Clock::time_point start = Clock::now();
  if (!pixels || width <= 0 || height <= 0 || pitch < width * 4) {
    // A bad frame is not shown, but it still takes its refresh.
    SleepToNextBoundary();
    return false;
  }
  auto waitForBoundary = [&] {
    const Clock::time_point before = Clock::now();
    SleepToNextBoundary();
    const Clock::time_point after = Clock::now();
    timing_.waitMs = Milliseconds(after - before);
    start += after - before;
  };
  if (ReadyForGl()) {
    UploadCanvas(pixels, width, height, pitch);
    last_ = Last::kCanvas;
    canvasTarget_ = target;
    DrawLastGl();
    if (!swapsBlock_) {
      // The frame is rendered before the wait, so that only the swap is left
      // for after the boundary: a software renderer can take longer than a
      // period to draw, and the frame should still appear at the boundary.
      context_->functions()->glFinish();
      waitForBoundary();
    }
    const bool shown = SwapGl();
    NoteSwap();
    lastFrameGl_ = true;
    timing_.drawMs = Milliseconds(Clock::now() - start);
    return shown;
  }
  if (ReadyForRaster()) {
    const QImage canvas = CanvasImage(pixels, width, height, pitch);
    last_ = Last::kCanvas;
    canvasTarget_ = target;
    PaintRaster(&canvas);
    waitForBoundary();
    FlushRaster();
    timing_.drawMs = Milliseconds(Clock::now() - start);
    return true;
  }
  // Nothing to draw into (no window, hidden, or a widget's own): keep the pace.
  SleepToNextBoundary();
  return false;
}

std::unique_ptr<Presenter> MakeGlPresenter(ui::WindowHandle window) {
  return std::make_unique<GlPresenter>(window);
}

}  // namespace display
