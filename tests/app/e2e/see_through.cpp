#include "app/e2e/see_through.h"

#include <algorithm>
#include <cmath>

namespace e2e {
namespace {

// Canvas coordinates of the grid and its patches, and of the progress label
// at the canvas's top-left corner.
constexpr int kGridLeft = 137;
constexpr int kGridTop = 9;
constexpr int kGridPitch = 150;
constexpr int kPatch = 120;
constexpr int kLabelRight = 100;
constexpr int kLabelBottom = 80;
// Screen pixels this close to a patch square may carry its scaled edge.
constexpr double kEdge = 3;
// The rim is read between the cover's outer ring and the disc's edge.
constexpr double kRimRadius = 52;
constexpr int kRimPoints = 24;

bool Black(QRgb p) {
  return std::max({qRed(p), qGreen(p), qBlue(p)}) <= 12;
}

bool Shade(QRgb p, char shade) {
  const int r = qRed(p), g = qGreen(p), b = qBlue(p);
  const int high = std::max({r, g, b}), low = std::min({r, g, b});
  if (shade == 'W') return low >= 245;
  return high - low < 30 && low >= 80 && high <= 180;  // the cover's grey
}

bool NearPatch(double x, double y, const std::vector<int>& cells) {
  for (const int c : cells) {
    const double left = kGridLeft + kGridPitch * (c % 5), top = kGridTop + kGridPitch * (c / 5);
    if (x >= left - kEdge && x < left + kPatch + kEdge && y >= top - kEdge &&
        y < top + kPatch + kEdge) {
      return true;
    }
  }
  return false;
}

}  // namespace

std::string SeeThroughFault(const QImage& screen, const CanvasPlace& canvas,
                            const std::vector<int>& cells, char disc, const QRect& ignored) {
  if (screen.isNull()) return "no picture of the screen";
  const QImage image = screen.convertToFormat(QImage::Format_RGB32);
  long lit = 0;
  QPoint first;
  for (int y = 0; y < image.height(); ++y) {
    const double cy = (y + 0.5 - canvas.top) / canvas.scale;
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      const double cx = (x + 0.5 - canvas.left) / canvas.scale;
      if (Black(row[x]) || NearPatch(cx, cy, cells) || ignored.contains(x, y)) continue;
      if (cx < kLabelRight + kEdge && cy < kLabelBottom + kEdge && cx >= 0 && cy >= 0) continue;
      if (lit++ == 0) first = QPoint(x, y);
    }
  }
  if (lit > 0) {
    return std::to_string(lit) + " pixels outside the discs are not black, the first at (" +
           std::to_string(first.x()) + ", " + std::to_string(first.y()) + ")";
  }
  for (const int c : cells) {
    const double cx = kGridLeft + kGridPitch * (c % 5) + kPatch / 2.0;
    const double cy = kGridTop + kGridPitch * (c / 5) + kPatch / 2.0;
    int wrong = 0;
    for (int k = 0; k < kRimPoints; ++k) {
      const double a = 2 * M_PI * k / kRimPoints;
      const QPoint p(static_cast<int>(canvas.left + (cx + kRimRadius * std::cos(a)) * canvas.scale),
                     static_cast<int>(canvas.top + (cy + kRimRadius * std::sin(a)) * canvas.scale));
      if (!image.rect().contains(p) || !Shade(image.pixel(p), disc)) ++wrong;
    }
    if (wrong > 0) {
      return "the disc in cell " + std::to_string(c) + " is not whole: " + std::to_string(wrong) +
             " of " + std::to_string(kRimPoints) + " points round its rim are not " +
             (disc == 'W' ? "white" : "the cover's grey");
    }
  }
  return std::string();
}

}  // namespace e2e
