#include "check/timing_chart.h"

#include <QApplication>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "dialogs/side_by_side.h"

namespace check {
namespace {

constexpr double kBinMs = 0.5;

// Qt Charts draws its titles and labels smaller than the widgets' text; at
// the application's own size they stay legible on a lab's screen.
void UseApplicationFont(QChart* chart) {
  const QFont normal = QApplication::font();
  QFont title = normal;
  title.setBold(true);
  chart->setTitleFont(title);
  chart->legend()->setFont(normal);
  for (QAbstractAxis* axis : chart->axes()) {
    axis->setLabelsFont(normal);
    axis->setTitleFont(normal);
  }
}

QImage Render(QChart* chart) {
  UseApplicationFont(chart);
  QChartView view(chart);
  view.setRenderHint(QPainter::Antialiasing);
  view.resize(kChartWidth, kChartHeight);
  return view.grab().toImage();
}

// Bins of kBinMs drawn as steps over a value axis, so that the axis keeps
// readable numbers whatever the number of bins.
QChart* IntervalHistogram(const DisplayFacts& d) {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("Frame intervals (%1 frames, nominal %2 ms)")
                      .arg(d.frames)
                      .arg(d.nominalPeriodMs, 0, 'f', 2));
  chart->legend()->hide();
  // The area series does not own its line; the chart does.
  auto* upper = new QLineSeries(chart);
  double first = 0, last = 1, highest = 1;
  if (!d.intervals.empty()) {
    const auto [lo, hi] = std::minmax_element(d.intervals.begin(), d.intervals.end());
    first = std::floor(*lo / kBinMs) * kBinMs;
    const int bins = std::min(400, static_cast<int>((*hi - first) / kBinMs) + 1);
    std::vector<int> counts(static_cast<size_t>(bins), 0);
    for (double v : d.intervals) {
      const int b = std::min(bins - 1, static_cast<int>((v - first) / kBinMs));
      ++counts[static_cast<size_t>(b)];
    }
    upper->append(first, 0);
    for (int b = 0; b < bins; ++b) {
      const double x0 = first + b * kBinMs;
      upper->append(x0, counts[static_cast<size_t>(b)]);
      upper->append(x0 + kBinMs, counts[static_cast<size_t>(b)]);
      highest = std::max<double>(highest, counts[static_cast<size_t>(b)]);
    }
    last = first + bins * kBinMs;
    upper->append(last, 0);
  }
  auto* area = new QAreaSeries(upper);
  area->setColor(QColor(0x20, 0x70, 0xC0));
  area->setBorderColor(QColor(0x20, 0x70, 0xC0));
  chart->addSeries(area);
  auto* x = new QValueAxis;
  x->setRange(first, last);
  x->setTitleText(QStringLiteral("interval between onsets (ms)"));
  x->applyNiceNumbers();
  auto* y = new QValueAxis;
  y->setRange(0, highest * 1.05);
  y->setTitleText(QStringLiteral("frames"));
  y->setLabelFormat(QStringLiteral("%d"));
  y->applyNiceNumbers();
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  area->attachAxis(x);
  area->attachAxis(y);
  return chart;
}

QChart* RtErrors(const TrialFacts& t) {
  auto* chart = new QChart;
  chart->setTitle(QStringLiteral("Recorded minus true reaction time, per trial"));
  auto* rt1 = new QScatterSeries;
  rt1->setName(QStringLiteral("RT1"));
  rt1->setMarkerSize(9);
  auto* rt2 = new QScatterSeries;
  rt2->setName(QStringLiteral("RT2"));
  rt2->setMarkerSize(9);
  rt2->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  double lo = kEarliestRtMs - 1, hi = kLatestRtMs + 1;
  for (size_t k = 0; k < t.errors.size(); ++k) {
    const TrialError& e = t.errors[k];
    rt1->append(static_cast<double>(k + 1), e.rt1);
    lo = std::min(lo, e.rt1 - 0.5);
    hi = std::max(hi, e.rt1 + 0.5);
    if (e.hasRt2) {
      rt2->append(static_cast<double>(k + 1), e.rt2);
      lo = std::min(lo, e.rt2 - 0.5);
      hi = std::max(hi, e.rt2 + 0.5);
    }
  }
  const double last = std::max<double>(2.0, static_cast<double>(t.errors.size()) + 1);
  const QPen goalPen(QColor(0xC0, 0x30, 0x30), 1.5, Qt::DashLine);
  auto* earliest = new QLineSeries;
  earliest->setName(QStringLiteral("goal: -1 to +3 ms"));
  earliest->append(0, kEarliestRtMs);
  earliest->append(last, kEarliestRtMs);
  auto* latest = new QLineSeries;
  latest->append(0, kLatestRtMs);
  latest->append(last, kLatestRtMs);
  for (QAbstractSeries* s : std::initializer_list<QAbstractSeries*>{rt1, rt2, earliest, latest})
    chart->addSeries(s);
  earliest->setPen(goalPen);
  latest->setPen(goalPen);
  chart->legend()->markers(latest).value(0)->setVisible(false);
  auto* x = new QValueAxis;
  x->setRange(0, last);
  x->setTitleText(QStringLiteral("trial"));
  x->setLabelFormat(QStringLiteral("%d"));
  x->setTickType(QValueAxis::TicksDynamic);
  x->setTickAnchor(0);
  x->setTickInterval(last > 12 ? 5 : 1);
  auto* y = new QValueAxis;
  y->setRange(std::floor(lo), std::ceil(hi));
  y->setTickType(QValueAxis::TicksDynamic);
  y->setTickAnchor(0);
  y->setTickInterval(std::ceil(hi) - std::floor(lo) > 12 ? 5 : 1);
  y->setLabelFormat(QStringLiteral("%.0f"));
  y->setTitleText(QStringLiteral("ms"));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  for (QAbstractSeries* s : chart->series()) {
    s->attachAxis(x);
    s->attachAxis(y);
  }
  return chart;
}

}  // namespace

std::vector<QImage> RenderTimingChartImages(const TimingCheck& check) {
  return {Render(IntervalHistogram(check.display)), Render(RtErrors(check.trial))};
}

QImage RenderTimingCharts(const TimingCheck& check) {
  const std::vector<QImage> charts = RenderTimingChartImages(check);
  return dialogs::SideBySide(charts[0], charts[1]);
}

}  // namespace check
