// What another user of a shared folder can leave where the program reads or
// writes: the cases that the safe file tests plant.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace testing {

/// The kinds Plant makes.
inline QStringList PlantedKinds() {
  return {"link", "fifo", "folder", "zero", "huge"};
}

/// Puts at `path` a thing of `kind`: "link" (a symbolic link to `victim`),
/// "fifo", "folder", "zero" (a link to /dev/zero), "huge" (a sparse regular
/// file of `hugeSize` bytes). True when it is there.
inline bool Plant(const QString& kind, const QString& path, const QString& victim,
                  qint64 hugeSize) {
  const QByteArray p = path.toLocal8Bit();
  if (kind == "link") return ::symlink(victim.toLocal8Bit().constData(), p.constData()) == 0;
  if (kind == "fifo") return ::mkfifo(p.constData(), 0666) == 0;
  if (kind == "folder") return ::mkdir(p.constData(), 0777) == 0;
  if (kind == "zero") return ::symlink("/dev/zero", p.constData()) == 0;
  if (kind == "huge") {
    const int fd = ::open(p.constData(), O_WRONLY | O_CREAT | O_EXCL, 0666);
    const bool ok = fd >= 0 && ::ftruncate(fd, hugeSize) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
  }
  return false;
}

/// The reason a reader gives for a planted `kind` (`cap` for "huge").
inline QString RefusalFor(const QString& kind, const QString& cap) {
  if (kind == "link" || kind == "zero") return "is a symbolic link";
  if (kind == "huge") return "is larger than " + cap;
  return "is not a regular file";
}

/// Another station: a child process that holds the write lock on the whole
/// of `path` until it is killed. Its pid, or -1 when it could not lock.
inline pid_t HoldLock(const QString& path) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    const char c = ::fcntl(fd, F_SETLK, &whole) == 0 ? 'L' : 'E';
    if (::write(ready[1], &c, 1) != 1) ::_exit(1);
    ::pause();
    ::_exit(0);
  }
  char c = 0;
  const bool locked = ::read(ready[0], &c, 1) == 1 && c == 'L';
  ::close(ready[0]);
  ::close(ready[1]);
  return locked ? child : -1;
}

}  // namespace testing
