// The file of a session record: its name and its durable, never
// overwriting save.
#pragma once

#include <QDateTime>
#include <string>

#include "records/session_record.h"

namespace results {

/// A subject identifier made safe as part of a file name: every byte outside
/// A-Z, a-z, 0-9, "-" and "_" becomes %XX (so "." and "%" do too); at most
/// 120 characters, cut at a whole byte's code.
std::string FileNamePart(const std::string& subject);

/// The name of the record of a test of `subject` that ended at `ended`,
/// before any suffix that keeps it unique: "<subject>_<yyyyMMdd-HHmmss>".
std::string SessionFileStem(const std::string& subject, const QDateTime& ended);

/// Writes `record` as a new file in `folder` (made when missing) named from
/// its stem, adding "-2", "-3", ... when the name is taken, through a
/// temporary file that is synced and renamed, then syncs the folder.
/// `*path` gets the file's path (also on failure, the one that was tried).
bool SaveSessionRecord(const std::string& folder, const SessionRecord& record,
                       const QDateTime& ended, std::string* path, std::string* reason);

/// Makes the record of the test in `in` and saves it in "sessions/" of the
/// working directory. False with the file tried and the reason on failure;
/// the caller tells the person (SessionRecordFailureText).
bool WriteSessionRecord(const SessionInputs& in, std::string* path, std::string* reason);

/// What the person is told when the record at `path` could not be written.
std::string SessionRecordFailureText(const std::string& path, const std::string& reason);

}  // namespace results
