#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "results/durable_file.h"
#include "settings/file_io.h"

namespace results {
namespace {

std::string Reason() {
  return std::strerror(errno);
}

// A new folder must itself be made durable in its parent.
bool MakeFolder(const std::string& folder) {
  if (::mkdir(folder.c_str(), 0777) == 0) {
    return file_io::SyncFolder(file_io::FolderOf(folder));
  }
  if (errno != EEXIST) return false;
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  return true;
}

// Moves `from` to `to` unless `to` exists: renameat2 where the file system
// has it, a hard link where it has that, a checked rename otherwise.
int MoveNoReplace(const std::string& from, const std::string& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
#endif
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return 0;
  }
  if (errno == EEXIST) return -1;
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0) {
    errno = EEXIST;
    return -1;
  }
  return ::rename(from.c_str(), to.c_str());
}

}  // namespace

bool WriteNewFileDurably(const std::string& folder, const std::vector<std::string>& names,
                         const QByteArray& bytes, std::string* written, std::string* reason) {
  *written = names.empty() ? std::string() : names.front();
  if (names.empty()) {
    *reason = "no file name";
    return false;
  }
  if (!MakeFolder(folder)) {
    *reason = Reason();
    return false;
  }
  // Hidden, so that a reader listing the folder never takes it for a record.
  const std::string temp = folder + "/." + names.front() + ".tmp" + std::to_string(::getpid());
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    *reason = Reason();
    return false;
  }
  if (!file_io::WriteAll(fd, bytes.constData(), static_cast<size_t>(bytes.size())) ||
      ::fsync(fd) != 0) {
    *reason = Reason();
    ::close(fd);
    ::unlink(temp.c_str());
    return false;
  }
  if (::close(fd) != 0) {
    *reason = Reason();
    ::unlink(temp.c_str());
    return false;
  }
  for (const std::string& name : names) {
    *written = name;
    if (MoveNoReplace(temp, folder + "/" + name) == 0) {
      if (!file_io::SyncFolder(folder)) {
        *reason = Reason();
        return false;
      }
      return true;
    }
    if (errno != EEXIST) break;
  }
  *reason = Reason();
  ::unlink(temp.c_str());
  return false;
}

}  // namespace results
