// The files a whole test left, checked against what the person did. Each
// check fails the running QtTest case at its first difference and returns;
// the caller stops on QTest::currentTestFailed().
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QList>
#include <QString>
#include <vector>

#include "app/e2e/person.h"
#include "records/session_record.h"

namespace e2e {

/// The file `name` of `dir`; empty when it does not open.
QByteArray ReadFile(const QDir& dir, const char* name);

/// What the session record says of one trial, beside what the person did and
/// the trial's row of the subject file; empty when they agree.
QString CompareTrial(const results::SessionTrial& t, const DrivenTrial& d,
                     const QList<QByteArray>& row);

/// Checks the presses made in a gap of the grid as the test window appeared
/// and takes them out of trial 1 of `record`.
void CheckEarlyPresses(results::SessionRecord* record, int memtime);

/// The subject file's rows as read, and the score of the person's reversal trials.
struct SubjectFileSeen {
  QList<QByteArray> rows;
  QString score;
};

/// The subject's data file: one row per trial, exactly as the person took it.
void CheckSubjectFile(const QDir& work, const std::vector<DrivenTrial>& trials, int maxRev,
                      SubjectFileSeen* seen);
/// The log: its header and one line written during the run; its date and time in `stamp`.
void CheckLog(const QDir& work, const QDateTime& runStart, const QDateTime& runEnd,
              const QString& score, QByteArray* stamp);
/// The one session record, its name and times; read into `record`.
void ReadRecord(const QDir& work, const QDateTime& runStart, const QDateTime& runEnd,
                const QByteArray& stamp, results::SessionRecord* record);
/// The record's layouts come back from its generator; its settings are those entered.
void CheckRecordLayoutsAndSettings(const results::SessionRecord& record, const SubjectEntry& entry,
                                   size_t trialsRun);
/// The record's reversals and score, and every stimulus from the copies given.
void CheckRecordScoreAndStimuli(const results::SessionRecord& record, const QDir& work,
                                const QString& score, int maxRev);
/// The virtual X server's screen, the canvas on it, and every frame's onset source.
void CheckRecordDisplay(const results::SessionRecord& record);
/// Every trial of the record against what the person did and the subject file's row.
void CheckRecordTrials(const results::SessionRecord& record, const std::vector<DrivenTrial>& trials,
                       const QList<QByteArray>& rows);

}  // namespace e2e
