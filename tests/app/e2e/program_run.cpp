#include "app/e2e/program_run.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

namespace e2e {

ProgramRun::~ProgramRun() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

bool ProgramRun::Prepare(const QString& stimDir, std::string* err) {
  if (!dir_.isValid()) {
    *err = "cannot make a temporary working directory";
    return false;
  }
  const QDir source(stimDir);
  const QDir work(dir_.path());
  if (!work.mkdir(QStringLiteral("stim"))) {
    *err = "cannot make the stim directory";
    return false;
  }
  const QStringList files = source.entryList(QDir::Files);
  if (files.isEmpty()) {
    *err = "no stimuli in " + stimDir.toStdString();
    return false;
  }
  for (const QString& name : files) {
    if (!QFile::copy(source.filePath(name), work.filePath(QStringLiteral("stim/") + name))) {
      *err = "cannot copy " + name.toStdString();
      return false;
    }
  }
  return true;
}

bool ProgramRun::Launch(const QString& executable, std::string* err) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  if (environment.value(QStringLiteral("DISPLAY")).isEmpty()) {
    *err = "DISPLAY is not set: run under xvfb-run";
    return false;
  }
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  process_.setProcessEnvironment(environment);
  process_.setWorkingDirectory(dir_.path());
  process_.setProcessChannelMode(QProcess::ForwardedChannels);
  process_.start(executable, QStringList());
  if (!process_.waitForStarted(10000)) {
    *err = "cannot start " + executable.toStdString() + ": " + process_.errorString().toStdString();
    return false;
  }
  return true;
}

bool ProgramRun::WaitForExit(int timeoutMs, int* exitCode, std::string* err) {
  if (!process_.waitForFinished(timeoutMs)) {
    *err = "the program did not end within " + std::to_string(timeoutMs) + " ms";
    return false;
  }
  if (process_.exitStatus() != QProcess::NormalExit) {
    *err = "the program crashed";
    return false;
  }
  *exitCode = process_.exitCode();
  return true;
}

}  // namespace e2e
