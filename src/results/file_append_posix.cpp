#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "results/file_append.h"

namespace results {
namespace {

bool WriteAll(int fd, const std::string& data) {
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// A record lock on the whole file, also past its current end. Record locks
// are the ones that network file systems (NFS, SMB) pass on to the server, so
// they hold between PCs too. Closing the file releases it.
bool LockWhole(int fd) {
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  whole.l_start = 0;
  whole.l_len = 0;
  while (::fcntl(fd, F_SETLKW, &whole) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& path) {
  const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return;
  ::fsync(dir);
  ::close(dir);
}

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
  if (!LockWhole(fd) || ::fstat(fd, &st) != 0) {
    *reason = std::strerror(errno);
    ::close(fd);
    return AppendStatus::kWriteFailed;
  }
  const std::string data = LineStart(fd, st.st_size, header) + body;
  if (!WriteAll(fd, data) || ::fsync(fd) != 0) {
    *reason = std::strerror(errno);
    // No half row is left for the next test to continue.
    if (::ftruncate(fd, st.st_size) == 0) ::fsync(fd);
    ::close(fd);
    return AppendStatus::kWriteFailed;
  }
  if (created) SyncFolder(path);
  if (::close(fd) != 0) {
    *reason = std::strerror(errno);
    return AppendStatus::kWriteFailed;
  }
  return AppendStatus::kDone;
}

}  // namespace results
