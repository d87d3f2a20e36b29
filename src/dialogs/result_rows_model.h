// The rows of the results viewer, formatted only when the view shows them, so
// that a log of any length opens at once.
#pragma once

#include <QAbstractListModel>
#include <vector>

#include "results/results_log.h"

/// One row per ranked entry, in rank order: row k reads as FormatResultRow(k + 1).
class ResultRowsModel : public QAbstractListModel {
  Q_OBJECT

 public:
  explicit ResultRowsModel(QObject* parent = nullptr);
  /// Replaces the rows with those of `ranked`.
  void SetEntries(std::vector<LogEntry> ranked);
  /// The ranked entries.
  const std::vector<LogEntry>& Entries() const { return entries_; }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 private:
  std::vector<LogEntry> entries_;
};
