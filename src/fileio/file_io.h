// The file system calls that the settings file and the result files share.
// The POSIX build is file_io_posix.cpp.
#pragma once

#include <cstddef>
#include <string>

namespace file_io {

/// Writes all `size` bytes at the file's position, again after interruptions;
/// false with errno set when the system refuses.
bool WriteAll(int fd, const char* data, size_t size);

/// The folder that holds `path`: "." for a bare name, "/" for the root's entries.
std::string FolderOf(const std::string& path);

/// A write lock on the whole of `fd`'s file, also past its current end; with
/// `wait`, until it is granted. Record locks are the ones that network file
/// systems (NFS, SMB) pass on to the server, so they hold between PCs too; they
/// go with the file's closing or its process.
bool LockWholeFile(int fd, bool wait);

/// Syncs `folder` itself, so that names made or renamed in it survive a power
/// cut; false with errno set when it cannot.
bool SyncFolder(const std::string& folder);

}  // namespace file_io
