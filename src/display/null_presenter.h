// A presenter that shows nothing: for rendering the canvas off the screen
// and for timing what comes before a frame reaches the window.
#pragma once

#include "display/presenter.h"

namespace display {

class NullPresenter : public Presenter {
 public:
  void BindWindow(ui::WindowHandle) override {}
  void WaitVerticalBlank() override {}
  bool FillScreen(uint32_t) override { return true; }
  bool Present(const uint8_t*, int, int, int, const ui::Rect& target) override {
    drawnInto = target;
    return true;
  }
  bool TargetSize(int* width, int* height) const override {
    if (windowWidth <= 0) return false;
    *width = windowWidth;
    *height = windowHeight;
    return true;
  }

  /// The window's size in pixels; 0: not known, the screen's size is used.
  int windowWidth = 0;
  int windowHeight = 0;
  /// Where the last frame was drawn into the window.
  ui::Rect drawnInto;
};

}  // namespace display
