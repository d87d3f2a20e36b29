#include "results/result_files.h"

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <string>
#include <utility>

#include "fileio/file_append.h"
#include "results/decimal.h"
#include "settings/test_settings.h"
#include "ui/services.h"

namespace {

using file_io::AppendStatus;
using file_io::AppendToFile;

const char kLogName[] = "ORBEL.txt";
const char kSubjectHeader[] = "Subject,Trial,NItems,NCorrect,RT1,RT2,Error,Rev\r\n";
const char kLogHeader[] = "Date\tTime\tScore\tSubject\r\n";

bool SystemLocalTime(std::tm* local) {
  const std::time_t now = std::time(nullptr);
  if (now == static_cast<std::time_t>(-1)) return false;
  return localtime_r(&now, local) != nullptr;
}

ResultLockWait& LockWait() {
  static ResultLockWait wait;
  return wait;
}

// Waits for `file`'s lock with the installed wait, or without a word.
file_io::LockWaiter WaiterFor(const std::string& file) {
  if (!LockWait()) return {};
  return [file](const std::function<bool()>& tryLock) { return LockWait()(file, tryLock); };
}

LocalTimeSource& TimeSource() {
  static LocalTimeSource source = SystemLocalTime;
  return source;
}

int TrialsRun(const TestState& state) {
  if (state.trialsRun < 0) return 0;
  return state.trialsRun > kMaxTrials ? kMaxTrials : state.trialsRun;
}

std::string SubjectRows(const TestState& state, const std::string& subject) {
  std::string rows;
  char fields[7 * 12 + 8];
  for (int i = 0; i < TrialsRun(state); ++i) {
    const TrialRecord& r = state.trials[i];
    std::snprintf(fields, sizeof fields, "%d,%d,%d,%d,%d,%d,%d\r\n", r.Trial, r.NItems, r.NCorrect,
                  r.RT1, r.RT2, r.Error, r.Rev);
    rows += subject;
    rows += ',';
    rows += fields;
  }
  return rows;
}

// `local` null: the clock could not be read.
std::string LogLine(double score, const std::string& subject, const std::tm* read) {
  std::tm local = read ? *read : std::tm{};
  if (!read) {
    // Date 0000/00/00 and time -1:-1:-1 mark a clock that could not be read.
    local = std::tm{};
    local.tm_year = -1900;
    local.tm_mon = -1;
    local.tm_mday = 0;
    local.tm_hour = local.tm_min = local.tm_sec = -1;
  }
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "%04d/%02d/%02d\t%02d:%02d:%02d\t", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return stamp + results::FormatFixed(score, 2) + "\t" + subject + "\r\n";
}

void Warn(const std::string& text) {
  ui::AppMessageBox(text, ui::kMbOk | ui::kMbIconWarning);
}

void WriteResultsDated(int outcome, const std::tm* ended);

}  // namespace

double ComputeScore(const TestState& state, int* count) {
  double sum = 0;
  int n = 0;
  for (int i = 0; i < TrialsRun(state); ++i) {
    if (state.trials[i].Rev == 0) continue;
    sum += state.trials[i].NItems;
    ++n;
  }
  if (count) *count = n;
  return n > 0 ? sum / n : 0.0;
}

void SetLocalTimeSource(LocalTimeSource source) {
  TimeSource() = source ? std::move(source) : LocalTimeSource(SystemLocalTime);
}

ResultLockWait SetResultLockWait(ResultLockWait wait) {
  return std::exchange(LockWait(), std::move(wait));
}

void WriteTestResults(int outcome) {
  std::tm local{};
  const bool read = TimeSource()(&local);
  WriteResultsDated(outcome, read ? &local : nullptr);
}

void WriteTestResults(int outcome, const QDateTime& ended) {
  if (!ended.isValid()) return WriteResultsDated(outcome, nullptr);
  const QDateTime at = ended.toLocalTime();
  std::tm local{};
  local.tm_year = at.date().year() - 1900;
  local.tm_mon = at.date().month() - 1;
  local.tm_mday = at.date().day();
  local.tm_hour = at.time().hour();
  local.tm_min = at.time().minute();
  local.tm_sec = at.time().second();
  WriteResultsDated(outcome, &local);
}

namespace {

// `ended` null: the clock could not be read.
void WriteResultsDated(int outcome, const std::tm* ended) {
  ui::Services& services = ui::Ui();
  services.PlaceTopmost(services.MainWindow(), ScreenSize.width, ScreenSize.height);
  if (outcome != 1) return;

  const std::string& subject = testSettings.subject;
  const std::string dataFile = subject + ".csv";
  std::string reason;
  switch (AppendToFile(dataFile, kSubjectHeader, SubjectRows(testState, subject), &reason,
                       WaiterFor(dataFile))) {
    case AppendStatus::kDone:
      break;
    case AppendStatus::kOpenFailed:
      Warn(QCoreApplication::translate(
               "Results",
               "Cannot open the data file [%1] (%2); the rows of this test were not saved.")
               .arg(QString::fromStdString(dataFile), QString::fromStdString(reason))
               .toStdString());
      break;
    case AppendStatus::kRefused:
    case AppendStatus::kCancelled:
    case AppendStatus::kWriteFailed:
      Warn(QCoreApplication::translate(
               "Results",
               "Cannot write the data file [%1] (%2); the rows of this test were not saved.")
               .arg(QString::fromStdString(dataFile), QString::fromStdString(reason))
               .toStdString());
      break;
  }

  int reversalTrials = 0;
  const double score = ComputeScore(testState, &reversalTrials);
  if (reversalTrials == 0) {
    // A mean over no trials is no score: the log holds only scores.
    if (testSettings.flag_feedback != 0) {
      services.MessageBox(services.MainWindow(),
                          QCoreApplication::translate(
                              "Results", "The test ended without a reversal, so it has no score.")
                              .toStdString(),
                          QCoreApplication::translate("Results", "Score").toStdString(), ui::kMbOk);
    }
    return;
  }

  switch (AppendToFile(kLogName, kLogHeader, LogLine(score, subject, ended), &reason,
                       WaiterFor(kLogName))) {
    case AppendStatus::kDone:
      break;
    case AppendStatus::kOpenFailed:
      Warn(QCoreApplication::translate("Results", "Cannot open the data file [%1].")
               .arg(QLatin1String(kLogName))
               .toStdString());
      return;
    case AppendStatus::kRefused:
    case AppendStatus::kCancelled:
    case AppendStatus::kWriteFailed:
      Warn(QCoreApplication::translate(
               "Results",
               "Cannot write the data file [%1] (%2); the result of this test was not saved.")
               .arg(QLatin1String(kLogName), QString::fromStdString(reason))
               .toStdString());
      return;
  }

  if (testSettings.flag_feedback != 0) {
    services.MessageBox(services.MainWindow(),
                        QCoreApplication::translate("Results", "Score is %1")
                            .arg(QString::fromStdString(results::FormatFixed(score, 2)))
                            .toStdString(),
                        QCoreApplication::translate("Results", "Score").toStdString(), ui::kMbOk);
  }
}

}  // namespace
