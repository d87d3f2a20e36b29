// Appending to a result file that several copies of the program, on several
// PCs, may append to at the same moment.
#pragma once

#include <string>

namespace results {

/// How an append ended.
enum class AppendStatus { kDone, kOpenFailed, kWriteFailed };

/// Appends `body` to `path` as one step that no other append to the same
/// file, by this or another process, can interleave with: `header` goes first
/// when the file is new or empty, and a line end first when its last byte is
/// not one. A failed write is cut back to the old end, which removes this
/// call's bytes only. Everything reaches the disk, a new file's folder entry
/// too, before kDone. `*reason` gets the system's error text on failure.
AppendStatus AppendToFile(const std::string& path, const std::string& header,
                          const std::string& body, std::string* reason);

}  // namespace results
