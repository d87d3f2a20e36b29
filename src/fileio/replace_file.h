// Writing a file's content whole in its own place (the settings file), so
// that a crash, a full disk or a locked file never costs the content that is
// already there. The POSIX build is replace_file_posix.cpp.
#pragma once

#include <string>
#include <string_view>

namespace file_io {

/// Replaces the content of the file at `path` with `text`; a symbolic link
/// or anything but a regular file in its place is refused and left alone. The new text goes to a
/// file of its own beside it and replaces it in one rename, keeping its mode and, where allowed,
/// its owner; where no file can be made beside it, an existing file is written in place. A
/// read-only file (no write permission for anyone, or none for this user) is left as it is.
/// Temporary files that a killed save left beside it are removed first. False, with the system's
/// reason in `*reason`, when the text is not on disk.
bool ReplaceFileContent(const std::string& path, std::string_view text, std::string* reason);

}  // namespace file_io
