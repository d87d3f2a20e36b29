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
#include <deque>
#include <memory>
#include <vector>

#include "display/onset_probe.h"
#include "display/presenter.h"

class QBackingStore;
class QOpenGLContext;
class QOpenGLTextureBlitter;

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
  void SetOnsetSpot(const ui::Rect& canvasArea) override { focus_ = canvasArea; }
  FrameOnset LastOnset() const override { return onset_; }
  PresentationInfo Info() const override;
  bool TargetSize(int* width, int* height) const override;

  /// For tests: OpenGL fails to draw (make-current or blitter set-up), as a
  /// broken driver does on a valid context.
  void FailOpenGlForTesting() { failGlForTesting_ = true; }
  /// For tests: swap durations as if measured, fed to the blocking decision.
  void NoteSwapDurationForTesting(double seconds) { NoteSwapDuration(seconds); }

  /// For tests: the window's buffer as the last frame or fill left it, read
  /// back (OpenGL's back buffer drawn again); null when nothing was drawn.
  QImage PresentedImageForTesting();

  /// True when the last frame was drawn through OpenGL.
  bool LastFrameUsedOpenGl() const { return lastFrameGl_; }
  /// True when waits follow the clock rather than blocking buffer swaps.
  bool PacedByClock() const { return !swapsBlock_; }
  /// The refresh period the clock keeps, in seconds.
  double RefreshPeriod() const;
  /// Time spent in the last Present or FillScreen.
  FrameTiming LastFrameTiming() const { return timing_; }

 private:
  using Clock = std::chrono::steady_clock;
  enum class Target { kNone, kOpenGl, kRaster };
  enum class Last { kNothing, kFill, kCanvas };

  Target TargetOf(QWindow* window) const;
  bool ReadyForGl();
  bool ReadyForRaster();
  bool MakeCurrent();
  void ReleaseGl();
  bool CalibrateSwaps();
  Clock::time_point SleepToNextBoundary();
  Clock::time_point NextBoundary(Clock::time_point from) const;
  void NoteSwap(Clock::time_point started);
  void NoteSwapDuration(double seconds);
  void GlFailed();
  OnsetSpot FindSpot(const uint8_t* pixels, int width, int height, int pitch,
                     const ui::Rect& target) const;
  void ArmProbe(const OnsetSpot& spot);
  void FinishOnset(Clock::time_point meantFor);
  void KeepShown(const uint8_t* pixels, int width, int height, int pitch, const ui::Rect& target);
  void UploadCanvas(const uint8_t* pixels, int width, int height, int pitch);
  void DrawLastGl();
  double SwapGl();
  void PaintRaster(const QImage* canvas);
  void FlushRaster();

  QPointer<QWindow> window_;
  bool forceRaster_ = false;
  bool allowSoftwareGl_ = false;
  bool rasterPreferred_ = false;  // OpenGL is a software rasteriser: raster is faster
  bool glUnavailable_ = false;
  bool glFailed_ = false;  // OpenGL could not draw into this window: raster for good
  bool fellBack_ = false;
  bool failGlForTesting_ = false;

  std::unique_ptr<QOpenGLContext> context_;
  std::unique_ptr<QOpenGLTextureBlitter> blitter_;
  unsigned texture_ = 0;
  int textureWidth_ = 0;
  int textureHeight_ = 0;
  bool canvasFlipped_ = false;  // red and blue exchanged on upload (OpenGL ES)
  bool calibrated_ = false;
  bool swapsBlock_ = false;
  bool rendererKnown_ = false;
  bool softwareGl_ = false;  // a software rasteriser: swaps never wait for a refresh

  std::unique_ptr<QBackingStore> backingStore_;
  QImage rasterCanvas_;  // the last canvas, opaque, as the raster path draws it
  const void* backingStoreHandle_ = nullptr;  // the platform window it was made for

  // What the window should show: redrawn on every swap, since the back
  // buffer's content is undefined after a swap.
  Last last_ = Last::kNothing;
  uint32_t fillColour_ = 0;
  ui::Rect canvasTarget_;

  Clock::time_point lastSwap_;        // when the last swap returned
  Clock::time_point phase_;           // a refresh boundary; the others are whole periods away
  std::deque<double> swapDurations_;  // of recent back-to-back swaps, seconds
  std::deque<double> swapIntervals_;  // between the returns of blocking back-to-back swaps
  bool lastFrameGl_ = false;
  FrameTiming timing_;

  // Onsets: where the next frame is about, what the screen shows now, and
  // the probe that confirms frames in the bound window.
  ui::Rect focus_;
  std::vector<uint8_t> shown_;  // the canvas on the screen, 4 x width per row
  int shownWidth_ = 0;
  int shownHeight_ = 0;
  ui::Rect shownTarget_;
  bool shownIsFill_ = true;
  uint32_t shownFill_ = 0;
  std::unique_ptr<OnsetProbe> probe_;
  QWindow* probeWindow_ = nullptr;
  bool probeArmed_ = false;
  FrameOnset onset_;
};

/// Makes the presenter InitDisplay installs for the main window.
std::unique_ptr<Presenter> MakeGlPresenter(ui::WindowHandle window);

}  // namespace display
