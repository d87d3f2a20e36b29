// The pictures of a timing check: the histogram of frame intervals and the
// reaction-time errors per trial, drawn with Qt Charts.
#pragma once

#include <QImage>
#include <vector>

#include "check/timing_report.h"

namespace check {

/// Width and height of each chart, pixels: one fits a 1024 x 768 screen at
/// its own size, so its text is never scaled down.
constexpr int kChartWidth = 640;
constexpr int kChartHeight = 420;

/// The two charts, each kChartWidth x kChartHeight, with their titles and
/// axis labels in the application's font; needs a running QApplication.
std::vector<QImage> RenderTimingChartImages(const TimingCheck& check);

/// Both charts side by side, as the saved picture; needs a running QApplication.
QImage RenderTimingCharts(const TimingCheck& check);

}  // namespace check
