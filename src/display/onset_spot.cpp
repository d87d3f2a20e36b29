#include "display/onset_spot.h"

#include <algorithm>
#include <cstdlib>

namespace display {
namespace {

// Half-side of the square around a spot that must be one colour, canvas pixels.
constexpr int kSpotRadius = 2;

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

}  // namespace

void ShownFrame::KeepFill(uint32_t rgb) {
  isFill = true;
  fillRgb = rgb;
}

void ShownFrame::KeepCanvas(const uint8_t* canvas, int canvasWidth, int canvasHeight, int pitch,
                            const ui::Rect& shownIn) {
  pixels.resize(static_cast<size_t>(canvasWidth) * canvasHeight * 4);
  for (int y = 0; y < canvasHeight; ++y) {
    std::copy_n(canvas + static_cast<size_t>(y) * pitch, static_cast<size_t>(canvasWidth) * 4,
                pixels.begin() + static_cast<ptrdiff_t>(y) * canvasWidth * 4);
  }
  width = canvasWidth;
  height = canvasHeight;
  target = shownIn;
  isFill = false;
}

// Its pixel on the screen changes when the frame arrives, whatever the scaler
// does at edges.
OnsetSpot FindSpot(const uint8_t* pixels, int width, int height, int pitch, const ui::Rect& target,
                   const ui::Rect& focus, const ShownFrame& shown) {
  OnsetSpot spot;
  if (target.Width() <= 0 || target.Height() <= 0) return spot;
  const bool oldCanvas = !shown.isFill && shown.width == width && shown.height == height &&
                         shown.target == target && !shown.pixels.empty();
  if (!shown.isFill && !oldCanvas) return spot;  // what the screen shows is not known
  const uint8_t* before = shown.pixels.data();
  auto search = [&](ui::Rect area, int step) {
    area.left = std::max(area.left, kSpotRadius);
    area.top = std::max(area.top, kSpotRadius);
    area.right = std::min(area.right, width - kSpotRadius);
    area.bottom = std::min(area.bottom, height - kSpotRadius);
    for (int y = area.top; y < area.bottom; y += step) {
      for (int x = area.left; x < area.right; x += step) {
        uint32_t now = 0;
        uint32_t was = shown.fillRgb;
        if (!UniformAt(pixels, pitch, x, y, &now)) continue;
        if (oldCanvas && !UniformAt(before, 4 * width, x, y, &was)) {
          // What the screen showed there is a blend; it is enough that no
          // blend of it can pass for the new colour.
          if (!NoBlendShows(before, 4 * width, x, y, now)) continue;
          was = CanvasRgb(before, 4 * width, x, y);
        } else if (SameColour(now, was)) {
          continue;
        }
        spot.valid = true;
        spot.newRgb = now;
        spot.oldRgb = was;
        // The window pixel whose centre maps to the centre of canvas pixel (x, y).
        spot.x = target.left + static_cast<int>((x + 0.5) * target.Width() / width);
        spot.y = target.top + static_cast<int>((y + 0.5) * target.Height() / height);
        return true;
      }
    }
    return false;
  };
  if (focus.Width() > 0 && focus.Height() > 0 && search(focus, 2)) return spot;
  search(ui::Rect{0, 0, width, height}, 6);
  return spot;
}

bool SameColour(uint32_t a, uint32_t b) {
  // A 16-bit screen keeps 5 or 6 bits of a channel; a scaler may round by one.
  constexpr int kTolerance = 12;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(ca - cb) > kTolerance) return false;
  }
  return true;
}

}  // namespace display
