#include "dialogs/results_dialog.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <utility>

#include "dialogs/dialog_frame.h"

namespace {

bool PrepareFrom(CResult* dialog, std::vector<LogEntry>* entries, int read) {
  if (!read || entries->empty()) return false;
  const LogEntry current = entries->back();
  RankEntries(entries);
  dialog->SetResults(std::move(*entries), current);
  dialog->ExchangeData();
  return true;
}

}  // namespace

CResult::CResult(QWidget* parent) : QDialog(parent) {
  setFont(dialogs::ShellDialogFont());
  setWindowTitle(QStringLiteral("Results"));
  dialogs::SetModalFrame(this, 474, 260);
  const dialogs::DialogUnits du(font());

  auto* summary = new QLabel(QStringLiteral("Result: "), this);
  summary->setObjectName(QStringLiteral("static1003"));
  summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // It shows a subject identifier as typed, markup-like or not.
  summary->setTextFormat(Qt::PlainText);
  summary->setGeometry(du.Rect(20, 15, 392, 10));

  auto* list = new QListWidget(this);
  list->setObjectName(QStringLiteral("list1002"));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setUniformItemSizes(true);
  list->setSortingEnabled(true);
  list->sortItems(Qt::AscendingOrder);
  list->setGeometry(du.Rect(23, 30, 429, 214));

  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("button1"));
  ok->setDefault(true);
  ok->setGeometry(du.Rect(417, 7, 50, 14));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  list->setFocus();
}

void CResult::SetResults(std::vector<LogEntry> ranked, const LogEntry& current) {
  entries_ = std::move(ranked);
  current_ = current;
}

void CResult::ExchangeData() {
  QListWidget* list = List();
  const int count = static_cast<int>(entries_.size());
  const int rank = CurrentRank(entries_);
  // Rows are added unsorted and sorted once: the same order as inserting
  // each into the sorted list, without re-sorting ten thousand times.
  list->setSortingEnabled(false);
  QListWidgetItem* currentRow = nullptr;
  for (int k = 1; k <= count; ++k) {
    auto* item =
        new QListWidgetItem(QString::fromStdString(FormatResultRow(k, entries_[k - 1])), list);
    if (k == rank) currentRow = item;
  }
  list->setSortingEnabled(true);
  list->sortItems(Qt::AscendingOrder);
  Summary()->setText(QString::fromStdString(FormatSummary(current_, rank, count)));
  // Past 9999 results the text order is no longer the rank order, so the
  // current row is looked up rather than taken at index rank - 1.
  // The view scrolls to its current row, at once or when it is first shown.
  if (currentRow) list->setCurrentItem(currentRow);
}

QLabel* CResult::Summary() const {
  return findChild<QLabel*>(QStringLiteral("static1003"), Qt::FindDirectChildrenOnly);
}

QListWidget* CResult::List() const {
  return findChild<QListWidget*>(QStringLiteral("list1002"), Qt::FindDirectChildrenOnly);
}

QPushButton* CResult::OkButton() const {
  return findChild<QPushButton*>(QStringLiteral("button1"), Qt::FindDirectChildrenOnly);
}

bool PrepareResults(CResult* dialog, const std::string& path) {
  std::vector<LogEntry> entries;
  const int read = ReadResultsLog(path, &entries);
  return PrepareFrom(dialog, &entries, read);
}

bool PrepareResults(CResult* dialog) {
  std::vector<LogEntry> entries;
  const int read = ReadResultsLog(&entries);
  return PrepareFrom(dialog, &entries, read);
}

void ViewResults() {
  CResult dialog(dialogs::MainWindowWidget());
  if (!PrepareResults(&dialog)) return;
  dialog.exec();
}
