// The list of the Sessions window: one row per record file, its columns
// sortable, with filters by subject and by the settings that change a score.
#pragma once

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>
#include <vector>

#include "records/session_folder.h"

namespace sessions {

/// The list's columns, in order.
enum Column {
  kSubject,
  kDate,
  kScore,
  kMemtime,
  kMaxRev,
  kTrials,
  kErrors,
  kOutcome,
  kFile,
  kProblem,
  kColumnCount
};

/// The role whose values the list sorts by (numbers as numbers, dates as dates).
constexpr int kSortRole = Qt::UserRole;

/// The listings as a table; unreadable ones have only their file and problem.
class SessionTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;
  /// Replaces every row.
  void SetListings(std::vector<results::SessionListing> listings);
  /// Every listing, in file-name order.
  const std::vector<results::SessionListing>& Listings() const { return listings_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<results::SessionListing> listings_;
};

/// Which runs the list shows by how they ended.
enum class OutcomeFilter { kAll, kCompleted, kAborted };

/// Rows whose subject contains a text (any case), whose memtime and max_rev
/// equal chosen values and whose run ended as chosen; practice runs only when
/// asked for. Unreadable rows pass only while no filter is set.
class SessionFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit SessionFilter(QObject* parent = nullptr);
  /// Sets all three at once (one pass over the rows): a subject text
  /// (empty: any), and memtime and max_rev values (null: any).
  void SetFilters(const QString& subject, const QVariant& memtime, const QVariant& maxRev);
  /// Runs that ended as `outcome` (completed: ran to their end; aborted:
  /// stopped), practice runs among them only with `showPractice`.
  void SetOutcomeFilter(OutcomeFilter outcome, bool showPractice);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  QString subject_;
  QVariant memtime_;
  QVariant maxRev_;
  OutcomeFilter outcome_ = OutcomeFilter::kAll;
  bool showPractice_ = false;
};

/// "4.50", or "none" for a test without a reversal.
QString ScoreText(const results::SessionListing& listing);

/// How the run ended, for the Outcome column: "completed", "aborted at trial
/// 7 (answer, Escape)", "practice", "practice, aborted at trial 2 (…)".
QString OutcomeText(const results::SessionListing& listing);

}  // namespace sessions
