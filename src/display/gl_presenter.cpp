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
#include <string>
#include <thread>
#include <vector>

#include "timing/tick_clock.h"

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
// Swaps the blocking decision looks back on, once calibrated: one odd pair
// (queued swaps after an idle spell return at once) must not decide it.
constexpr size_t kSwapWindow = 8;
// How long a frame may take to be confirmed, in refresh periods.
constexpr double kConfirmPeriods = 6.0;
// Half-side of the square around a spot that must be one colour, canvas pixels.
constexpr int kSpotRadius = 2;

int64_t ToNs(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

uint32_t CanvasRgb(const uint8_t* pixels, int pitch, int x, int y) {
  const uint8_t* p = pixels + static_cast<size_t>(y) * pitch + 4 * static_cast<size_t>(x);
  return uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

// The colour of the square of side 2r + 1 around (x, y), when it has one.
bool UniformAt(const uint8_t* pixels, int pitch, int x, int y, uint32_t* rgb) {
  const uint32_t c = CanvasRgb(pixels, pitch, x, y);
  for (int dy = -kSpotRadius; dy <= kSpotRadius; ++dy) {
    for (int dx = -kSpotRadius; dx <= kSpotRadius; ++dx) {
      if (CanvasRgb(pixels, pitch, x + dx, y + dy) != c) return false;
    }
  }
  *rgb = c;
  return true;
}

// True when no blend of the square around (x, y) can show `rgb`: in some
// channel every pixel of it lies clearly on one side of that colour's.
bool NoBlendShows(const uint8_t* pixels, int pitch, int x, int y, uint32_t rgb) {
  constexpr int kMargin = 16;  // beyond SameColour's tolerance
  for (int shift = 0; shift <= 16; shift += 8) {
    const int target = static_cast<int>((rgb >> shift) & 0xFF);
    bool allBelow = true;
    bool allAbove = true;
    for (int dy = -kSpotRadius; dy <= kSpotRadius; ++dy) {
      for (int dx = -kSpotRadius; dx <= kSpotRadius; ++dx) {
        const int v = static_cast<int>((CanvasRgb(pixels, pitch, x + dx, y + dy) >> shift) & 0xFF);
        allBelow = allBelow && v < target - kMargin;
        allAbove = allAbove && v > target + kMargin;
      }
    }
    if (allBelow || allAbove) return true;
  }
  return false;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

QSize PhysicalSize(const QWindow* window) {
  const qreal ratio = window->devicePixelRatio();
  return QSize(qRound(window->width() * ratio), qRound(window->height() * ratio));
}

// The canvas as an opaque image in `image` (reused from frame to frame). The
// canvas's fourth byte is 0, which QImage's RGB32 takes for alpha where it
// copies pixels as they are: a backing store with an alpha channel (Wayland's)
// would then hand the compositor a see-through frame, and compositors that
// blend by alpha show the windows below through the test.
void OpaqueCanvas(const uint8_t* pixels, int width, int height, int pitch, QImage* image) {
  if (image->width() != width || image->height() != height ||
      image->format() != QImage::Format_RGB32) {
    *image = QImage(width, height, QImage::Format_RGB32);
  }
  for (int y = 0; y < height; ++y) {
    const uint8_t* from = pixels + static_cast<size_t>(y) * pitch;
    auto* to = reinterpret_cast<uint32_t*>(image->scanLine(y));
    for (int x = 0; x < width; ++x, from += 4) {
      to[x] = 0xFF000000u | uint32_t{from[2]} << 16 | uint32_t{from[1]} << 8 | from[0];
    }
  }
}

QColor ColourOf(uint32_t colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

}  // namespace

GlPresenter::GlPresenter(ui::WindowHandle window, Path path)
    : forceRaster_(path == Path::kRaster), allowSoftwareGl_(path == Path::kOpenGl) {
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
  swapDurations_.clear();
  swapIntervals_.clear();
  glFailed_ = false;
  backingStore_.reset();
  backingStoreHandle_ = nullptr;
  last_ = Last::kNothing;
  probe_.reset();
  probeWindow_ = nullptr;
  shown_.clear();
  shownIsFill_ = true;
  shownFill_ = 0;
  onset_ = FrameOnset{};
}

PresentationInfo GlPresenter::Info() const {
  PresentationInfo info;
  QWindow* window = window_.data();
  const Target target = TargetOf(window);
  info.path = target == Target::kOpenGl   ? (swapsBlock_ ? "opengl-vsync" : "opengl-clock")
              : target == Target::kRaster ? "raster"
                                          : "none";
  info.nominalRefreshS = RefreshPeriod();
  if (swapsBlock_) {
    info.measuredRefreshS =
        Median(std::vector<double>(swapIntervals_.begin(), swapIntervals_.end()));
  }
  info.fellBackToRaster = fellBack_;
  return info;
}

bool GlPresenter::TargetSize(int* width, int* height) const {
  QWindow* window = window_.data();
  if (TargetOf(window) == Target::kNone) return false;
  const QSize size = PhysicalSize(window);
  if (size.isEmpty()) return false;
  *width = size.width();
  *height = size.height();
  return true;
}

void GlPresenter::GlFailed() {
  // A window OpenGL cannot draw into is drawn through the raster path for the
  // rest of its life: a blank test is worse than a slower one.
  glFailed_ = true;
  fellBack_ = true;
  calibrated_ = false;
  swapsBlock_ = false;
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
  if (!forceRaster_ && !glUnavailable_ && !glFailed_ && !rasterPreferred_ &&
      window->supportsOpenGL()) {
    return Target::kOpenGl;
  }
  return Target::kRaster;
}

GlPresenter::Clock::time_point GlPresenter::NextBoundary(Clock::time_point from) const {
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(RefreshPeriod()));
  if (phase_ == Clock::time_point{} || from < phase_) return from + period;
  // Boundaries are whole periods from one fixed phase, so oversleeping one
  // wait does not push the later ones back.
  const auto periods = (from - phase_) / period + 1;
  return phase_ + periods * period;
}

GlPresenter::Clock::time_point GlPresenter::SleepToNextBoundary() {
  const Clock::time_point now = Clock::now();
  if (phase_ == Clock::time_point{} || now < phase_) phase_ = now;
  const Clock::time_point boundary = NextBoundary(now);
  std::this_thread::sleep_until(boundary);
  return boundary;
}

void GlPresenter::NoteSwapDuration(double seconds) {
  swapDurations_.push_back(seconds);
  while (swapDurations_.size() > kSwapWindow) swapDurations_.pop_front();
  // Decided from a window of swaps: after an idle spell the driver's queue
  // takes one or two swaps at once, which says nothing about the refresh.
  if (softwareGl_) {
    swapsBlock_ = false;
  } else if (swapDurations_.size() >= kSwapWindow / 2) {
    const double median = Median(std::vector<double>(swapDurations_.begin(), swapDurations_.end()));
    swapsBlock_ = median > 0.5 * RefreshPeriod();
  }
}

// `started` is when the swap was called, the frame already drawn.
void GlPresenter::NoteSwap(Clock::time_point started) {
  const Clock::time_point now = Clock::now();
  const double period = RefreshPeriod();
  // Only a swap that follows the previous one closely has a full queue in
  // front of it and so shows whether swaps wait for the refresh.
  const bool backToBack = lastSwap_ != Clock::time_point{} &&
                          std::chrono::duration<double>(started - lastSwap_).count() < period;
  if (backToBack) {
    NoteSwapDuration(std::chrono::duration<double>(now - started).count());
    if (swapsBlock_) {
      swapIntervals_.push_back(std::chrono::duration<double>(now - lastSwap_).count());
      while (swapIntervals_.size() > 4 * kSwapWindow) swapIntervals_.pop_front();
    }
  }
  // A swap that waited marks a real boundary: keep the clock in step with it
  // for the times the clock has to stand in.
  if (swapsBlock_) phase_ = now;
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
        fellBack_ = true;
        return false;
      }
      context_ = std::move(context);
      calibrated_ = false;
    }
    if (!failGlForTesting_ && context_->makeCurrent(window)) {
      if (!rendererKnown_) {
        rendererKnown_ = true;
        const auto* name = context_->functions()->glGetString(GL_RENDERER);
        const std::string renderer = name ? reinterpret_cast<const char*>(name) : "";
        // Software rasterisers hand each frame to the server as an image:
        // their swaps take time but never wait for a refresh.
        for (const char* soft : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
          if (renderer.find(soft) != std::string::npos) softwareGl_ = true;
        }
      }
      if (!blitter_) {
        blitter_ = std::make_unique<QOpenGLTextureBlitter>();
        if (!blitter_->create()) {
          blitter_.reset();
          GlFailed();
          return false;
        }
      }
      return true;
    }
    // Only a lost context is worth a new one; a valid one that cannot draw
    // into the window hands it to the raster path.
    if (context_->isValid()) {
      GlFailed();
      return false;
    }
  }
  GlFailed();
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

// Returns how long the swap itself took, in seconds.
double GlPresenter::SwapGl() {
  const Clock::time_point start = Clock::now();
  context_->swapBuffers(window_.data());
  // Returning only once the GPU is done makes Present's return mean that the
  // frame is on its way, not merely queued.
  context_->functions()->glFinish();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool GlPresenter::CalibrateSwaps() {
  calibrated_ = true;
  swapsBlock_ = false;
  DrawLastGl();
  SwapGl();  // the first swap may carry one-off set-up costs
  // Only the swaps are timed, with the drawing already done: a slow renderer
  // must not pass for one that waits for the refresh.
  std::vector<double> swaps;
  swapDurations_.clear();
  swapIntervals_.clear();
  Clock::time_point previous = Clock::now();
  for (int i = 0; i < kCalibrationSwaps; ++i) {
    DrawLastGl();
    context_->functions()->glFinish();
    swaps.push_back(SwapGl());
    const Clock::time_point now = Clock::now();
    swapIntervals_.push_back(std::chrono::duration<double>(now - previous).count());
    previous = now;
  }
  swapsBlock_ = !softwareGl_ && Median(swaps) > 0.5 * RefreshPeriod();
  swapDurations_.assign(swaps.begin(), swaps.end());
  if (!swapsBlock_) swapIntervals_.clear();
  lastSwap_ = previous;
  if (swapsBlock_) phase_ = previous;
  return swapsBlock_;
}

bool GlPresenter::ReadyForGl() {
  QWindow* window = window_.data();
  if (TargetOf(window) != Target::kOpenGl || !window->isExposed()) return false;
  if (!MakeCurrent()) return false;
  if (softwareGl_ && !allowSoftwareGl_) {
    // A software rasteriser draws on the processor like the raster path,
    // only slower, and never waits for a refresh either.
    context_->doneCurrent();
    rasterPreferred_ = true;
    return false;
  }
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
    context_->functions()->glFinish();
    const Clock::time_point started = Clock::now();
    SwapGl();
    NoteSwap(started);
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
    context_->functions()->glFinish();
    const Clock::time_point started = Clock::now();
    SwapGl();
    NoteSwap(started);
    shown = true;
    lastFrameGl_ = true;
  }
  if (!shown && ReadyForRaster()) {
    last_ = Last::kFill;
    fillColour_ = colour;
    PaintRaster(nullptr);
    FlushRaster();
    shown = true;
  }
  if (shown) {
    shownIsFill_ = true;
    shownFill_ = (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
  }
  timing_.drawMs = Milliseconds(Clock::now() - start);
  return shown;
}

// A point of the canvas where the new frame shows one colour over a small
// square and the screen shows another: its pixel on the screen changes when
// the frame arrives, whatever the scaler does at edges. The focus (the patch
// the frame is about) is searched first, then the whole canvas.
OnsetSpot GlPresenter::FindSpot(const uint8_t* pixels, int width, int height, int pitch,
                                const ui::Rect& target) const {
  OnsetSpot spot;
  if (target.Width() <= 0 || target.Height() <= 0) return spot;
  const bool oldCanvas = !shownIsFill_ && shownWidth_ == width && shownHeight_ == height &&
                         shownTarget_ == target && !shown_.empty();
  if (!shownIsFill_ && !oldCanvas) return spot;  // what the screen shows is not known
  auto search = [&](ui::Rect area, int step) {
    area.left = std::max(area.left, kSpotRadius);
    area.top = std::max(area.top, kSpotRadius);
    area.right = std::min(area.right, width - kSpotRadius);
    area.bottom = std::min(area.bottom, height - kSpotRadius);
    for (int y = area.top; y < area.bottom; y += step) {
      for (int x = area.left; x < area.right; x += step) {
        uint32_t now = 0;
        uint32_t before = shownFill_;
        if (!UniformAt(pixels, pitch, x, y, &now)) continue;
        if (oldCanvas && !UniformAt(shown_.data(), 4 * width, x, y, &before)) {
          // What the screen showed there is a blend; it is enough that no
          // blend of it can pass for the new colour.
          if (!NoBlendShows(shown_.data(), 4 * width, x, y, now)) continue;
          before = CanvasRgb(shown_.data(), 4 * width, x, y);
        } else if (SameColour(now, before)) {
          continue;
        }
        spot.valid = true;
        spot.newRgb = now;
        spot.oldRgb = before;
        // The window pixel whose centre maps to the centre of canvas pixel (x, y).
        spot.x = target.left + static_cast<int>((x + 0.5) * target.Width() / width);
        spot.y = target.top + static_cast<int>((y + 0.5) * target.Height() / height);
        return true;
      }
    }
    return false;
  };
  if (focus_.Width() > 0 && focus_.Height() > 0 && search(focus_, 2)) return spot;
  search(ui::Rect{0, 0, width, height}, 6);
  return spot;
}

void GlPresenter::ArmProbe(const OnsetSpot& spot) {
  QWindow* window = window_.data();
  if (probeWindow_ != window || !probe_) {
    probe_ = MakeOnsetProbe(window);
    probeWindow_ = window;
  }
  probeArmed_ = probe_ != nullptr;
  if (probe_) probe_->Arm(spot, static_cast<int64_t>(kConfirmPeriods * RefreshPeriod() * 1e9));
}

// The frame is handed over; its onset is what the probe confirmed, or the
// hand-over itself, flagged. `meantFor` is the refresh it was meant to catch.
void GlPresenter::FinishOnset(Clock::time_point meantFor) {
  onset_.returnNs = tick_clock::NowNs();
  FrameOnset confirmed;
  if (probeArmed_) confirmed = probe_->Await();
  probeArmed_ = false;
  if (confirmed.Confirmed()) {
    onset_.onsetNs = confirmed.onsetNs;
    onset_.uncertaintyNs = confirmed.uncertaintyNs;
    onset_.source = confirmed.source;
  } else {
    onset_.onsetNs = onset_.returnNs;
    onset_.source = OnsetSource::kNone;
  }
  // steady_clock is the monotonic clock here, the onsets' timeline.
  const int64_t late = onset_.onsetNs - ToNs(meantFor);
  const double period = RefreshPeriod() * 1e9;
  onset_.missedRefreshes = late > 0 ? static_cast<int32_t>(late / period) : 0;
}

void GlPresenter::KeepShown(const uint8_t* pixels, int width, int height, int pitch,
                            const ui::Rect& target) {
  shown_.resize(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    std::copy_n(pixels + static_cast<size_t>(y) * pitch, static_cast<size_t>(width) * 4,
                shown_.begin() + static_cast<ptrdiff_t>(y) * width * 4);
  }
  shownWidth_ = width;
  shownHeight_ = height;
  shownTarget_ = target;
  shownIsFill_ = false;
}

bool GlPresenter::Present(const uint8_t* pixels, int width, int height, int pitch,
                          const ui::Rect& target) {
  timing_ = FrameTiming{};
  lastFrameGl_ = false;
  onset_ = FrameOnset{};
  onset_.requestNs = tick_clock::NowNs();
  const ui::Rect focus = focus_;
  focus_ = ui::Rect{};
  Clock::time_point start = Clock::now();
  if (!pixels || width <= 0 || height <= 0 || pitch < width * 4) {
    // A bad frame is not shown, but it still takes its refresh.
    FinishOnset(SleepToNextBoundary());
    return false;
  }
  auto waitForBoundary = [&] {
    const Clock::time_point before = Clock::now();
    const Clock::time_point boundary = SleepToNextBoundary();
    const Clock::time_point after = Clock::now();
    timing_.waitMs = Milliseconds(after - before);
    start += after - before;
    return boundary;
  };
  focus_ = focus;
  const OnsetSpot spot = FindSpot(pixels, width, height, pitch, target);
  focus_ = ui::Rect{};
  if (ReadyForGl()) {
    UploadCanvas(pixels, width, height, pitch);
    last_ = Last::kCanvas;
    canvasTarget_ = target;
    DrawLastGl();
    Clock::time_point meantFor = NextBoundary(Clock::now());
    // The frame is rendered before the wait, so that only the swap is left
    // for after the boundary: a software renderer can take longer than a
    // period to draw, and the frame should still appear at the boundary.
    context_->functions()->glFinish();
    if (!swapsBlock_) meantFor = waitForBoundary();
    ArmProbe(spot);
    const Clock::time_point started = Clock::now();
    SwapGl();
    NoteSwap(started);
    FinishOnset(meantFor);
    lastFrameGl_ = true;
    KeepShown(pixels, width, height, pitch, target);
    timing_.drawMs = Milliseconds(Clock::now() - start);
    return true;
  }
  if (ReadyForRaster()) {
    OpaqueCanvas(pixels, width, height, pitch, &rasterCanvas_);
    last_ = Last::kCanvas;
    canvasTarget_ = target;
    PaintRaster(&rasterCanvas_);
    const Clock::time_point meantFor = waitForBoundary();
    ArmProbe(spot);
    FlushRaster();
    FinishOnset(meantFor);
    KeepShown(pixels, width, height, pitch, target);
    timing_.drawMs = Milliseconds(Clock::now() - start);
    return true;
  }
  // Nothing to draw into (no window, hidden, or a widget's own): keep the pace.
  FinishOnset(SleepToNextBoundary());
  return false;
}

std::unique_ptr<Presenter> MakeGlPresenter(ui::WindowHandle window) {
  return std::make_unique<GlPresenter>(window);
}

}  // namespace display
