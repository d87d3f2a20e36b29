#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "results/file_append.h"
#include "settings/file_io.h"

namespace results {
namespace {

// Opens an existing file, or creates it; `*created` tells which. Read access
// is only wanted to look at the last byte: a file that may be written but not
// read is still appended to, never created afresh.
int OpenForAppend(const std::string& path, bool* created) {
  for (;;) {
    int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == EACCES) fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd >= 0 || errno != ENOENT) {
      *created = false;
      return fd;
    }
    fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) {
      *created = fd >= 0;
      return fd;
    }
    // Another station created it in between: open theirs.
  }
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
                          const std::string& body, std::string* reason) {
  bool created = false;
  const int fd = OpenForAppend(path, &created);
  if (fd < 0) {
    *reason = std::strerror(errno);
    return AppendStatus::kOpenFailed;
  }
  // From here to close the file is ours alone: another station's header
  // decision, line end repair, write or cut-back waits for the lock.
  struct stat st {};
  if (!file_io::LockWholeFile(fd, true) || ::fstat(fd, &st) != 0) {
    *reason = std::strerror(errno);
    ::close(fd);
    return AppendStatus::kWriteFailed;
  }
  const std::string data = LineStart(fd, st.st_size, header) + body;
  if (!file_io::WriteAll(fd, data.data(), data.size()) || ::fsync(fd) != 0) {
    *reason = std::strerror(errno);
    // No half row is left for the next test to continue.
    if (::ftruncate(fd, st.st_size) == 0) ::fsync(fd);
    ::close(fd);
    return AppendStatus::kWriteFailed;
  }
  if (created) file_io::SyncFolder(file_io::FolderOf(path));
  if (::close(fd) != 0) {
    *reason = std::strerror(errno);
    return AppendStatus::kWriteFailed;
  }
  return AppendStatus::kDone;
}

}  // namespace results
