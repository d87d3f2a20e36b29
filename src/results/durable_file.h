// Files that appear whole or not at all and survive a power cut once written:
// a temporary file is written and synced, renamed to its name without ever
// replacing another file, and the folder is synced.
#pragma once

#include <QByteArray>
#include <string>
#include <vector>

namespace results {

/// Writes `bytes` to the first of `names` that does not exist yet in
/// `folder` (made when missing). True with `*written` set to that name; false
/// with the system's reason in `*reason` (and `*written` the name tried last).
bool WriteNewFileDurably(const std::string& folder, const std::vector<std::string>& names,
                         const QByteArray& bytes, std::string* written, std::string* reason);

}  // namespace results
