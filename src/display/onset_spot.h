// Where on the screen a new frame can be seen to arrive: a spot whose colour
// the frame changes, found from the canvas pixels alone.
#pragma once

#include <cstdint>
#include <vector>

#include "ui/services.h"

namespace display {

/// A spot of the window that the next frame changes, and its colours.
struct OnsetSpot {
  bool valid = false;
  int x = 0;  ///< window pixel, physical
  int y = 0;
  uint32_t newRgb = 0;  ///< 0xRRGGBB the frame shows there
  uint32_t oldRgb = 0;  ///< 0xRRGGBB shown there before
};

/// What the screen shows now: one colour, or a canvas stretched to a target.
struct ShownFrame {
  bool isFill = true;
  uint32_t fillRgb = 0;         ///< 0xRRGGBB, when isFill
  std::vector<uint8_t> pixels;  ///< the canvas, 4 x width per row, when not
  int width = 0;
  int height = 0;
  ui::Rect target;

  /// Records a fill of `rgb` (0xRRGGBB).
  void KeepFill(uint32_t rgb);
  /// Records a copy of the canvas shown in `target`.
  void KeepCanvas(const uint8_t* canvas, int canvasWidth, int canvasHeight, int pitch,
                  const ui::Rect& shownIn);
};

/// A point where the canvas (`pixels`, 4 bytes a pixel, blue first) shows one
/// colour over a small square and `shown` another, mapped into `target`; the
/// `focus` area is searched first. Not valid when there is none or when what
/// the screen shows is not known.
OnsetSpot FindSpot(const uint8_t* pixels, int width, int height, int pitch, const ui::Rect& target,
                   const ui::Rect& focus, const ShownFrame& shown);

/// True when two 0xRRGGBB colours are the same as far as a screen's colour
/// depth and a scaler's rounding can tell.
bool SameColour(uint32_t a, uint32_t b);

}  // namespace display
