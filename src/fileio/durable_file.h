// Files that appear whole or not at all and survive a power cut once written:
// a temporary file is written and synced, given its name without ever
// replacing another file, and the folder is synced.
#pragma once

#include <QByteArray>
#include <string>
#include <vector>

namespace file_io {

/// What a temporary file of `name` is called before it gets that name:
/// "." + `name` + ".tmp-" and twelve unpredictable characters.
std::string TemporaryPrefix(const std::string& name);

/// Writes `bytes` to the first of `names` that does not exist yet in
/// `folder` (made when missing; refused when it is a symbolic link). Each
/// name is taken exclusively, so two writers, on one PC or two, never share
/// or replace one. The temporary file is locked while it is written, which
/// tells a live save from a killed one. True with `*written` set to that
/// name; false with the reason in `*reason` (and `*written` the name tried
/// last).
bool WriteNewFileDurably(const std::string& folder, const std::vector<std::string>& names,
                         const QByteArray& bytes, std::string* written, std::string* reason);

/// Gives the synced file `temp` of the folder `folderFd` the first free name
/// of `names`, exclusively; true with `*written`, false with errno.
bool NameExclusively(int folderFd, const std::string& temp, const std::vector<std::string>& names,
                     std::string* written);

}  // namespace file_io
