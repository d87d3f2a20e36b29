// The session records a run of the program left, as the end-to-end test
// reads them back.
#pragma once

#include <QDir>
#include <QString>
#include <map>
#include <string>

#include "records/session_record.h"

namespace e2e {

/// The records in sessions/ of `work`, by outcome name; one that does not
/// read is left out with a warning.
std::map<std::string, results::SessionRecord> RecordsByOutcome(const QDir& work);

/// "escape 2 answer": how, trial and phase of the record's abort; "none".
QString AbortText(const results::SessionRecord& record);

}  // namespace e2e
