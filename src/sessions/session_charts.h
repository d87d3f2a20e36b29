// The two pictures of the Sessions window, drawn with Qt Charts: the
// staircase of one session and the distribution of the scores of the
// sessions run with the same memtime and max_rev.
#pragma once

#include <QString>
#include <vector>

#include "records/session_folder.h"

QT_BEGIN_NAMESPACE
class QChart;
QT_END_NAMESPACE

namespace sessions {

/// A histogram bin of the score distribution: [low, low + width).
struct ScoreBin {
  double low = 0;
  int others = 0;         ///< sessions other than the selected one
  bool selected = false;  ///< the selected session's score falls here
};

/// The bins of `scores` (at most 40, 0.5 wide or wider), with the selected
/// score's bin marked and not counted among the others; `*width` gets their
/// width. Empty when there are no scores.
std::vector<ScoreBin> BinScores(const std::vector<double>& scores, bool hasSelected,
                                double selected, double* width);

/// Fills `chart` (emptied first) with the staircase of `session`: NItems per
/// trial as a line, correct and wrong trials as markers, each reversal
/// circled and numbered, the score as a dashed line.
void DrawStaircase(QChart* chart, const results::SessionListing& session);

/// Fills `chart` with the distribution of the scores of every readable
/// session in `all` whose memtime and max_rev equal `session`'s, the bin of
/// `session`'s own score marked.
void DrawDistribution(QChart* chart, const results::SessionListing& session,
                      const std::vector<results::SessionListing>& all);

/// Empties `chart` and shows `title` alone.
void DrawNothing(QChart* chart, const QString& title);

}  // namespace sessions
