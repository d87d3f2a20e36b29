#include "display/gl_presenter.h"

#include <QGuiApplication>
#include <QScreen>
#include <cstdint>

namespace display {
namespace {

constexpr double kDefaultRefreshHz = 60.0;

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

GlPresenter::GlPresenter(ui::WindowHandle window, Path path)
    : forceRaster_(path == Path::kRaster), allowSoftwareGl_(path == Path::kOpenGl) {
  BindWindow(window);
}

GlPresenter::~GlPresenter() {
  gl_.Release(window_.data());
  raster_.Reset();
}

void GlPresenter::BindWindow(ui::WindowHandle window) {
  QWindow* next = static_cast<QWindow*>(window);
  if (next == window_.data() && next) return;
  gl_.Rebind();
  window_ = next;
  pacer_.Reset();
  raster_.Reset();
  content_.kind = FrameContent::Kind::kNothing;
  onsets_.Reset();
}

PresentationInfo GlPresenter::Info() const {
  PresentationInfo info;
  QWindow* window = window_.data();
  const Target target = TargetOf(window);
  const bool swapsBlock = pacer_.SwapsBlock();
  info.path = target == Target::kOpenGl   ? (swapsBlock ? "opengl-vsync" : "opengl-clock")
              : target == Target::kRaster ? "raster"
                                          : "none";
  info.nominalRefreshS = RefreshPeriod();
  if (swapsBlock) info.measuredRefreshS = pacer_.MeasuredPeriod();
  info.fellBackToRaster = gl_.FellBack();
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
  if (!forceRaster_ && gl_.Usable() && !rasterPreferred_ && window->supportsOpenGL()) {
    return Target::kOpenGl;
  }
  return Target::kRaster;
}

bool GlPresenter::ReadyForGl() {
  QWindow* window = window_.data();
  if (TargetOf(window) != Target::kOpenGl || !window->isExposed()) return false;
  if (!gl_.MakeCurrent(window)) return false;
  if (gl_.Software() && !allowSoftwareGl_) {
    // A software rasteriser draws on the processor like the raster path,
    // only slower, and never waits for a refresh either.
    gl_.DoneCurrent();
    rasterPreferred_ = true;
    return false;
  }
  if (!pacer_.Calibrated()) gl_.Calibrate(window);
  return true;
}

bool GlPresenter::ReadyForRaster() {
  QWindow* window = window_.data();
  if (TargetOf(window) != Target::kRaster || !window->isExposed()) return false;
  raster_.Prepare(window);
  return true;
}

// The frame is drawn and finished: only the swap is timed.
void GlPresenter::SwapAndNote() {
  const Clock::time_point started = Clock::now();
  gl_.Swap(window_.data());
  pacer_.NoteSwap(started);
}

void GlPresenter::WaitVerticalBlank() {
  if (ReadyForGl() && pacer_.SwapsBlock()) {
    gl_.Draw(window_.data());
    gl_.Finish();
    SwapAndNote();
    return;
  }
  pacer_.SleepToNextBoundary();
}

bool GlPresenter::FillScreen(uint32_t colour) {
  const Clock::time_point start = Clock::now();
  timing_ = FrameTiming{};
  lastFrameGl_ = false;
  bool shown = false;
  if (ReadyForGl()) {
    content_.kind = FrameContent::Kind::kFill;
    content_.fillColour = colour;
    gl_.Draw(window_.data());
    gl_.Finish();
    SwapAndNote();
    shown = true;
    lastFrameGl_ = true;
  }
  if (!shown && ReadyForRaster()) {
    content_.kind = FrameContent::Kind::kFill;
    content_.fillColour = colour;
    raster_.Paint(window_.data(), false);
    raster_.Flush(window_.data());
    shown = true;
  }
  if (shown) onsets_.KeepFill((colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF));
  timing_.drawMs = Milliseconds(Clock::now() - start);
  return shown;
}

// Sleeps to the refresh boundary, counting the sleep as waiting rather than
// drawing (`start` moves on by it); returns the boundary.
GlPresenter::Clock::time_point GlPresenter::WaitForBoundary(Clock::time_point* start) {
  const Clock::time_point before = Clock::now();
  const Clock::time_point boundary = pacer_.SleepToNextBoundary();
  const Clock::time_point after = Clock::now();
  timing_.waitMs = Milliseconds(after - before);
  *start += after - before;
  return boundary;
}

void GlPresenter::NoteCanvas(const ui::Rect& target) {
  content_.kind = FrameContent::Kind::kCanvas;
  content_.canvasTarget = target;
}

// After the canvas frame went out: its onset, and the canvas kept as what the
// screen now shows.
bool GlPresenter::FinishCanvas(Clock::time_point meantFor, const uint8_t* pixels, int width,
                               int height, int pitch, const ui::Rect& target,
                               Clock::time_point start) {
  onsets_.Finish(meantFor, RefreshPeriod());
  onsets_.KeepCanvas(pixels, width, height, pitch, target);
  timing_.drawMs = Milliseconds(Clock::now() - start);
  return true;
}

bool GlPresenter::PresentGl(const uint8_t* pixels, int width, int height, int pitch,
                            const ui::Rect& target, const OnsetSpot& spot,
                            Clock::time_point start) {
  QWindow* window = window_.data();
  gl_.UploadCanvas(pixels, width, height, pitch);
  NoteCanvas(target);
  gl_.Draw(window);
  Clock::time_point meantFor = pacer_.NextBoundary(Clock::now());
  // The frame is rendered before the wait, so that only the swap is left
  // for after the boundary: a software renderer can take longer than a
  // period to draw, and the frame should still appear at the boundary.
  gl_.Finish();
  if (!pacer_.SwapsBlock()) meantFor = WaitForBoundary(&start);
  onsets_.Arm(window, spot, RefreshPeriod());
  SwapAndNote();
  lastFrameGl_ = true;
  return FinishCanvas(meantFor, pixels, width, height, pitch, target, start);
}

bool GlPresenter::PresentRaster(const uint8_t* pixels, int width, int height, int pitch,
                                const ui::Rect& target, const OnsetSpot& spot,
                                Clock::time_point start) {
  QWindow* window = window_.data();
  raster_.SetCanvas(pixels, width, height, pitch);
  NoteCanvas(target);
  raster_.Paint(window, true);
  const Clock::time_point meantFor = WaitForBoundary(&start);
  onsets_.Arm(window, spot, RefreshPeriod());
  raster_.Flush(window);
  return FinishCanvas(meantFor, pixels, width, height, pitch, target, start);
}

bool GlPresenter::Present(const uint8_t* pixels, int width, int height, int pitch,
                          const ui::Rect& target) {
  timing_ = FrameTiming{};
  lastFrameGl_ = false;
  const ui::Rect focus = onsets_.Begin();
  const Clock::time_point start = Clock::now();
  if (!pixels || width <= 0 || height <= 0 || pitch < width * 4) {
    // A bad frame is not shown, but it still takes its refresh.
    onsets_.Finish(pacer_.SleepToNextBoundary(), RefreshPeriod());
    return false;
  }
  const OnsetSpot spot = onsets_.Spot(pixels, width, height, pitch, target, focus);
  if (ReadyForGl()) return PresentGl(pixels, width, height, pitch, target, spot, start);
  if (ReadyForRaster()) return PresentRaster(pixels, width, height, pitch, target, spot, start);
  // Nothing to draw into (no window, hidden, or a widget's own): keep the pace.
  onsets_.Finish(pacer_.SleepToNextBoundary(), RefreshPeriod());
  return false;
}

QImage GlPresenter::PresentedImageForTesting() {
  QWindow* window = window_.data();
  if (!window || content_.kind == FrameContent::Kind::kNothing) return QImage();
  if (lastFrameGl_) return gl_.ReadBack(window);
  return raster_.ReadBack();
}

std::unique_ptr<Presenter> MakeGlPresenter(ui::WindowHandle window) {
  return std::make_unique<GlPresenter>(window);
}

}  // namespace display
