// The results viewer: every result of the cumulative log, best first, with
// the latest result selected and summarised by rank and percentile.
#pragma once

#include <QDialog>
#include <QRect>
#include <QSize>
#include <string>
#include <vector>

#include "results/results_log.h"

class QLabel;
class QListView;
class QPushButton;
class ResultRowsModel;

/// Results (dialog 114): summary line, the ranked list and OK.
class CResult : public QDialog {
  Q_OBJECT

 public:
  explicit CResult(QWidget* parent = nullptr);
  /// Takes the ranked entries and a copy of the log's last entry made before
  /// ranking.
  void SetResults(std::vector<LogEntry> ranked, const LogEntry& current);
  /// Fills the list and the summary line and selects the current result's row.
  void ExchangeData();

  /// Summary line, control 1003.
  QLabel* Summary() const;
  /// Result list, control 1002: the rows in rank order.
  QListView* List() const;
  /// OK, control 1.
  QPushButton* OkButton() const;

 protected:
  /// The list grows with the dialog; OK stays at the top right corner.
  void resizeEvent(QResizeEvent* event) override;

 private:
  ResultRowsModel* rows_;
  QSize templateSize_;
  QRect templateList_;
  QRect templateOk_;
  LogEntry current_;
};

/// Reads the log at `path`, ranks it and fills `dialog`; false, leaving the
/// dialog as it was, when the log cannot be read or holds no result.
bool PrepareResults(CResult* dialog, const std::string& path);

/// The same for "ORBEL.txt" of the working directory.
bool PrepareResults(CResult* dialog);

/// Shows the ranked log modally; with no log, or no result in it, a message
/// box says so and names the folder or the file instead.
void ViewResults();
