#include "dialogs/about_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "dialogs/dialog_frame.h"

namespace {

QLabel* AddStatic(QDialog* dialog, const char* name, const QString& text, const QRect& rect) {
  auto* label = new QLabel(text, dialog);
  label->setObjectName(QString::fromLatin1(name));
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setWordWrap(true);
  label->setGeometry(rect);
  return label;
}

}  // namespace

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
  setFont(dialogs::GothicDialogFont());
  setWindowTitle(tr("About this application"));
  dialogs::SetModalFrame(this, 187, 59);
  const dialogs::DialogUnits du(font());

  auto* ok = new QPushButton(tr("OK"), this);
  ok->setObjectName(QStringLiteral("button1"));
  ok->setDefault(true);
  ok->setGeometry(du.Rect(130, 7, 50, 14));
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  AddStatic(this, "staticVersion", QStringLiteral("Dorvane v8.003"), du.Rect(6, 6, 114, 11));
  AddStatic(this, "staticCredit",
            tr("Visual-spatial memory test\n"
               "Dorvane developers, 2026"),
            du.Rect(6, 24, 129, 30));
  ok->setFocus();
}

QLabel* CAboutDialog::VersionText() const {
  return findChild<QLabel*>(QStringLiteral("staticVersion"), Qt::FindDirectChildrenOnly);
}

QLabel* CAboutDialog::CreditText() const {
  return findChild<QLabel*>(QStringLiteral("staticCredit"), Qt::FindDirectChildrenOnly);
}

QPushButton* CAboutDialog::OkButton() const {
  return findChild<QPushButton*>(QStringLiteral("button1"), Qt::FindDirectChildrenOnly);
}

void RunAboutDialog(QWidget* owner) {
  CAboutDialog dialog(owner);
  dialog.exec();
}
