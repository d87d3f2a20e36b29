#include "sessions/session_charts.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QCoreApplication>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPen>
#include <QScatterSeries>
#include <QStackedBarSeries>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "sessions/session_table.h"

namespace sessions {
namespace {

constexpr int kMaxBins = 40;
const QColor kLineColour(0x35, 0x5f, 0x9e);
const QColor kWrongColour(0xc6, 0x28, 0x28);
const QColor kCorrectColour(0x2e, 0x7d, 0x32);
const QColor kSelectedColour(0xef, 0x6c, 0x00);
const QColor kOthersColour(0x90, 0xa4, 0xae);

void Clear(QChart* chart) {
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }
  chart->setTitle(QString());
}

void HideFromLegend(QChart* chart, QAbstractSeries* series) {
  for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(false);
}

QValueAxis* WholeAxis(const QString& title, double low, double high) {
  auto* axis = new QValueAxis;
  axis->setTitleText(title);
  axis->setRange(low, high);
  axis->setLabelFormat(QStringLiteral("%d"));
  axis->setTickType(QValueAxis::TicksDynamic);
  const double span = high - low;
  // Whole steps, about ten of them.
  const double step = std::max(1.0, std::ceil(span / 10.0));
  axis->setTickAnchor(std::ceil(low));
  axis->setTickInterval(step);
  return axis;
}

QString SessionTitle(const results::SessionListing& s) {
  return QCoreApplication::translate("Sessions", "%1, %2: score %3")
      .arg(s.subject,
           s.ended.isValid() ? s.ended.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                             : QStringLiteral("?"),
           ScoreText(s));
}

}  // namespace

std::vector<ScoreBin> BinScores(const std::vector<double>& scores, bool hasSelected,
                                double selected, double* width) {
  *width = 0.5;
  // Only finite scores can be placed; the rest are left out.
  std::vector<double> finite;
  for (const double s : scores)
    if (std::isfinite(s)) finite.push_back(s);
  hasSelected = hasSelected && std::isfinite(selected);
  std::vector<double> all = finite;
  if (hasSelected) all.push_back(selected);
  if (all.empty()) return {};
  const auto [lowestAt, highestAt] = std::minmax_element(all.begin(), all.end());
  const double lowest = *lowestAt;
  const double highest = *highestAt;
  // The lowest half step at or below the lowest score, without doubling it
  // (which overflows near the ends of the double range).
  const double whole = std::floor(lowest);
  const double low = lowest - whole >= 0.5 ? whole + 0.5 : whole;
  // Halves throughout: a difference of two halves, or a half and a step,
  // stays finite however far apart the scores are.
  const auto steps = [&](double score) { return (score / 2 - low / 2) / (*width / 2); };
  // Wider bins, in half steps, keep a stray score from making thousands.
  while (steps(highest) >= kMaxBins) *width *= 2;
  const int count = static_cast<int>(std::floor(steps(highest))) + 1;
  std::vector<ScoreBin> bins(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k)
    bins[static_cast<size_t>(k)].low = std::min((low / 2 + k * (*width / 2)) * 2, highest);
  const auto binOf = [&](double score) {
    return static_cast<size_t>(std::clamp(std::floor(steps(score)), 0.0, count - 1.0));
  };
  for (const double s : finite) ++bins[binOf(s)].others;
  if (hasSelected) bins[binOf(selected)].selected = true;
  return bins;
}

void DrawNothing(QChart* chart, const QString& title) {
  Clear(chart);
  chart->setTitle(title);
}

void DrawStaircase(QChart* chart, const results::SessionListing& s) {
  Clear(chart);
  chart->setTitle(SessionTitle(s));
  auto* line = new QLineSeries;
  line->setName(QCoreApplication::translate("Sessions", "NItems"));
  line->setPen(QPen(kLineColour, 2));
  auto* correct = new QScatterSeries;
  correct->setName(QCoreApplication::translate("Sessions", "correct"));
  correct->setColor(kCorrectColour);
  correct->setBorderColor(kCorrectColour);
  correct->setMarkerSize(9);
  auto* wrong = new QScatterSeries;
  wrong->setName(QCoreApplication::translate("Sessions", "wrong"));
  wrong->setMarkerShape(QScatterSeries::MarkerShapeRotatedRectangle);
  wrong->setColor(kWrongColour);
  wrong->setBorderColor(kWrongColour);
  wrong->setMarkerSize(12);
  int highest = 1;
  std::vector<QPointF> reversals;
  for (size_t i = 0; i < s.staircase.size(); ++i) {
    const results::StaircaseStep& step = s.staircase[i];
    const QPointF p(static_cast<double>(i + 1), step.nItems);
    line->append(p);
    (step.error ? wrong : correct)->append(p);
    if (step.rev != 0) reversals.push_back(p);
    highest = std::max(highest, step.nItems);
  }
  chart->addSeries(line);
  chart->addSeries(correct);
  chart->addSeries(wrong);
  std::vector<QAbstractSeries*> unlisted;
  // One series per reversal: a label of plain text is the one way to put a
  // number of one's own beside a point.
  for (size_t k = 0; k < reversals.size(); ++k) {
    auto* ring = new QScatterSeries;
    ring->setName(QCoreApplication::translate("Sessions", "reversal %1").arg(k + 1));
    ring->setMarkerSize(20);
    ring->setColor(Qt::transparent);
    ring->setBorderColor(Qt::black);
    ring->append(reversals[k]);
    ring->setPointLabelsFormat(QString::number(k + 1));
    ring->setPointLabelsVisible(true);
    ring->setPointLabelsClipping(false);
    chart->addSeries(ring);
    unlisted.push_back(ring);
  }
  const double lastTrial = std::max<double>(1, static_cast<double>(s.staircase.size()));
  if (s.hasScore) {
    auto* score = new QLineSeries;
    score->setName(QCoreApplication::translate("Sessions", "score %1").arg(ScoreText(s)));
    QPen dashed(kSelectedColour, 2);
    dashed.setStyle(Qt::DashLine);
    score->setPen(dashed);
    score->append(0.5, s.score);
    score->append(lastTrial + 0.5, s.score);
    chart->addSeries(score);
  }
  QValueAxis* x = WholeAxis(QCoreApplication::translate("Sessions", "Trial"), 0.5, lastTrial + 0.5);
  QValueAxis* y = WholeAxis(QCoreApplication::translate("Sessions", "NItems"), 0, highest + 1.5);
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  for (QAbstractSeries* series : chart->series()) {
    series->attachAxis(x);
    series->attachAxis(y);
  }
  for (QAbstractSeries* series : unlisted) HideFromLegend(chart, series);
}

void DrawDistribution(QChart* chart, const results::SessionListing& s,
                      const std::vector<results::SessionListing>& all) {
  Clear(chart);
  std::vector<double> others;
  for (const results::SessionListing& l : all) {
    if (!l.readable || !l.hasScore || l.memtime != s.memtime || l.maxRev != s.maxRev) continue;
    if (l.path == s.path) continue;
    others.push_back(l.score);
  }
  const int n = static_cast<int>(others.size()) + (s.hasScore ? 1 : 0);
  chart->setTitle(QCoreApplication::translate(
                      "Sessions", "Scores at memtime %1, max_rev %2 (%n sessions)", nullptr, n)
                      .arg(s.memtime)
                      .arg(s.maxRev));
  double width = 0.5;
  const std::vector<ScoreBin> bins = BinScores(others, s.hasScore, s.score, &width);
  if (bins.empty()) return;
  auto* rest = new QBarSet(QCoreApplication::translate("Sessions", "other sessions"));
  rest->setColor(kOthersColour);
  auto* mine = new QBarSet(QCoreApplication::translate("Sessions", "this session"));
  mine->setColor(kSelectedColour);
  QStringList categories;
  int tallest = 1;
  for (const ScoreBin& bin : bins) {
    rest->append(bin.others);
    mine->append(bin.selected ? 1 : 0);
    // Plain decimals while they are short; a far-off score in exponent form.
    categories << (std::abs(bin.low) < 1e6 ? QString::number(bin.low, 'f', width < 1 ? 1 : 0)
                                           : QString::number(bin.low, 'g', 4));
    tallest = std::max(tallest, bin.others + (bin.selected ? 1 : 0));
  }
  auto* series = new QStackedBarSeries;
  series->setBarWidth(0.9);
  series->append(rest);
  series->append(mine);
  chart->addSeries(series);
  auto* x = new QBarCategoryAxis;
  x->setTitleText(
      QCoreApplication::translate("Sessions", "Score (bins %1 wide, from the value shown)")
          .arg(width));
  x->append(categories);
  QValueAxis* y = WholeAxis(QCoreApplication::translate("Sessions", "Sessions"), 0, tallest + 0.5);
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);
}

}  // namespace sessions
