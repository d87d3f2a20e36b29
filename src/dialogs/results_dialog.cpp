#include "dialogs/results_dialog.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QResizeEvent>
#include <utility>

#include "dialogs/dialog_frame.h"
#include "dialogs/result_rows_model.h"
#include "ui/services.h"

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

CResult::CResult(QWidget* parent) : QDialog(parent), rows_(new ResultRowsModel(this)) {
  setFont(dialogs::ShellDialogFont());
  setWindowTitle(tr("Results"));
  dialogs::SetModalFrame(this, 474, 260);
  const dialogs::DialogUnits du(font());

  auto* summary = new QLabel(tr("Result: "), this);
  summary->setObjectName(QStringLiteral("static1003"));
  summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // It shows a subject identifier as typed, markup-like or not.
  summary->setTextFormat(Qt::PlainText);
  summary->setGeometry(du.Rect(20, 15, 392, 10));

  auto* list = new QListView(this);
  list->setObjectName(QStringLiteral("list1002"));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Every row one line of one font: the view need not measure each of them.
  list->setUniformItemSizes(true);
  list->setModel(rows_);
  list->setGeometry(du.Rect(23, 30, 429, 214));

  auto* ok = new QPushButton(tr("OK"), this);
  ok->setObjectName(QStringLiteral("button1"));
  ok->setDefault(true);
  ok->setGeometry(du.Rect(417, 7, 50, 14));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  list->setFocus();

  // Drawn at the template's size, which is also the least; a long log reads
  // better in a larger window.
  templateSize_ = size();
  templateList_ = list->geometry();
  templateOk_ = ok->geometry();
  setMinimumSize(templateSize_);
  setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
  setSizeGripEnabled(true);
}

void CResult::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  const QSize grown = size() - templateSize_;
  List()->setGeometry(templateList_.adjusted(0, 0, grown.width(), grown.height()));
  OkButton()->setGeometry(templateOk_.translated(grown.width(), 0));
}

void CResult::SetResults(std::vector<LogEntry> ranked, const LogEntry& current) {
  rows_->SetEntries(std::move(ranked));
  current_ = current;
}

void CResult::ExchangeData() {
  const std::vector<LogEntry>& entries = rows_->Entries();
  const int count = static_cast<int>(entries.size());
  const int rank = CurrentRank(entries);
  Summary()->setText(QString::fromStdString(FormatSummary(current_, rank, count)));
  // The rows stay in rank order at every length (position numbers of five
  // digits and more included), so the current result is row rank - 1. The
  // view scrolls to its current row, at once or when it is first shown.
  if (count > 0) List()->setCurrentIndex(rows_->index(rank - 1));
}

QLabel* CResult::Summary() const {
  return findChild<QLabel*>(QStringLiteral("static1003"), Qt::FindDirectChildrenOnly);
}

QListView* CResult::List() const {
  return findChild<QListView*>(QStringLiteral("list1002"), Qt::FindDirectChildrenOnly);
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
  std::string refused;
  const int read = ReadResultsLog(&entries, &refused);
  // A missing log shows nothing; one refused unread is said.
  if (!refused.empty()) {
    ui::AppMessageBox(CResult::tr("The results log [ORBEL.txt] was not read: it %1.")
                          .arg(QString::fromStdString(refused))
                          .toStdString(),
                      ui::kMbOk | ui::kMbIconWarning);
  }
  return PrepareFrom(dialog, &entries, read);
}

void ViewResults() {
  CResult dialog(dialogs::MainWindowWidget());
  if (PrepareResults(&dialog)) {
    dialog.exec();
    return;
  }
  // Nothing to rank: said, with the folder, so that a viewer started in the
  // wrong folder is not taken for a broken one.
  const QFileInfo log(QDir::current().absoluteFilePath(QStringLiteral("ORBEL.txt")));
  const QString text =
      log.exists()
          ? CResult::tr("The log [%1] holds no result to rank yet.").arg(log.absoluteFilePath())
          : CResult::tr(
                "There is no log [ORBEL.txt] in the folder [%1]: no test has been "
                "completed here yet.")
                .arg(QDir::current().absolutePath());
  ui::AppMessageBox(text.toStdString(), ui::kMbOk | ui::kMbIconInformation);
}
