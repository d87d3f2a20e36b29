// The record-folder listing and the log's reading and ranking with another
// user's file in place: the first input byte picks what is planted (a
// regular file of the rest of the bytes, a FIFO, a folder, a link to
// /dev/zero, a huge sparse file, a dangling link, a killed save's hidden
// file), the rest is a record and a log. Nothing may wait, grow without
// bound or go unlisted.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "fileio/safe_file.h"
#include "fuzz_check.h"
#include "records/session_folder.h"
#include "results/results_log.h"

namespace {

enum Kind { kRegular, kFifo, kFolder, kZero, kHuge, kDangling, kKilledSave, kKinds };

bool WriteFile(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
  const bool ok =
      fd >= 0 && ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  if (fd >= 0) ::close(fd);
  return ok;
}

// Puts `kind` at `path`; true when `path` is then a regular file to read.
bool Plant(Kind kind, const std::string& path, const std::string& bytes) {
  switch (kind) {
    case kFifo:
      FUZZ_CHECK(::mkfifo(path.c_str(), 0666) == 0);
      return false;
    case kFolder:
      FUZZ_CHECK(::mkdir(path.c_str(), 0777) == 0);
      return false;
    case kZero:
      FUZZ_CHECK(::symlink("/dev/zero", path.c_str()) == 0);
      return false;
    case kDangling:
      FUZZ_CHECK(::symlink("/nonexistent/x", path.c_str()) == 0);
      return false;
    case kHuge:
      FUZZ_CHECK(WriteFile(path, "") && ::truncate(path.c_str(), 4 * file_io::kMaxLogBytes) == 0);
      return false;
    default:
      FUZZ_CHECK(WriteFile(path, bytes));
      return true;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const Kind kind = static_cast<Kind>(data[0] % kKinds);
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  char pattern[] = "/tmp/folder_fuzz.XXXXXX";
  FUZZ_CHECK(::mkdtemp(pattern) != nullptr);
  const std::string root = pattern;
  const std::string sessions = root + "/sessions";
  FUZZ_CHECK(::mkdir(sessions.c_str(), 0777) == 0);

  // The listing: the planted entry and one regular record of the same bytes.
  const std::string planted =
      kind == kKilledSave ? "/.K01_20260105-090307.json.tmp12057" : "/a.json";
  const bool regular = Plant(kind, sessions + planted, bytes);
  FUZZ_CHECK(WriteFile(sessions + "/b.json", bytes));
  const std::vector<results::SessionListing> listings =
      results::LoadSessionFolder(QString::fromStdString(sessions), {});
  size_t unreadable = 0;
  for (const results::SessionListing& l : listings) {
    FUZZ_CHECK(l.readable == l.reason.isEmpty());
    unreadable += l.readable ? 0 : 1;
  }
  if (kind == kKilledSave) {
    // Completed into a record (two records listed) or listed as unfinished.
    FUZZ_CHECK(listings.size() == 2 || listings.size() == 3);
  } else {
    FUZZ_CHECK(listings.size() == 2);
    FUZZ_CHECK(regular || !listings[0].readable);
  }
  FUZZ_CHECK(unreadable <= listings.size());

  // The log in the same place.
  const std::string log = root + "/ORBEL.txt";
  const bool logRegular = Plant(kind == kKilledSave ? kRegular : kind, log, bytes);
  std::vector<LogEntry> entries;
  std::string refused;
  const int read = ReadResultsLog(log, &entries, &refused);
  FUZZ_CHECK(read == (logRegular ? 1 : 0));
  FUZZ_CHECK(logRegular || kind == kDangling || !refused.empty());
  RankEntries(&entries);

  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return 0;
}
