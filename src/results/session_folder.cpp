#include "results/session_folder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <thread>

namespace results {
namespace {

// Often enough for a smooth progress bar, seldom enough to cost nothing.
constexpr qint64 kProgressEveryMs = 30;
// Reading is parsing bound; more threads than this only fight over the disk.
constexpr int kMaxThreads = 4;

SessionListing ListFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    SessionListing listing;
    listing.path = path;
    listing.fileName = QFileInfo(path).fileName();
    listing.reason = QStringLiteral("cannot be opened: ") + file.errorString();
    return listing;
  }
  return ListSession(path, file.readAll());
}

}  // namespace

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
  listing.trials = static_cast<int>(record.trials.size());
  for (const SessionTrial& t : record.trials) {
    listing.errors += t.row.Error != 0 ? 1 : 0;
    listing.staircase.push_back({t.row.NItems, t.row.Error != 0, t.row.Rev});
  }
  return listing;
}

std::vector<SessionListing> LoadSessionFolder(const QString& folder, const LoadProgress& progress,
                                              const std::atomic<bool>* cancel) {
  const QDir dir(folder);
  const QStringList names = dir.exists()
                                ? dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)
                                : QStringList();
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
  return listings;
}

}  // namespace results
