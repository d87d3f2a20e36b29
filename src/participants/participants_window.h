// The "Participants" window: the participant register of the working folder
// as a table whose rows and cells the experimenter edits and saves. A
// register that cannot be read whole is shown read-only with the reason and
// never written.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "records/participant_register.h"

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;

namespace participants {

/// The window over the register at `path`, read when it is made.
class CParticipants : public QDialog {
  Q_OBJECT

 public:
  explicit CParticipants(const QString& path, QWidget* parent = nullptr);

  /// The rows and columns as shown; the header is the register's columns.
  QStandardItemModel* Model() const { return model_; }
  QTableView* Table() const { return table_; }
  /// True when the register was malformed or unreadable: nothing can change.
  bool ReadOnly() const { return readOnly_; }
  /// What the status line says.
  QString StatusText() const;
  /// True while edits are not saved.
  bool Modified() const { return modified_; }

  /// Adds an empty row at the end and starts editing its ID.
  void AddRow();
  /// Deletes the selected rows.
  void DeleteSelectedRows();
  /// Saves the table over the register; false with the reason shown.
  bool Save();

 protected:
  void reject() override;

 private:
  void Fill(const results::ParticipantRegister& reg);
  results::ParticipantRegister TableRegister() const;
  void CheckIds();
  void ShowStatus(const QString& text);
  QString SaveFailureText(results::RegisterSave result, const std::string& reason) const;

  QString path_;
  std::string loaded_;  ///< the file's bytes when read or last saved
  bool readOnly_ = false;
  bool modified_ = false;
  QStandardItemModel* model_ = nullptr;
  QTableView* table_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* delete_ = nullptr;
  QPushButton* save_ = nullptr;
};

/// Shows the window over "participants.csv" of the working folder until it is closed.
void ShowParticipants(QWidget* parent);

}  // namespace participants
