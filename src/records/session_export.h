// The tidy export of session records for R or pandas: one CSV file with a
// row per trial (the session's settings on every row) and one with a row
// per touch. UTF-8, comma-separated, quoted where needed, "NA" for a value
// that does not exist. The columns are described in docs/session-record.md.
#pragma once

#include <QString>
#include <string>
#include <vector>

#include "records/session_record.h"

namespace results {

/// The header lines of the two files, line end included.
extern const char kTrialsCsvHeader[];
extern const char kTouchesCsvHeader[];

/// The trial rows of one record; `session` names it in the first column.
std::string TrialCsvRows(const SessionRecord& record, const std::string& session);

/// The touch rows of one record.
std::string TouchCsvRows(const SessionRecord& record, const std::string& session);

/// Reads the records at `paths` (a session is named by its file name
/// without ".json") and writes both files, and the sessions table at
/// `tablePath` unless it is empty, each whole or not at all.
/// Records that cannot be read are left out and counted in `*skipped`.
/// False with `*reason` when a file cannot be written.
bool ExportSessions(const std::vector<QString>& paths, const QString& trialsPath,
                    const QString& touchesPath, int* skipped, std::string* reason,
                    const QString& tablePath = QString());

}  // namespace results
