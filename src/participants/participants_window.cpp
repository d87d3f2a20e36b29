#include "participants/participants_window.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "dialogs/lock_wait_dialog.h"
#include "settings/subject_id.h"
#include "ui/services.h"

namespace participants {

namespace {

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

int IdColumnOf(const QStandardItemModel* model) {
  std::vector<std::string> columns;
  for (int c = 0; c < model->columnCount(); ++c)
    columns.push_back(model->headerData(c, Qt::Horizontal).toString().toStdString());
  return results::IdColumn(columns);
}

}  // namespace

CParticipants::CParticipants(const QString& path, QWidget* parent) : QDialog(parent), path_(path) {
  setWindowTitle(tr("Participants"));
  setSizeGripEnabled(true);
  resize(920, 600);  // within 1024 x 768 with the window's frame

  model_ = new QStandardItemModel(this);
  table_ = new QTableView(this);
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->setWordWrap(false);

  status_ = new QLabel(this);
  status_->setTextFormat(Qt::PlainText);
  status_->setWordWrap(true);
  add_ = new QPushButton(tr("&Add"), this);
  delete_ = new QPushButton(tr("&Delete"), this);
  save_ = new QPushButton(tr("&Save"), this);
  auto* close = new QPushButton(tr("&Close"), this);
  for (QPushButton* b : {add_, delete_, save_, close}) b->setAutoDefault(false);
  connect(add_, &QPushButton::clicked, this, [this] { AddRow(); });
  connect(delete_, &QPushButton::clicked, this, [this] { DeleteSelectedRows(); });
  connect(save_, &QPushButton::clicked, this, [this] { Save(); });
  connect(close, &QPushButton::clicked, this, [this] { reject(); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(delete_);
  buttons->addStretch(1);
  buttons->addWidget(save_);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addWidget(status_);
  layout->addLayout(buttons);

  const results::RegisterFile file = results::LoadRegister(path_.toStdString());
  loaded_ = file.bytes;
  readOnly_ = file.status == results::RegisterStatus::kMalformed;
  Fill(file.reg);
  if (readOnly_) {
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (QPushButton* b : {add_, delete_, save_}) b->setEnabled(false);
    ShowStatus(tr("The register cannot be read, so it is shown read-only and never written: %1")
                   .arg(Q(file.reason)));
  } else if (file.status == results::RegisterStatus::kMissing) {
    ShowStatus(tr("There is no register yet: Save makes %1.").arg(QFileInfo(path_).fileName()));
  } else {
    ShowStatus(tr("%n participant(s) in %1.", nullptr, model_->rowCount())
                   .arg(QFileInfo(path_).fileName()));
  }
  connect(model_, &QStandardItemModel::itemChanged, this, [this](QStandardItem*) {
    modified_ = true;
    CheckIds();
  });
}

QString CParticipants::StatusText() const {
  return status_->text();
}

void CParticipants::ShowStatus(const QString& text) {
  status_->setText(text);
}

void CParticipants::Fill(const results::ParticipantRegister& reg) {
  model_->clear();
  model_->setColumnCount(static_cast<int>(reg.columns.size()));
  for (size_t c = 0; c < reg.columns.size(); ++c)
    model_->setHorizontalHeaderItem(static_cast<int>(c), new QStandardItem(Q(reg.columns[c])));
  for (const std::vector<std::string>& row : reg.rows) {
    QList<QStandardItem*> items;
    for (const std::string& value : row) items.append(new QStandardItem(Q(value)));
    model_->appendRow(items);
  }
  table_->resizeColumnsToContents();
  for (int c = 0; c < model_->columnCount(); ++c)
    table_->setColumnWidth(c, std::clamp(table_->columnWidth(c), 60, 260));
}

results::ParticipantRegister CParticipants::TableRegister() const {
  results::ParticipantRegister reg;
  for (int c = 0; c < model_->columnCount(); ++c)
    reg.columns.push_back(model_->headerData(c, Qt::Horizontal).toString().toStdString());
  for (int r = 0; r < model_->rowCount(); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < model_->columnCount(); ++c) {
      const QStandardItem* item = model_->item(r, c);
      row.push_back(item ? item->text().toStdString() : std::string());
    }
    reg.rows.push_back(std::move(row));
  }
  return reg;
}

// Marks every ID the Subject Information dialog would refuse, and every ID
// that is there twice, and names the first in the status line.
void CParticipants::CheckIds() {
  const int id = IdColumnOf(model_);
  if (id < 0) return;
  QSignalBlocker quiet(model_);  // colouring is no edit
  QString first;
  std::set<QString> seen;
  for (int r = 0; r < model_->rowCount(); ++r) {
    QStandardItem* item = model_->item(r, id);
    if (!item) continue;
    const SubjectIdFault fault = CheckSubjectId(item->text().toStdString());
    QString problem;
    if (fault != SubjectIdFault::kNone) {
      problem = Q(SubjectIdMessage(fault));
    } else if (!seen.insert(item->text()).second) {
      problem = tr("The ID %1 is in the register twice.").arg(item->text());
    }
    item->setBackground(problem.isEmpty() ? QBrush() : QBrush(QColor(255, 205, 205)));
    item->setToolTip(problem);
    if (first.isEmpty() && !problem.isEmpty()) first = tr("Row %1: %2").arg(r + 1).arg(problem);
  }
  ShowStatus(first.isEmpty() ? tr("Not saved yet.") : first);
  table_->viewport()->update();
}

void CParticipants::AddRow() {
  if (readOnly_) return;
  QList<QStandardItem*> items;
  for (int c = 0; c < model_->columnCount(); ++c) items.append(new QStandardItem);
  model_->appendRow(items);
  modified_ = true;
  CheckIds();
  const QModelIndex cell = model_->index(model_->rowCount() - 1, std::max(IdColumnOf(model_), 0));
  table_->setCurrentIndex(cell);
  table_->edit(cell);
}

void CParticipants::DeleteSelectedRows() {
  if (readOnly_) return;
  QModelIndexList rows = table_->selectionModel()->selectedRows();
  if (rows.isEmpty() && table_->currentIndex().isValid()) rows.append(table_->currentIndex());
  std::set<int, std::greater<int>> doomed;
  for (const QModelIndex& index : rows) doomed.insert(index.row());
  for (const int row : doomed) model_->removeRow(row);
  if (doomed.empty()) return;
  modified_ = true;
  CheckIds();
}

QString CParticipants::SaveFailureText(results::RegisterSave result,
                                       const std::string& reason) const {
  if (result == results::RegisterSave::kChanged) {
    return tr("%1 %2, perhaps at another station. Nothing was written: close this window and "
              "open it again to see the register as it is now.")
        .arg(path_, Q(reason));
  }
  return tr("Cannot save %1 (%2).").arg(path_, Q(reason));
}

bool CParticipants::Save() {
  if (readOnly_) return false;
  const results::ParticipantRegister reg = TableRegister();
  std::string reason;
  const std::string file = path_.toStdString();
  const results::RegisterSave result = results::SaveRegister(
      file, reg, loaded_, &reason, [&file](const std::function<bool()>& tryLock) {
        return dialogs::WaitForResultLock(file, tryLock);
      });
  if (result == results::RegisterSave::kCancelled) return false;
  if (result != results::RegisterSave::kSaved) {
    const QString text = SaveFailureText(result, reason);
    ShowStatus(text);
    ui::AppMessageBox(text.toStdString(), ui::kMbOk | ui::kMbIconWarning);
    return false;
  }
  loaded_ = results::RegisterCsv(reg);
  modified_ = false;
  ShowStatus(tr("Saved %n participant(s) to %1.", nullptr, model_->rowCount())
                 .arg(QFileInfo(path_).fileName()));
  return true;
}

void CParticipants::reject() {
  if (modified_ && !readOnly_ &&
      ui::AppMessageBox(tr("Close without saving the changes?").toStdString(),
                        ui::kMbOkCancel | ui::kMbIconQuestion) != ui::kIdOk) {
    return;
  }
  QDialog::reject();
}

void ShowParticipants(QWidget* parent) {
  CParticipants window(QString::fromLatin1(results::kRegisterFile), parent);
  window.exec();
}

}  // namespace participants
