// Whether a test display on the screen is whole: nothing of the windows
// below it shows through (a compositor that blends by alpha would show the
// main window where the test window's pixels are not opaque), and every disc
// is there, not only its outline.
#pragma once

#include <QImage>
#include <QRect>
#include <string>
#include <vector>

namespace e2e {

/// Where the 1024 x 768 canvas shows on the screen: stretched by `scale`,
/// its corner at (`left`, `top`).
struct CanvasPlace {
  double left = 0;
  double top = 0;
  double scale = 1;
};

/// What is wrong with `screen` as a test display with discs at the grid
/// `cells`, each of the shade `disc` ('W' numbered, 'g' covered) round its
/// rim; empty when nothing is. Outside the discs' squares and the progress
/// label every pixel must be black.
/// The screen pixels in `ignored` (where the pointer is drawn) are not judged.
std::string SeeThroughFault(const QImage& screen, const CanvasPlace& canvas,
                            const std::vector<int>& cells, char disc, const QRect& ignored);

}  // namespace e2e
