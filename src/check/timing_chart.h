// The pictures of a timing check: the histogram of frame intervals and the
// reaction-time errors per trial, drawn with Qt Charts.
#pragma once

#include <QImage>

#include "check/timing_report.h"

namespace check {

/// Both charts side by side; needs a running QApplication.
QImage RenderTimingCharts(const TimingCheck& check);

}  // namespace check
