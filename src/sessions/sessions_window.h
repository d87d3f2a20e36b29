// The Sessions window: every session record of the folder, filtered and
// sorted, with the selected session's staircase beside the distribution of
// the scores at its settings; the pictures as PNG and the listed sessions as
// two tidy CSV files.
#pragma once

#include <QDialog>
#include <QString>
#include <QThread>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "records/session_folder.h"

class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace sessions {

class SessionFilter;
class SessionTableModel;

/// Asks for a file to write: (parent, caption, proposed path, filter) to
/// the chosen path, empty when cancelled.
using SaveFileChooser =
    std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

/// Installs the chooser the buttons use (empty: the platform's file dialog);
/// returns the previous one.
SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser);

/// The two files an export to `chosen` writes: "<stem>-trials.csv" and
/// "<stem>-touches.csv" beside it (a chosen "-trials.csv" or "-touches.csv"
/// is the stem's own).
void ExportPaths(const QString& chosen, QString* trials, QString* touches);

/// The sessions table an export to `chosen` writes beside those two:
/// "<stem>-table.csv".
QString TablePath(const QString& chosen);

/// The "Sessions" window over a folder of records, read on a worker thread
/// from the moment it is made.
class CSessions : public QDialog {
  Q_OBJECT

 public:
  explicit CSessions(const QString& folder, QWidget* parent = nullptr);
  /// Stops the reading and waits for it.
  ~CSessions() override;

  /// True once every record has been read.
  bool Loaded() const { return loaded_; }
  /// The listed sessions' files, readable ones only, in the order shown.
  std::vector<QString> ListedPaths() const;
  /// Writes both charts side by side as a PNG file; false when it cannot.
  bool SavePicture(const QString& path);
  /// Exports the listed sessions to the files ExportPaths names for
  /// `chosen`, replacing them; false with the reason shown in the status
  /// line. (The Export button first says when no session is listed, and asks
  /// once before replacing any of the files.)
  bool ExportListed(const QString& chosen);

  QTableView* Table() const { return table_; }
  QLineEdit* SubjectFilter() const { return subject_; }
  QComboBox* MemtimeFilter() const { return memtime_; }
  QComboBox* MaxRevFilter() const { return maxRev_; }
  /// All, Completed (ran to their end) or Aborted (stopped before it).
  QComboBox* OutcomeFilterBox() const { return outcome_; }
  /// Unticked, practice runs are not listed.
  QCheckBox* ShowPracticeBox() const { return showPractice_; }
  QProgressBar* Progress() const { return progress_; }
  /// The button that stops reading the folder.
  QPushButton* StopReading() const { return stopReading_; }
  QLabel* Status() const { return status_; }
  QChart* Staircase() const;
  QChart* Distribution() const;
  QPushButton* SavePictureButton() const { return savePicture_; }
  QPushButton* ExportButton() const { return export_; }
  QPushButton* CloseButton() const { return close_; }

 signals:
  /// Every record has been read and listed.
  void loaded();

 private:
  void OnLoaded(std::vector<results::SessionListing> listings);
  void FillSettingFilter(QComboBox* box, const std::vector<int>& values);
  /// The outcome filter and the practice check box, added to `filters`.
  void AddOutcomeFilters(QHBoxLayout* filters);
  void ApplyFilters();
  void ShowSelected();
  void UpdateStatus();
  void ChooseAndSavePicture();
  void ChooseAndExport();

  // The parts of the window, top to bottom, and what ties them together.
  QLayout* BuildFilters();
  QWidget* BuildTable();
  QWidget* BuildCharts();
  QLayout* BuildButtons();
  void ConnectParts();
  /// The first size and the least one, within the screen.
  void FitScreen();
  void StartReading();

  QString folder_;
  // The filters, and the reading of the folder that fills them.
  QLineEdit* subject_ = nullptr;
  QComboBox* memtime_ = nullptr;
  QComboBox* maxRev_ = nullptr;
  QComboBox* outcome_ = nullptr;
  QCheckBox* showPractice_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* stopReading_ = nullptr;
  bool loaded_ = false;
  std::atomic<bool> cancel_{false};
  std::unique_ptr<QThread> reader_;
  // The table and the selected session's charts.
  SessionTableModel* model_ = nullptr;
  SessionFilter* filter_ = nullptr;
  QTableView* table_ = nullptr;
  QChartView* staircaseView_ = nullptr;
  QChartView* distributionView_ = nullptr;
  // The status line, which also tells how the last export went, and the buttons.
  QString lastExport_;
  QLabel* status_ = nullptr;
  QPushButton* savePicture_ = nullptr;
  QPushButton* export_ = nullptr;
  QPushButton* close_ = nullptr;
};

/// The Test menu's "Sessions…": the window over "sessions/" of the working
/// directory, modal over `parent`.
void ShowSessions(QWidget* parent);

}  // namespace sessions
