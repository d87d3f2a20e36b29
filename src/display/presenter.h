// How the canvas reaches the screen: the window the display is bound to,
// its refresh, and the stretched copy of the canvas into it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "timing/trial_timing.h"
#include "ui/services.h"

namespace display {

/// Shows 32-bit canvas frames in a window, paced by the screen's refresh.
class Presenter {
 public:
  virtual ~Presenter() = default;
  /// Makes `window` the one that frames are shown in (null: none).
  virtual void BindWindow(ui::WindowHandle window) = 0;
  /// Blocks until the end of the next vertical blank.
  virtual void WaitVerticalBlank() = 0;
  /// Shows the whole window in one colour (0x00BBGGRR) at once.
  virtual bool FillScreen(uint32_t colour) = 0;
  /// Shows the canvas (pixels blue, green, red, 0 with the given pitch)
  /// stretched into `target` of the window, black elsewhere, on the next
  /// refresh; returns when the frame is on its way to the screen.
  virtual bool Present(const uint8_t* pixels, int width, int height, int pitch,
                       const ui::Rect& target) = 0;
  /// The part of the canvas the next frame is about (the patch it changes):
  /// where its onset is best confirmed.
  virtual void SetOnsetSpot(const ui::Rect& canvasArea) { (void)canvasArea; }
  /// When the frame of the last Present became visible, and how that is known.
  virtual FrameOnset LastOnset() const { return FrameOnset{}; }
  /// How frames are presented.
  virtual PresentationInfo Info() const { return PresentationInfo{}; }
  /// The bound window's size in physical pixels, where frames are drawn into it.
  virtual bool TargetSize(int* width, int* height) const {
    (void)width;
    (void)height;
    return false;
  }
};

/// Makes the presenter for the window given to InitDisplay.
using PresenterFactory = std::function<std::unique_ptr<Presenter>(ui::WindowHandle)>;

/// Installs the factory InitDisplay uses; returns the previous one.
PresenterFactory SetPresenterFactory(PresenterFactory factory);

}  // namespace display
