#include "dialogs/setup_dialogs.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <limits>

#include "dialogs/dialog_frame.h"
#include "dialogs/int_field.h"
#include "procedure/staircase.h"
#include "settings/subject_id.h"
#include "settings/test_settings.h"
#include "ui/services.h"

namespace {

const char kAskInteger[] = "Please enter an integer.";

QString EditName(int id) {
  return QStringLiteral("edit%1").arg(id);
}
QString CheckName(int id) {
  return QStringLiteral("check%1").arg(id);
}
QString ButtonName(int id) {
  return QStringLiteral("button%1").arg(id);
}

// Each setting a dialog shows, from testSettings to the dialog's field or back.
template <typename T>
void CopySetting(bool toDialog, T* field, T* setting) {
  if (toDialog) {
    *field = *setting;
  } else {
    *setting = *field;
  }
}

void CopySettings(bool toDialog, CSubject* dialog) {
  CopySetting(toDialog, &dialog->subject, &testSettings.subject);
  CopySetting(toDialog, &dialog->memtime, &testSettings.memtime);
  CopySetting(toDialog, &dialog->maxRev, &testSettings.max_rev);
  CopySetting(toDialog, &dialog->hideMouse, &testSettings.hide_mouse);
  CopySetting(toDialog, &dialog->flagRanking, &testSettings.flag_ranking);
  CopySetting(toDialog, &dialog->flagFeedback, &testSettings.flag_feedback);
}

void CopySettings(bool toDialog, COption* dialog) {
  CopySetting(toDialog, &dialog->memtime, &testSettings.memtime);
  CopySetting(toDialog, &dialog->hideMouse, &testSettings.hide_mouse);
  CopySetting(toDialog, &dialog->maxRev, &testSettings.max_rev);
}

}  // namespace

CSetupDialog::CSetupDialog(QWidget* parent, const QString& title, int width, int height)
    : QDialog(parent) {
  setFont(dialogs::ShellDialogFont());
  setWindowTitle(title);
  dialogs::SetModalFrame(this, width, height);
}

bool CSetupDialog::TryAccept() {
  if (!ExchangeData(false)) return false;
  QDialog::accept();
  return true;
}

void CSetupDialog::accept() {
  TryAccept();
}

QLineEdit* CSetupDialog::Edit(int id) const {
  return findChild<QLineEdit*>(EditName(id), Qt::FindDirectChildrenOnly);
}

QCheckBox* CSetupDialog::Check(int id) const {
  return findChild<QCheckBox*>(CheckName(id), Qt::FindDirectChildrenOnly);
}

QPushButton* CSetupDialog::Button(int id) const {
  return findChild<QPushButton*>(ButtonName(id), Qt::FindDirectChildrenOnly);
}

QLabel* CSetupDialog::RangesLabel() const {
  return findChild<QLabel*>(QStringLiteral("ranges"), Qt::FindDirectChildrenOnly);
}

void CSetupDialog::AddEdit(int id, int x, int y, int width, int height) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(EditName(id));
  // The text is taken at any length; the widget's own default would cut it.
  edit->setMaxLength(std::numeric_limits<int>::max());
  edit->setGeometry(dialogs::DialogUnits(font()).Rect(x, y, width, height));
}

void CSetupDialog::AddCheck(int id, const QString& text, int x, int y, int width, int height) {
  auto* check = new QCheckBox(text, this);
  check->setObjectName(CheckName(id));
  check->setGeometry(dialogs::DialogUnits(font()).Rect(x, y, width, height));
}

void CSetupDialog::AddButton(int id, const QString& text, int x, int y, int width, int height) {
  auto* button = new QPushButton(text, this);
  button->setObjectName(ButtonName(id));
  button->setGeometry(dialogs::DialogUnits(font()).Rect(x, y, width, height));
  if (id == 1) {
    button->setDefault(true);
    connect(button, &QPushButton::clicked, this, &CSetupDialog::accept);
  } else {
    connect(button, &QPushButton::clicked, this, &CSetupDialog::reject);
  }
}

void CSetupDialog::AddStatic(const QString& text, int x, int y, int width, int height) {
  auto* label = new QLabel(text, this);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  label->setGeometry(dialogs::DialogUnits(font()).Rect(x, y, width, height));
}

void CSetupDialog::AddOkCancel(int x, int y) {
  AddButton(1, QStringLiteral("OK"), x, y, 50, 14);
  AddButton(2, QStringLiteral("キャンセル"), x, y + 18, 50, 14);
}

void CSetupDialog::AddSettingLabels(int y, int secX) {
  AddStatic(QStringLiteral("Time for Memorization:"), 12, y, 78, 12);
  AddStatic(QStringLiteral("sec."), secX, y, 24, 12);
  AddStatic(QStringLiteral("Number of Reversals:"), 12, y + 18, 72, 12);
}

void CSetupDialog::AddRangesHint(int x, int y, int width, int height) {
  AddStatic(QString::fromStdString("(" + RangesHint() + ")"), x, y, width, height);
  findChildren<QLabel*>(QString(), Qt::FindDirectChildrenOnly).last()->setObjectName("ranges");
}

void CSetupDialog::FocusFirst(QLineEdit* edit) {
  edit->setFocus(Qt::TabFocusReason);
  edit->selectAll();
}

void CSetupDialog::TransferText(bool toControls, int id, std::string* member) {
  QLineEdit* edit = Edit(id);
  if (toControls) {
    edit->setText(QString::fromStdString(*member));
  } else {
    *member = edit->text().toStdString();
  }
}

bool CSetupDialog::TransferInt(bool toControls, int id, int32_t* member) {
  QLineEdit* edit = Edit(id);
  if (toControls) {
    edit->setText(QString::number(*member));
    return true;
  }
  if (dialogs::ParseIntField(edit->text().toStdString(), member)) return true;
  Refuse(edit, kAskInteger);
  return false;
}

bool CSetupDialog::TransferRanged(bool toControls, int id, int32_t* member, RangedSetting setting) {
  if (toControls) return TransferInt(true, id, member);
  int32_t value = *member;
  if (!TransferInt(false, id, &value)) return false;
  if (!InRange(setting, value)) {
    Refuse(Edit(id), RangeMessage(setting, value));
    return false;
  }
  *member = value;
  return true;
}

bool CSetupDialog::TransferSubjectId(bool toControls, int id, std::string* member) {
  // An identifier stored earlier is shown as it is, faults and all, so that
  // the experimenter sees what to correct.
  if (toControls) {
    TransferText(true, id, member);
    return true;
  }
  const std::string text = Edit(id)->text().toStdString();
  const SubjectIdFault fault = CheckSubjectId(text);
  if (fault != SubjectIdFault::kNone) {
    Refuse(Edit(id), SubjectIdMessage(fault));
    return false;
  }
  *member = text;
  return true;
}

void CSetupDialog::Refuse(QLineEdit* edit, const std::string& message) {
  ui::Ui().MessageBox(dialogs::WindowHandleOf(this), message, ui::ApplicationName(),
                      ui::kMbOk | ui::kMbIconWarning);
  edit->setFocus(Qt::OtherFocusReason);
  edit->selectAll();
}

void CSetupDialog::TransferCheck(bool toControls, int id, int32_t* member) {
  QCheckBox* check = Check(id);
  if (toControls) {
    // Any stored value but 0 is on: a hand-set 2 must still be on after OK.
    check->setChecked(*member != 0);
  } else {
    *member = check->checkState() == Qt::Checked ? 1 : 0;
  }
}

void CSetupDialog::showEvent(QShowEvent* event) {
  // The first show is the dialog's initialisation: the members reach the
  // controls only now, after the caller has loaded them.
  if (!initialised_ && !event->spontaneous()) {
    initialised_ = true;
    ExchangeData(true);
    FocusFirst(findChildren<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly).value(0));
  }
  QDialog::showEvent(event);
}

CSubject::CSubject(QWidget* parent)
    : CSetupDialog(parent, QStringLiteral("Subject Information"), 232, 93) {
  // Creation order is the tab order.
  AddEdit(1001, 60, 6, 78, 12);
  AddEdit(1004, 96, 24, 30, 12);
  AddEdit(1006, 96, 42, 30, 12);
  AddCheck(1005, QStringLiteral("Hide Mouse Cursor"), 12, 72, 84, 12);
  AddCheck(1008, QStringLiteral("Show Feedback"), 144, 54, 84, 12);
  AddCheck(1007, QStringLiteral("Show Ranking"), 144, 72, 84, 12);
  AddOkCancel(174, 6);
  AddStatic(QStringLiteral("Subject ID:"), 13, 7, 41, 11);
  AddSettingLabels(24, 132);
  AddRangesHint(12, 56, 128, 12);
  Edit(1001)->setFocus();
}

bool CSubject::ExchangeData(bool toControls) {
  if (!TransferSubjectId(toControls, 1001, &subject)) return false;
  if (!TransferRanged(toControls, 1004, &memtime, RangedSetting::kMemtime)) return false;
  if (!TransferRanged(toControls, 1006, &maxRev, RangedSetting::kMaxRev)) return false;
  TransferCheck(toControls, 1005, &hideMouse);
  TransferCheck(toControls, 1007, &flagRanking);
  TransferCheck(toControls, 1008, &flagFeedback);
  return true;
}

COption::COption(QWidget* parent) : CSetupDialog(parent, QStringLiteral("Option"), 226, 61) {
  AddEdit(1004, 102, 6, 30, 12);
  AddEdit(1006, 102, 24, 30, 12);
  AddCheck(1005, QStringLiteral("Hide Mouse Cursor"), 12, 42, 96, 12);
  AddOkCancel(168, 6);
  AddSettingLabels(6, 138);
  AddRangesHint(112, 44, 108, 12);
  Edit(1004)->setFocus();
}

bool COption::ExchangeData(bool toControls) {
  if (!TransferRanged(toControls, 1004, &memtime, RangedSetting::kMemtime)) return false;
  TransferCheck(toControls, 1005, &hideMouse);
  if (!TransferRanged(toControls, 1006, &maxRev, RangedSetting::kMaxRev)) return false;
  return true;
}

int AskSubjectInformation() {
  CSubject dialog(dialogs::MainWindowWidget());
  CopySettings(true, &dialog);
  if (dialog.exec() != QDialog::Accepted) return 0;

  CopySettings(false, &dialog);
  // Closed whatever its state, so that the subject's keys reach the test as
  // plain keys.
  ui::Ui().SetInputMethodOpen(ui::Ui().MainWindow(), false);
  ResetTest();
  return 1;
}

void EditOptions() {
  COption dialog(dialogs::MainWindowWidget());
  CopySettings(true, &dialog);
  if (dialog.exec() != QDialog::Accepted) return;
  CopySettings(false, &dialog);
}
