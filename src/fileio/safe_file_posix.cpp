#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QString>
#include <cerrno>
#include <cstring>

#include "fileio/file_io.h"
#include "fileio/safe_file.h"

namespace file_io {
namespace {

std::string NotRegularText() {
  return QCoreApplication::translate("FileIo", "is not a regular file").toStdString();
}

std::string LinkText() {
  return QCoreApplication::translate("FileIo", "is a symbolic link").toStdString();
}

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// What a name in our place must be before it is opened: missing, or a
// regular file. A device is never opened, since opening one can act.
bool CheckPlace(const std::string& path, ReadStatus* status, std::string* reason) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    *status = errno == ENOENT ? ReadStatus::kMissing : ReadStatus::kFailed;
    *reason = std::strerror(errno);
    return false;
  }
  if (S_ISLNK(st.st_mode) || !S_ISREG(st.st_mode)) {
    *status = ReadStatus::kRefused;
    *reason = S_ISLNK(st.st_mode) ? LinkText() : NotRegularText();
    return false;
  }
  return true;
}

int Fail(std::string* reason, const std::string& text) {
  *reason = text;
  return -1;
}

}  // namespace

std::string LargerThanText(uint64_t cap) {
  if (cap >= kMiB && cap % kMiB == 0)
    return QCoreApplication::translate("FileIo", "is larger than %1 MiB")
        .arg(cap / kMiB)
        .toStdString();
  return QCoreApplication::translate("FileIo", "is larger than %1 bytes").arg(cap).toStdString();
}

std::string OpenErrorText(int error) {
  return error == ELOOP ? LinkText() : std::string(std::strerror(error));
}

int OpenRegularForReading(const std::string& path, uint64_t cap, uint64_t* size, ReadStatus* status,
                          std::string* reason) {
  *size = 0;
  if (!CheckPlace(path, status, reason)) return -1;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *status = errno == ENOENT ? ReadStatus::kMissing
                              : (errno == ELOOP ? ReadStatus::kRefused : ReadStatus::kFailed);
    *reason = OpenErrorText(errno);
    return -1;
  }
  // Swapped for something else since it was looked at.
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > cap) {
    const bool regular = S_ISREG(st.st_mode);
    ::close(fd);
    *status = ReadStatus::kRefused;
    *reason = regular ? LargerThanText(cap) : NotRegularText();
    return -1;
  }
  *size = static_cast<uint64_t>(st.st_size);
  *status = ReadStatus::kDone;
  return fd;
}

ReadStatus ReadRegularFile(const std::string& path, uint64_t cap, std::string* bytes,
                           std::string* reason) {
  bytes->clear();
  uint64_t size = 0;
  ReadStatus status = ReadStatus::kDone;
  const int fd = OpenRegularForReading(path, cap, &size, &status, reason);
  if (fd < 0) return status;
  bytes->resize(static_cast<size_t>(size));
  size_t have = 0;
  char probe = 0;
  for (;;) {
    // One byte past the size seen: a file that grew meanwhile is caught here.
    char* into = have < bytes->size() ? &(*bytes)[have] : &probe;
    const size_t want = have < bytes->size() ? bytes->size() - have : 1;
    const ssize_t n = ::read(fd, into, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *reason = std::strerror(errno);
      status = ReadStatus::kFailed;
      break;
    }
    if (n == 0) {
      bytes->resize(have);  // it shrank
      break;
    }
    if (into == &probe) {
      if (have + 1 > cap) {
        *reason = LargerThanText(cap);
        status = ReadStatus::kRefused;
        break;
      }
      bytes->push_back(probe);
      ++have;
      continue;
    }
    have += static_cast<size_t>(n);
  }
  ::close(fd);
  if (status != ReadStatus::kDone) std::string().swap(*bytes);
  return status;
}

int OpenOwnFolder(const std::string& path, bool create, std::string* reason) {
  if (create && ::mkdir(path.c_str(), 0777) == 0) {
    // A new folder must itself be made durable in its parent.
    SyncFolder(FolderOf(path));
  } else if (create && errno != EEXIST) {
    return Fail(reason, std::strerror(errno));
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd >= 0) return fd;
  if (errno == ENOTDIR) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return Fail(reason, LinkText());
    return Fail(reason, std::strerror(ENOTDIR));
  }
  return Fail(reason, OpenErrorText(errno));
}

int CreateTemporary(int folderFd, const std::string& prefix, std::string* name) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char random[12];
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) return -1;
    *name = prefix;
    for (const unsigned char r : random) *name += kLetters[r % (sizeof kLetters - 1)];
    const int fd =
        ::openat(folderFd, name->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool ReplaceWhole(const std::string& path, std::string_view bytes, std::string* reason) {
  struct stat old {};
  const bool hadOld = ::lstat(path.c_str(), &old) == 0;
  if (hadOld && (S_ISLNK(old.st_mode) || !S_ISREG(old.st_mode))) {
    *reason = S_ISLNK(old.st_mode) ? LinkText() : NotRegularText();
    return false;
  }
  // The folder the person named may be a link (a share); the file may not.
  const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) {
    *reason = std::strerror(errno);
    return false;
  }
  const std::string name = NameOf(path);
  std::string temp;
  const int fd = CreateTemporary(dir, "." + name + ".tmp-", &temp);
  bool ok = fd >= 0 && WriteAll(fd, bytes.data(), bytes.size());
  if (ok && hadOld) static_cast<void>(::fchmod(fd, old.st_mode & 07777));
  ok = ok && ::fsync(fd) == 0;
  // rename replaces whatever holds the name now, a link too, never its target.
  ok = ok && ::renameat(dir, temp.c_str(), dir, name.c_str()) == 0;
  const int error = errno;
  if (fd >= 0) {
    if (!ok) ::unlinkat(dir, temp.c_str(), 0);
    ::close(fd);
  }
  if (ok) ::fsync(dir);
  ::close(dir);
  if (!ok) *reason = std::strerror(error);
  return ok;
}

}  // namespace file_io
