// The two dialogs that set up a test: Subject Information, the first step of
// every test, and Option, which edits the timing settings alone.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "settings/setting_ranges.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

/// What the two set-up dialogs share: controls placed in dialog units, the
/// field transfers, and OK that closes only after every transfer succeeded.
class CSetupDialog : public QDialog {
  Q_OBJECT

 public:
  /// Moves the members into the controls (`toControls`) or the controls into
  /// the members, in member order; false at the first field that holds no
  /// integer, a number outside its range or no usable subject ID, after
  /// warning and putting the focus on it.
  virtual bool ExchangeData(bool toControls) = 0;
  /// What OK and Enter do: transfers from the controls and closes the dialog
  /// with the OK result when that succeeded; true when it closed.
  bool TryAccept();
  void accept() override;

  /// Edit box with control id `id`, or null.
  QLineEdit* Edit(int id) const;
  /// Check box with control id `id`, or null.
  QCheckBox* Check(int id) const;
  /// Push button 1 (OK) or 2 (Cancel), or null.
  QPushButton* Button(int id) const;
  /// The label that gives the ranges of the time and the reversals.
  QLabel* RangesLabel() const;

 protected:
  CSetupDialog(QWidget* parent, const QString& title, int width, int height);
  void AddEdit(int id, int x, int y, int width, int height);
  void AddCheck(int id, const QString& text, int x, int y, int width, int height);
  void AddButton(int id, const QString& text, int x, int y, int width, int height);
  void AddStatic(const QString& text, int x, int y, int width, int height);
  /// The OK button (id 1) at (x, y) with the cancel button (id 2) below it.
  void AddOkCancel(int x, int y);
  /// The labels of the memorisation time (its unit at `secX`) on row y and of
  /// the reversals on the row below.
  void AddSettingLabels(int y, int secX);
  /// Focus on the first control and its text selected, as a fresh dialog has.
  void FocusFirst(QLineEdit* edit);

  void TransferText(bool toControls, int id, std::string* member);
  bool TransferInt(bool toControls, int id, int32_t* member);
  /// TransferInt that also refuses, from the controls, a number outside the
  /// range of `setting`. A stored value outside it is shown as it is.
  bool TransferRanged(bool toControls, int id, int32_t* member, RangedSetting setting);
  /// The ranges label, placed in dialog units.
  void AddRangesHint(int x, int y, int width, int height);
  /// TransferText that refuses, from the controls, an identifier that could not
  /// be stored and read back whole.
  bool TransferSubjectId(bool toControls, int id, std::string* member);
  /// Warns with `message`, then puts the focus on `edit` with its text selected.
  void Refuse(QLineEdit* edit, const std::string& message);
  void TransferCheck(bool toControls, int id, int32_t* member);

  void showEvent(QShowEvent* event) override;

 private:
  bool initialised_ = false;
};

/// Subject Information (dialog 104): subject identifier, timing and flags.
class CSubject : public CSetupDialog {
  Q_OBJECT

 public:
  explicit CSubject(QWidget* parent = nullptr);
  /// Transfers subject, memtime, maxRev, hideMouse, flagRanking, flagFeedback.
  bool ExchangeData(bool toControls) override;

  std::string subject;
  int32_t memtime = 0;
  int32_t maxRev = 0;
  int32_t hideMouse = 0;
  int32_t flagRanking = 0;
  int32_t flagFeedback = 0;
};

/// Option (dialog 115): memorisation time, hide mouse, reversals.
class COption : public CSetupDialog {
  Q_OBJECT

 public:
  explicit COption(QWidget* parent = nullptr);
  /// Transfers memtime, hideMouse, maxRev.
  bool ExchangeData(bool toControls) override;

  int32_t memtime = 0;
  int32_t hideMouse = 0;
  int32_t maxRev = 0;
};

/// Runs the Subject Information dialog on the current settings. On OK stores
/// the edits, closes the main window's input method, resets the test and
/// returns 1; otherwise returns 0 and changes nothing.
int AskSubjectInformation();

/// Runs the Option dialog; on OK stores memtime, hide_mouse and max_rev.
void EditOptions();
