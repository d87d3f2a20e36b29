#include "dialogs/result_rows_model.h"

#include <utility>

ResultRowsModel::ResultRowsModel(QObject* parent) : QAbstractListModel(parent) {}

void ResultRowsModel::SetEntries(std::vector<LogEntry> ranked) {
  beginResetModel();
  entries_ = std::move(ranked);
  endResetModel();
}

int ResultRowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

QVariant ResultRowsModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return QVariant();
  return QString::fromStdString(FormatResultRow(index.row() + 1, entries_[index.row()]));
}
