// The files a completed test leaves behind: the subject's data file (one row
// per trial) and the cumulative log "ORBEL.txt" (one line with the score).
#pragma once

#include <QDateTime>
#include <ctime>
#include <functional>
#include <string>

#include "procedure/staircase.h"

/// Puts the main window back over the screen and, when `outcome` is 1, appends
/// the trial rows to "<subject>.csv", the score line to "ORBEL.txt" and shows
/// the score when feedback is on. Failures are reported in message boxes.
void WriteTestResults(int outcome);

/// The same with the log line dated `ended` (local time, to the second), the
/// moment the caller also names the session record by.
void WriteTestResults(int outcome, const QDateTime& ended);

/// Mean NItems over the reversal trials (Rev != 0) among the trials run;
/// stores their number in `*count` (may be null). 0.0 when there is none.
double ComputeScore(const TestState& state, int* count);

/// Reads the calendar clock as local time into `*local`; false on failure.
using LocalTimeSource = std::function<bool(std::tm* local)>;

/// Replaces the clock that dates log lines; an empty function restores the
/// system clock.
void SetLocalTimeSource(LocalTimeSource source);

/// Shows that a result file's lock is held by another station while it waits:
/// polls `tryLock` until it returns true (true) or the experimenter cancels
/// (false). `file` names the file waited for.
using ResultLockWait =
    std::function<bool(const std::string& file, const std::function<bool()>& tryLock)>;

/// Installs the wait that result files use; an empty one waits without a
/// word. Returns the one it replaces.
ResultLockWait SetResultLockWait(ResultLockWait wait);
