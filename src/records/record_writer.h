// A session record as the JSON text of its file.
#pragma once

#include <QByteArray>

#include "records/session_record.h"

namespace results {

/// The record as the JSON text that is written to its file.
QByteArray SessionRecordJson(const SessionRecord& record);

}  // namespace results
