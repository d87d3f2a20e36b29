#include "records/session_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>

#include "fileio/durable_file.h"
#include "fileio/file_io.h"
#include "fileio/safe_file.h"
#include "records/record_parser.h"
#include "records/session_file.h"

namespace results {
namespace {

// Often enough for a smooth progress bar, seldom enough to cost nothing.
constexpr qint64 kProgressEveryMs = 30;
// Reading is parsing bound; more threads than this only fight over the disk.
constexpr int kMaxThreads = 4;

// Records past this size are read one at a time, so that the threads
// together never hold more than a few of the largest.
constexpr uint64_t kSmallRecordBytes = 1 * file_io::kMiB;
constexpr int kMaxNameSuffix = 1000;
constexpr char kTempMark[] = ".json.tmp";

SessionListing Unreadable(const QString& path, const QString& reason) {
  SessionListing listing;
  listing.path = path;
  listing.fileName = QFileInfo(path).fileName();
  listing.reason = reason;
  return listing;
}

// The bytes of a record, or why there are none.
bool ReadRecord(const std::string& path, std::string* bytes, std::string* reason) {
  static std::mutex large;
  struct stat st {};
  std::unique_lock<std::mutex> oneAtATime(large, std::defer_lock);
  if (::lstat(path.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_size) > kSmallRecordBytes) {
    oneAtATime.lock();
  }
  return file_io::ReadRegularFile(path, file_io::kMaxRecordBytes, bytes, reason) ==
         file_io::ReadStatus::kDone;
}

SessionListing ListFile(const QString& path) {
  std::string bytes;
  std::string reason;
  if (!ReadRecord(path.toStdString(), &bytes, &reason)) {
    return Unreadable(path, QStringLiteral("cannot be read: ") + QString::fromStdString(reason));
  }
  SessionListing listing = ListSession(path, QByteArray::fromStdString(bytes));
  return listing;
}

// ".<name>.json.tmp<anything>", as a save names the file it writes.
bool IsTemporaryRecord(const std::string& entry, std::string* stem) {
  const size_t mark = entry.rfind(kTempMark);
  if (entry.size() < 2 || entry[0] != '.' || mark == std::string::npos || mark < 2) return false;
  *stem = entry.substr(1, mark - 1);
  return true;
}

// Completes a killed save's file into a record when it parses whole; an
// empty listing when it was completed or belongs to a save still running.
SessionListing RecoverTemporary(int dir, const std::string& folder, const std::string& entry,
                                const std::string& stem) {
  const QString path = QString::fromStdString(folder + "/" + entry);
  const int fd = ::openat(dir, entry.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    const std::string why = fd < 0 ? file_io::OpenErrorText(errno) : "is not a regular file";
    if (fd >= 0) ::close(fd);
    return Unreadable(
        path, QStringLiteral("unfinished save, cannot be read: ") + QString::fromStdString(why));
  }
  // A running save holds the lock until its file has its name.
  if (!file_io::LockWholeFile(fd, false)) {
    ::close(fd);
    return SessionListing();
  }
  std::string bytes;
  std::string reason;
  SessionRecord record;
  SessionListing listing;
  if (!ReadRecord(path.toStdString(), &bytes, &reason)) {
    listing = Unreadable(
        path, QStringLiteral("unfinished save, cannot be read: ") + QString::fromStdString(reason));
  } else if (!ParseSessionRecord(QByteArray::fromStdString(bytes), &record, &reason, false)) {
    listing =
        Unreadable(path, QStringLiteral("unfinished save: ") + QString::fromStdString(reason));
  } else {
    std::vector<std::string> names{stem};
    const std::string base = stem.substr(0, stem.size() - 5);  // without ".json"
    for (int k = 2; k <= kMaxNameSuffix; ++k)
      names.push_back(base + "-" + std::to_string(k) + ".json");
    std::string written;
    // Gone meanwhile (its save ended after all): nothing to do.
    if (!file_io::NameExclusively(dir, entry, names, &written) && errno != ENOENT) {
      listing = Unreadable(path, QStringLiteral("unfinished save, cannot be completed: ") +
                                     QString::fromStdString(std::strerror(errno)));
    } else {
      ::fsync(dir);
    }
  }
  ::close(fd);
  return listing;
}

}  // namespace

std::vector<SessionListing> RecoverUnfinishedRecords(const QString& folder) {
  std::vector<SessionListing> unfinished;
  const std::string path = folder.toStdString();
  std::string reason;
  const int dir = file_io::OpenOwnFolder(path, false, &reason);
  if (dir < 0) return unfinished;
  const int listed = ::dup(dir);
  DIR* entries = listed >= 0 ? ::fdopendir(listed) : nullptr;
  std::vector<std::string> temporaries;
  while (const dirent* e = entries ? ::readdir(entries) : nullptr) temporaries.push_back(e->d_name);
  if (entries) ::closedir(entries);
  std::sort(temporaries.begin(), temporaries.end());
  for (const std::string& entry : temporaries) {
    std::string stem;
    if (!IsTemporaryRecord(entry, &stem)) continue;
    SessionListing listing = RecoverTemporary(dir, path, entry, stem + ".json");
    if (!listing.path.isEmpty()) unfinished.push_back(std::move(listing));
  }
  ::close(dir);
  return unfinished;
}

// Every entry named "*.json" that is not hidden, whatever its kind: a FIFO or
// a folder is listed too, with its reason.
QStringList RecordNames(const QString& folder, QString* problem) {
  QStringList names;
  std::string reason;
  const int dir = file_io::OpenOwnFolder(folder.toStdString(), false, &reason);
  if (dir < 0) {
    if (errno != ENOENT) *problem = QString::fromStdString(reason);
    return names;
  }
  DIR* entries = ::fdopendir(dir);
  if (!entries) {
    ::close(dir);
    return names;
  }
  while (const dirent* e = ::readdir(entries)) {
    const QString name = QString::fromLocal8Bit(e->d_name);
    if (!name.startsWith('.') && name.endsWith(QStringLiteral(".json"))) names << name;
  }
  ::closedir(entries);
  names.sort();
  return names;
}

SessionListing ListSession(const QString& path, const QByteArray& bytes) {
  SessionListing listing;
  listing.path = path;
  listing.fileName = QFileInfo(path).fileName();
  SessionRecord record;
  std::string reason;
  if (!ParseSessionRecord(bytes, &record, &reason, false)) {
    listing.reason = QString::fromStdString(reason);
    return listing;
  }
  listing.readable = true;
  listing.subject = QString::fromStdString(record.settings.subject);
  listing.ended = QDateTime::fromString(QString::fromStdString(record.ended), Qt::ISODateWithMs);
  listing.hasScore = record.hasScore;
  listing.score = record.score;
  listing.memtime = record.settings.memtime;
  listing.maxRev = record.settings.max_rev;
  listing.hideMouse = record.settings.hide_mouse;
  listing.outcome = record.outcome;
  listing.abort = record.abort;
  // The staircase moved only after trials that ran to their end.
  const size_t ended = record.trials.size() - (record.abort.TrialShown() ? 1 : 0);
  listing.trials = static_cast<int>(ended);
  for (size_t k = 0; k < ended; ++k) {
    const SessionTrial& t = record.trials[k];
    listing.errors += t.row.Error != 0 ? 1 : 0;
    listing.staircase.push_back({t.row.NItems, t.row.Error != 0, t.row.Rev});
  }
  return listing;
}

std::vector<SessionListing> LoadSessionFolder(const QString& folder, const LoadProgress& progress,
                                              const std::atomic<bool>* cancel) {
  const QDir dir(folder);
  std::vector<SessionListing> unfinished = RecoverUnfinishedRecords(folder);
  QString problem;
  const QStringList names = RecordNames(folder, &problem);
  const int total = static_cast<int>(names.size());
  std::vector<SessionListing> listings(static_cast<size_t>(total));
  std::atomic<int> next{0};
  std::atomic<int> done{0};
  const auto cancelled = [cancel] { return cancel && cancel->load(); };
  const auto work = [&] {
    for (int i = next++; i < total && !cancelled(); i = next++) {
      listings[static_cast<size_t>(i)] = ListFile(dir.filePath(names[i]));
      ++done;
    }
  };
  const int threads = std::clamp(QThread::idealThreadCount(), 1, kMaxThreads);
  std::vector<std::thread> helpers;
  for (int k = 1; k < threads && k < total; ++k) helpers.emplace_back(work);
  // This thread reads too, and is the one that reports progress.
  QElapsedTimer sinceReport;
  sinceReport.start();
  for (int i = next++; i < total && !cancelled(); i = next++) {
    listings[static_cast<size_t>(i)] = ListFile(dir.filePath(names[i]));
    ++done;
    if (progress && sinceReport.elapsed() >= kProgressEveryMs) {
      progress(done.load(), total);
      sinceReport.restart();
    }
  }
  for (std::thread& t : helpers) t.join();
  if (cancelled()) {
    listings.erase(std::remove_if(listings.begin(), listings.end(),
                                  [](const SessionListing& l) { return l.path.isEmpty(); }),
                   listings.end());
  }
  if (progress) progress(done.load(), total);
  if (!problem.isEmpty()) {
    listings.push_back(Unreadable(folder, QStringLiteral("cannot be read: ") + problem));
  }
  for (SessionListing& l : unfinished) listings.push_back(std::move(l));
  return listings;
}

}  // namespace results
