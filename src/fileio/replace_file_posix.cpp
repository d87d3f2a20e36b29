#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

#include "fileio/file_io.h"
#include "fileio/replace_file.h"

namespace file_io {
namespace {

const char kTempSuffix[] = ".tmp";

std::string NameOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A save holds a record lock on its temporary file until the file has been
// renamed, so an unlocked one belongs to a save that was killed.
bool TryLock(int fd) {
  return file_io::LockWholeFile(fd, false);
}

// "<name>.<digits>-<digits>.tmp", as TemporaryName makes them.
bool IsTemporaryOf(const std::string& entry, const std::string& name) {
  const size_t suffix = sizeof kTempSuffix - 1;
  if (entry.size() <= name.size() + 1 + suffix || entry.compare(0, name.size(), name) != 0 ||
      entry[name.size()] != '.' || entry.compare(entry.size() - suffix, suffix, kTempSuffix) != 0) {
    return false;
  }
  const std::string middle = entry.substr(name.size() + 1, entry.size() - name.size() - 1 - suffix);
  const size_t dash = middle.find('-');
  if (dash == 0 || dash == std::string::npos || dash + 1 == middle.size()) return false;
  return middle.find_first_not_of("0123456789-") == std::string::npos &&
         middle.find('-', dash + 1) == std::string::npos;
}

// Unpredictable, so that no one can plant a link at the name in advance
// (O_EXCL refuses one anyway).
std::string TemporaryName(const std::string& target) {
  uint64_t random = 0;
  if (::getrandom(&random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
    random = static_cast<uint64_t>(::getpid()) << 32 ^ static_cast<uint64_t>(::time(nullptr));
  }
  return target + "." + std::to_string(::getpid()) + "-" + std::to_string(random) + kTempSuffix;
}

void RemoveKilledSavesTemporaries(const std::string& target) {
  const std::string folder = file_io::FolderOf(target);
  const std::string name = NameOf(target);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTemporaryOf(entry->d_name, name)) continue;
    const std::string path = folder + "/" + entry->d_name;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {};
    struct stat named {};
    // Still the file that was locked: a save may have renamed it away and
    // made a new one of the same name meanwhile.
    if (TryLock(fd) && ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
  ::closedir(dir);
}

bool Refuse(std::string* reason, const char* why) {
  *reason = why;
  return false;
}

bool Fail(std::string* reason, int error) {
  *reason = std::strerror(error);
  return false;
}

// `fd` is freshly opened, so writing starts at the file's start.
bool WriteAll(int fd, std::string_view text) {
  return file_io::WriteAll(fd, text.data(), text.size());
}

// Written over from its start and cut to the new length: no new blocks are
// needed while the text is no longer than before, which matters on a full disk.
bool WriteInPlace(int fd, std::string_view text, std::string* reason) {
  const bool ok = WriteAll(fd, text) && ::ftruncate(fd, static_cast<off_t>(text.size())) == 0 &&
                  ::fsync(fd) == 0;
  const int error = errno;
  const bool closed = ::close(fd) == 0;
  if (!ok) return Fail(reason, error);
  return closed || Fail(reason, errno);
}

}  // namespace

bool ReplaceFileContent(const std::string& path, std::string_view text, std::string* reason) {
  // A link in the file's place may be another user's: neither it nor the
  // file it names is written.
  const std::string& target = path;
  struct stat old {};
  const bool hadOld = ::lstat(target.c_str(), &old) == 0;
  if (hadOld && S_ISLNK(old.st_mode)) return Refuse(reason, "is a symbolic link");
  if (hadOld && !S_ISREG(old.st_mode)) return Refuse(reason, "is not a regular file");
  RemoveKilledSavesTemporaries(target);
  int inPlace = -1;
  if (hadOld) {
    // Locked by its mode, which even an administrator's run must respect.
    if ((old.st_mode & 0222) == 0) return Fail(reason, EACCES);
    inPlace = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (inPlace < 0) {
      return errno == ELOOP ? Refuse(reason, "is a symbolic link") : Fail(reason, errno);
    }
    struct stat opened {};
    if (::fstat(inPlace, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      ::close(inPlace);
      return Refuse(reason, "is not a regular file");
    }
    ::fcntl(inPlace, F_SETFL, 0);
  }

  // The name is unique so that two copies of the program never share one.
  std::string temp;
  int fd = -1;
  int tempError = 0;
  for (int n = 0; fd < 0 && n < 100; ++n) {
    temp = TemporaryName(target);
    fd = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      tempError = errno;
      if (errno != EEXIST) break;
      continue;
    }
    if (!TryLock(fd)) {  // another save's clean-up took it first; it removes it
      ::close(fd);
      fd = -1;
    }
  }
  if (fd < 0) {
    if (inPlace >= 0) return WriteInPlace(inPlace, text, reason);
    return Fail(reason, tempError ? tempError : EEXIST);
  }
  if (inPlace >= 0) ::close(inPlace);

  bool ok = WriteAll(fd, text);
  if (ok && hadOld) {
    // Failing to keep these is no reason to lose the settings.
    if (::fchown(fd, old.st_uid, old.st_gid) != 0) {
      // only root may give a file to another owner
    }
    static_cast<void>(::fchmod(fd, old.st_mode & 07777));
  }
  ok = ok && ::fsync(fd) == 0;
  // Renamed while still locked, so that no clean-up takes it for a killed save's.
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  const int error = errno;
  if (!ok) ::unlink(temp.c_str());
  ::close(fd);
  if (!ok) return Fail(reason, error);
  file_io::SyncFolder(file_io::FolderOf(target));
  return true;
}

}  // namespace file_io
