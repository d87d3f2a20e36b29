// A session record read back from the bytes of its file.
#pragma once

#include <QByteArray>
#include <string>

#include "records/session_record.h"

namespace results {

/// Reads a record; false with `*reason` (one line, for a person) when the
/// bytes are empty, truncated, not JSON, not a session record, of a newer
/// major version or of a shape this program does not read. Without
/// `keepEvents` every frame and touch is still checked, but the trials'
/// frame and touch lists stay empty (for listing thousands at a time).
bool ParseSessionRecord(const QByteArray& bytes, SessionRecord* record, std::string* reason,
                        bool keepEvents = true);

}  // namespace results
