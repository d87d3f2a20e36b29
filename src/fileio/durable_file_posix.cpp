#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "fileio/durable_file.h"
#include "fileio/file_io.h"
#include "fileio/safe_file.h"

namespace file_io {
namespace {

// Where neither renameat2 nor hard links exist (some network shares), the
// name is still taken exclusively: created with O_EXCL and written again.
bool CopyExclusively(int folderFd, const std::string& temp, const std::string& name) {
  const int from = ::openat(folderFd, temp.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (from < 0) return false;
  const int to =
      ::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (to < 0) {
    const int error = errno;
    ::close(from);
    errno = error;
    return false;
  }
  char buffer[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(from, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    if (!WriteAll(to, buffer, static_cast<size_t>(n))) {
      ok = false;
      break;
    }
  }
  ok = ok && ::fsync(to) == 0;
  const int error = errno;
  ::close(from);
  ::close(to);
  if (!ok) {
    ::unlinkat(folderFd, name.c_str(), 0);
    errno = error;
    return false;
  }
  ::unlinkat(folderFd, temp.c_str(), 0);
  return true;
}

// Moves `temp` to `name` unless `name` exists, in one step where the file
// system allows it.
bool MoveNoReplace(int folderFd, const std::string& temp, const std::string& name) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(folderFd, temp.c_str(), folderFd, name.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
#endif
  if (::linkat(folderFd, temp.c_str(), folderFd, name.c_str(), 0) == 0) {
    ::unlinkat(folderFd, temp.c_str(), 0);
    return true;
  }
  if (errno != EPERM && errno != ENOTSUP && errno != ENOSYS) return false;
  return CopyExclusively(folderFd, temp, name);
}

}  // namespace

std::string TemporaryPrefix(const std::string& name) {
  return "." + name + ".tmp-";
}

bool NameExclusively(int folderFd, const std::string& temp, const std::vector<std::string>& names,
                     std::string* written) {
  for (const std::string& name : names) {
    *written = name;
    if (MoveNoReplace(folderFd, temp, name)) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

bool WriteNewFileDurably(const std::string& folder, const std::vector<std::string>& names,
                         const QByteArray& bytes, std::string* written, std::string* reason) {
  *written = names.empty() ? std::string() : names.front();
  if (names.empty()) {
    *reason = "no file name";
    return false;
  }
  const int dir = OpenOwnFolder(folder, true, reason);
  if (dir < 0) {
    // The record's own name is not the link: say which part is.
    if (*reason == OpenErrorText(ELOOP)) *reason = folder + " " + *reason;
    return false;
  }
  // Hidden, so that a reader listing the folder never takes it for a record.
  std::string temp;
  const int fd = CreateTemporary(dir, TemporaryPrefix(names.front()), &temp);
  // Held until the file has its name, so that no one takes it for a killed save's.
  bool ok = fd >= 0 && LockWholeFile(fd, false) &&
            WriteAll(fd, bytes.constData(), static_cast<size_t>(bytes.size())) &&
            ::fsync(fd) == 0 && NameExclusively(dir, temp, names, written);
  int error = errno;
  if (!ok && fd >= 0) ::unlinkat(dir, temp.c_str(), 0);
  if (fd >= 0 && ::close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && ::fsync(dir) != 0) {
    ok = false;
    error = errno;
  }
  ::close(dir);
  if (!ok) *reason = std::strerror(error);
  return ok;
}

}  // namespace file_io
