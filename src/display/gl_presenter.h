// The presenter that shows the canvas on the real screen: an OpenGL context
// of its own on the bound window, with a raster path (QBackingStore) where
// OpenGL is missing, and a clock at the refresh rate where the driver does
// not wait for the refresh itself.
#pragma once

#include <QImage>
#include <QPointer>
#include <QWindow>
#include <chrono>
#include <cstdint>
#include <memory>

#include "display/frame_content.h"
#include "display/gl_target.h"
#include "display/onset_tracker.h"
#include "display/presenter.h"
#include "display/raster_target.h"
#include "display/refresh_pacer.h"

namespace display {

/// Shows canvas frames in the bound window through OpenGL or, failing that,
/// through a raster backing store. Windows that belong to a widget (the main
/// window) paint themselves: nothing is drawn into them, but the waits still
/// keep the refresh's pace.
class GlPresenter : public Presenter {
 public:
  enum class Path {
    kAuto,    ///< OpenGL where the window and a hardware driver allow it, else raster
    kRaster,  ///< never OpenGL (for tests and measurements)
    kOpenGl,  ///< OpenGL where the window allows it, even on a software rasteriser
              ///< (for tests and measurements)
  };

  /// Time spent in the last Present or FillScreen.
  struct FrameTiming {
    double waitMs = 0;  ///< waiting for the refresh boundary
    double drawMs = 0;  ///< uploading, drawing and handing the frame over
  };

  /// Binds `window` (a QWindow*, may be null); nothing is drawn until the
  /// first frame.
  explicit GlPresenter(ui::WindowHandle window, Path path = Path::kAuto);
  ~GlPresenter() override;
  GlPresenter(const GlPresenter&) = delete;
  GlPresenter& operator=(const GlPresenter&) = delete;

  // Present and FillScreen return false when nothing was drawn: no window, a
  // hidden or a widget's window, or a bad canvas. Present still waits then.
  void BindWindow(ui::WindowHandle window) override;
  void WaitVerticalBlank() override;
  bool FillScreen(uint32_t colour) override;
  bool Present(const uint8_t* pixels, int width, int height, int pitch,
               const ui::Rect& target) override;
  void SetOnsetSpot(const ui::Rect& canvasArea) override { onsets_.SetFocus(canvasArea); }
  FrameOnset LastOnset() const override { return onsets_.Last(); }
  PresentationInfo Info() const override;
  bool TargetSize(int* width, int* height) const override;

  /// For tests: OpenGL fails to draw (make-current or blitter set-up), as a
  /// broken driver does on a valid context.
  void FailOpenGlForTesting() { gl_.FailForTesting(); }
  /// For tests: swap durations as if measured, fed to the blocking decision.
  void NoteSwapDurationForTesting(double seconds) { pacer_.NoteSwapDuration(seconds); }

  /// For tests: the window's buffer as the last frame or fill left it, read
  /// back (OpenGL's back buffer drawn again); null when nothing was drawn.
  QImage PresentedImageForTesting();

  /// True when the last frame was drawn through OpenGL.
  bool LastFrameUsedOpenGl() const { return lastFrameGl_; }
  /// True when waits follow the clock rather than blocking buffer swaps.
  bool PacedByClock() const { return !pacer_.SwapsBlock(); }
  /// The refresh period the clock keeps, in seconds.
  double RefreshPeriod() const;
  /// Time spent in the last Present or FillScreen.
  FrameTiming LastFrameTiming() const { return timing_; }

 private:
  using Clock = std::chrono::steady_clock;
  enum class Target { kNone, kOpenGl, kRaster };

  Target TargetOf(QWindow* window) const;
  bool ReadyForGl();
  bool ReadyForRaster();
  void SwapAndNote();
  bool PresentGl(const uint8_t* pixels, int width, int height, int pitch, const ui::Rect& target,
                 const OnsetSpot& spot, Clock::time_point start);
  bool PresentRaster(const uint8_t* pixels, int width, int height, int pitch,
                     const ui::Rect& target, const OnsetSpot& spot, Clock::time_point start);
  Clock::time_point WaitForBoundary(Clock::time_point* start);
  /// The next frames show the canvas stretched into `target`.
  void NoteCanvas(const ui::Rect& target);
  bool FinishCanvas(Clock::time_point meantFor, const uint8_t* pixels, int width, int height,
                    int pitch, const ui::Rect& target, Clock::time_point start);

  QPointer<QWindow> window_;
  bool forceRaster_ = false;
  bool allowSoftwareGl_ = false;
  bool rasterPreferred_ = false;  // OpenGL is a software rasteriser: raster is faster

  FrameContent content_;
  RefreshPacer pacer_{[this] { return RefreshPeriod(); }};
  GlTarget gl_{pacer_, content_};
  RasterTarget raster_{content_};
  OnsetTracker onsets_;
  bool lastFrameGl_ = false;
  FrameTiming timing_;
};

/// Makes the presenter InitDisplay installs for the main window.
std::unique_ptr<Presenter> MakeGlPresenter(ui::WindowHandle window);

}  // namespace display
