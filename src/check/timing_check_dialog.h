// The timing check as the Help menu runs it: a notice, the check full
// screen, then its verdict, what to do about each failed figure, its charts
// and report in a dialog, all saved in the working directory.
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "check/figure_advice.h"
#include "check/timing_check.h"

class QImage;
class QLabel;
class QPlainTextEdit;
class QTableWidget;

namespace check {

/// Shows a timing check's verdict first, then a table from each failed or
/// doubtful figure to what to do, the charts at their own size and the
/// report; fits a 1024 x 768 screen with a desktop panel and is resizable.
class TimingCheckDialog : public QDialog {
  Q_OBJECT

 public:
  TimingCheckDialog(const Verdict& verdict, const std::vector<FigureAdvice>& advice,
                    const std::string& report, const std::vector<QImage>& charts,
                    const std::string& saved, QWidget* parent = nullptr);
  /// The verdict line, the dialog's first widget.
  QLabel* VerdictText() const { return verdict_; }
  /// Figure, measured value, fails or warning, and what to do: one row per figure.
  QTableWidget* AdviceTable() const { return advice_; }
  /// The charts as shown, one label each.
  const std::vector<QLabel*>& Charts() const { return charts_; }
  /// The report as shown.
  QPlainTextEdit* Report() const { return report_; }

 private:
  QLabel* verdict_ = nullptr;
  QTableWidget* advice_ = nullptr;
  std::vector<QLabel*> charts_;
  QPlainTextEdit* report_ = nullptr;
};

/// Shows the notice, then, on OK, runs the check over the whole screen,
/// saves it, and shows the dialog over `owner`. Cancel runs nothing.
void RunTimingCheckFromMenu(QWidget* owner, const CheckOptions& options = CheckOptions{});

}  // namespace check
