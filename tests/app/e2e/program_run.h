// The real program, started as an experimenter starts it: in a working
// directory of its own that holds a copy of the stimuli.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <string>

namespace e2e {

/// One run of the executable in a fresh temporary working directory, which
/// goes away with the object; a program still running then is killed.
class ProgramRun {
 public:
  ProgramRun() = default;
  ~ProgramRun();
  ProgramRun(const ProgramRun&) = delete;
  ProgramRun& operator=(const ProgramRun&) = delete;

  /// Makes the working directory and copies the files of `stimDir` into its "stim".
  bool Prepare(const QString& stimDir, std::string* err);
  /// Starts `executable` there on the X server of DISPLAY.
  bool Launch(const QString& executable, std::string* err);
  /// The working directory.
  QString WorkDir() const { return dir_.path(); }
  /// Waits for the program to end by itself; false (and `err`) when it has
  /// not ended within `timeoutMs` or crashed.
  bool WaitForExit(int timeoutMs, int* exitCode, std::string* err);

 private:
  QTemporaryDir dir_;
  QProcess process_;
};

}  // namespace e2e
