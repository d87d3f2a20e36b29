#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <cerrno>
#include <cstring>

#include "fileio/file_append.h"
#include "fileio/file_io.h"
#include "fileio/safe_file.h"

namespace file_io {
namespace {

constexpr int kAppendFlags = O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;

// Opens an existing file, or creates it; `*created` tells which. Read access
// is only wanted to look at the last byte: a file that may be written but not
// read is still appended to, never created afresh. Only a regular file is
// opened, never through a link; O_NONBLOCK keeps a FIFO from holding us.
int OpenForAppend(const std::string& path, bool* created) {
  for (;;) {
    int fd = ::open(path.c_str(), O_RDWR | kAppendFlags);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | kAppendFlags);
    if (fd >= 0 || errno != ENOENT) {
      *created = false;
      return fd;
    }
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kAppendFlags, 0666);
    if (fd >= 0 || errno != EEXIST) {
      *created = fd >= 0;
      return fd;
    }
    // Another station created it in between: open theirs.
  }
}

// Refuses what is not a regular file before anything is opened (opening a
// device can act), and again on the descriptor, which is what is written. A
// folder is no one's trap, just a file that cannot be opened.
AppendStatus CheckKind(const std::string& path, int fd, std::string* reason) {
  struct stat st {};
  if (fd < 0) {
    if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return AppendStatus::kDone;
  } else if (::fstat(fd, &st) != 0 || S_ISREG(st.st_mode)) {
    return AppendStatus::kDone;
  }
  if (S_ISDIR(st.st_mode)) {
    *reason = std::strerror(EISDIR);
    return AppendStatus::kOpenFailed;
  }
  *reason = (S_ISLNK(st.st_mode) ? QCoreApplication::translate("FileIo", "is a symbolic link")
                                 : QCoreApplication::translate("FileIo", "is not a regular file"))
                .toStdString();
  return AppendStatus::kRefused;
}

// The lock, waited for by `waiter` when another process holds it.
bool Lock(int fd, const LockWaiter& waiter) {
  if (!waiter) return LockWholeFile(fd, true);
  if (LockWholeFile(fd, false)) return true;
  if (errno != EAGAIN && errno != EACCES) return false;
  const bool locked = waiter([fd] { return LockWholeFile(fd, false); });
  if (!locked) errno = ECANCELED;
  return locked;
}

// What must come before the body so that it starts a line of its own.
std::string LineStart(int fd, off_t size, const std::string& header) {
  if (size == 0) return header;
  char last = '\n';
  ssize_t n;
  do {
    n = ::pread(fd, &last, 1, size - 1);
  } while (n < 0 && errno == EINTR);
  // Unreadable (a write-only file): nothing to go by, so nothing is added.
  if (n != 1 || last == '\n') return std::string();
  return last == '\r' ? "\n" : "\r\n";
}

}  // namespace

AppendStatus AppendToFile(const std::string& path, const std::string& header,
                          const std::string& body, std::string* reason, const LockWaiter& waiter) {
  AppendStatus kind = CheckKind(path, -1, reason);
  if (kind != AppendStatus::kDone) return kind;
  bool created = false;
  const int fd = OpenForAppend(path, &created);
  if (fd < 0) {
    const int error = errno;
    *reason = OpenErrorText(error);
    return error == ELOOP ? AppendStatus::kRefused : AppendStatus::kOpenFailed;
  }
  kind = CheckKind(path, fd, reason);
  if (kind != AppendStatus::kDone) {
    ::close(fd);
    return kind;
  }
  // Writes wait for the disk again, as they always did.
  ::fcntl(fd, F_SETFL, O_APPEND);
  // From here to close the file is ours alone: another station's header
  // decision, line end repair, write or cut-back waits for the lock.
  struct stat st {};
  if (!Lock(fd, waiter) || ::fstat(fd, &st) != 0) {
    const bool cancelled = errno == ECANCELED;
    *reason = cancelled ? QCoreApplication::translate(
                              "FileIo", "the wait for another station's lock was cancelled")
                              .toStdString()
                        : std::string(std::strerror(errno));
    ::close(fd);
    return cancelled ? AppendStatus::kCancelled : AppendStatus::kWriteFailed;
  }
  const std::string data = LineStart(fd, st.st_size, header) + body;
  if (!WriteAll(fd, data.data(), data.size()) || ::fsync(fd) != 0) {
    *reason = std::strerror(errno);
    // No half row is left for the next test to continue.
    if (::ftruncate(fd, st.st_size) == 0) ::fsync(fd);
    ::close(fd);
    return AppendStatus::kWriteFailed;
  }
  if (created) SyncFolder(FolderOf(path));
  if (::close(fd) != 0) {
    *reason = std::strerror(errno);
    return AppendStatus::kWriteFailed;
  }
  return AppendStatus::kDone;
}

}  // namespace file_io
