// The timing check as the Help menu runs it: the check full screen, then its
// report and charts in a dialog, both saved in the working directory.
#pragma once

#include <QDialog>
#include <string>

class QImage;
class QPlainTextEdit;
class QLabel;

namespace check {

/// Shows a timing check's report, its charts and where both were saved.
class TimingCheckDialog : public QDialog {
  Q_OBJECT

 public:
  TimingCheckDialog(const std::string& report, const QImage& charts, const std::string& saved,
                    QWidget* parent = nullptr);
  /// The report as shown.
  QPlainTextEdit* Report() const { return report_; }

 private:
  QPlainTextEdit* report_ = nullptr;
};

/// Runs the check over the whole screen, saves it, and shows the dialog
/// over `owner`.
void RunTimingCheckFromMenu(QWidget* owner);

}  // namespace check
