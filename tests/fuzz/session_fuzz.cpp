// Reads arbitrary bytes as a session record, checks what every record that
// is read must satisfy, and checks that writing it and reading it again
// gives the same record. The listing and the export rows must agree with
// the reader and never fault. Parses from memory, so no file is touched.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "records/record_parser.h"
#include "records/record_writer.h"
#include "records/session_export.h"
#include "records/session_folder.h"
#include "records/session_record.h"

namespace {

void CheckRecord(const results::SessionRecord& r) {
  FUZZ_CHECK(r.formatMajor == results::kSessionMajor);
  FUZZ_CHECK(r.trialsRun >= 0 && r.trialsRun <= kMaxTrials);
  FUZZ_CHECK(static_cast<int>(r.trials.size()) == r.trialsRun);
  // Only what a real test can produce is read.
  FUZZ_CHECK(r.settings.memtime >= 0);
  FUZZ_CHECK(!r.hasScore || (r.score >= 1 && r.score <= kMaxPatches));
  // Only a completed test has a score, and it never stopped; an aborted one did.
  FUZZ_CHECK(!r.hasScore || r.outcome == results::SessionOutcome::kCompleted);
  FUZZ_CHECK(r.outcome != results::SessionOutcome::kCompleted || !r.abort.stopped);
  FUZZ_CHECK(r.outcome != results::SessionOutcome::kAborted || r.abort.stopped);
  for (const results::SessionTrial& t : r.trials) {
    FUZZ_CHECK(t.row.NItems >= 1 && t.row.NItems <= kMaxPatches);
    FUZZ_CHECK(t.row.RT1 >= 0 && t.row.RT2 >= 0);
    FUZZ_CHECK(t.cells.size() <= static_cast<size_t>(kMaxPatches));
    for (const int32_t c : t.cells) FUZZ_CHECK(c >= 0 && c < 25);
    for (const results::SessionFrame& f : t.frames)
      FUZZ_CHECK(f.patch >= -1 && f.patch < kMaxPatches);
    for (const results::SessionTouch& x : t.touches)
      FUZZ_CHECK(x.patch >= -1 && x.patch < kMaxPatches);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  results::SessionRecord record;
  std::string reason;
  const bool read = results::ParseSessionRecord(bytes, &record, &reason);
  const results::SessionListing listing = results::ListSession(QStringLiteral("x.json"), bytes);
  FUZZ_CHECK(listing.readable == read);
  if (!read) {
    FUZZ_CHECK(!reason.empty());
    FUZZ_CHECK(!listing.reason.isEmpty());
    return 0;
  }
  CheckRecord(record);
  // The listing's staircase leaves out the trial an abort cut short.
  FUZZ_CHECK(listing.trials == record.trialsRun - (record.abort.TrialShown() ? 1 : 0));
  FUZZ_CHECK(listing.outcome == record.outcome);

  const QByteArray written = results::SessionRecordJson(record);
  results::SessionRecord again;
  FUZZ_CHECK(results::ParseSessionRecord(written, &again, &reason));
  CheckRecord(again);
  FUZZ_CHECK(results::SessionRecordJson(again) == written);

  const std::string trials = results::TrialCsvRows(record, "x");
  const std::string touches = results::TouchCsvRows(record, "x");
  size_t lines = 0;
  for (const char c : trials) lines += c == '\n' ? 1 : 0;
  // Texts with line breaks are quoted; without them every row is one line.
  if ((record.settings.subject + record.ended).find_first_of("\r\n") == std::string::npos)
    FUZZ_CHECK(lines == record.trials.size());
  (void)touches;
  return 0;
}
