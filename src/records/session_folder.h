// The sessions folder as the Sessions window lists it: every record's
// summary and staircase, or why it cannot be read. Reading runs on worker
// threads; nothing here touches a window.
#pragma once

#include <QDateTime>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "records/session_record.h"

namespace results {

/// One trial of a session as its staircase shows it.
struct StaircaseStep {
  int32_t nItems = 0;
  bool error = false;
  int32_t rev = 0;
};

/// One file of the folder.
struct SessionListing {
  QString path;
  QString fileName;
  bool readable = false;
  QString reason;  ///< why it cannot be read; empty when readable
  QString subject;
  QDateTime ended;  ///< invalid when the record's time does not parse
  bool hasScore = false;
  double score = 0;
  int32_t memtime = 0;
  int32_t maxRev = 0;
  int32_t hideMouse = 0;
  int trials = 0;  ///< trials run to their end (not the one an abort interrupted)
  int errors = 0;  ///< trials with a wrong touch, among those
  std::vector<StaircaseStep> staircase;
  SessionOutcome outcome = SessionOutcome::kCompleted;
  AbortPoint abort;  ///< where the run stopped, when it did
};

/// The listing of the record at `path` whose bytes are `bytes`.
SessionListing ListSession(const QString& path, const QByteArray& bytes);

/// Told the files read so far and their number, on the caller's thread.
using LoadProgress = std::function<void(int done, int total)>;

/// Completes each record that a killed save left as a hidden temporary file
/// in `folder` when it parses whole, giving it its record's name; returns
/// the listings of those that do not (unfinished, with the reason). Nothing
/// is deleted; files of saves still running are left to them.
std::vector<SessionListing> RecoverUnfinishedRecords(const QString& folder);

/// Lists every "*.json" entry of `folder` (hidden ones left out), sorted by
/// file name, after RecoverUnfinishedRecords; then the unfinished ones. A
/// FIFO, a folder, a device, a link and a file over kMaxRecordBytes are
/// listed unread with their reason, and so is `folder` when it is a link.
/// Empty when the folder does not exist. Stops early, returning what it has,
/// once `*cancel` is set.
std::vector<SessionListing> LoadSessionFolder(const QString& folder, const LoadProgress& progress,
                                              const std::atomic<bool>* cancel = nullptr);

}  // namespace results
