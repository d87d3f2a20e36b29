// The About box of the Help menu.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

/// About (dialog 102): version, credit lines and OK.
class CAboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDialog(QWidget* parent = nullptr);
  /// The version line.
  QLabel* VersionText() const;
  /// The three credit lines.
  QLabel* CreditText() const;
  /// OK, control 1.
  QPushButton* OkButton() const;
};

/// Shows the About dialog modally over `owner`; its result is of no use.
void RunAboutDialog(QWidget* owner);
