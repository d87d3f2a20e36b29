// Reads arbitrary bytes as the results log, ranks the entries and formats
// every row and the summary, as the results viewer does. Checks what every
// read must satisfy, and that the ranking is the exchange sort's order.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "results/results_log.h"

namespace {

// The viewer's original ranking, the reference; quadratic, so for short logs.
void ExchangeSort(std::vector<LogEntry>* entries) {
  std::vector<LogEntry>& e = *entries;
  for (size_t i = 0; i + 1 < e.size(); ++i) {
    for (size_t j = i + 1; j < e.size(); ++j) {
      if (e[j].score >= e[i].score) std::swap(e[i], e[j]);
    }
  }
}

bool Same(const LogEntry& a, const LogEntry& b) {
  return a.date == b.date && a.time == b.time && a.subject == b.subject &&
         a.is_current == b.is_current &&
         std::memcmp(&a.score, &b.score, sizeof a.score) == 0;  // NaN too
}

bool HasAny(const std::string& s, const char* bytes, size_t n) {
  return s.find_first_of(std::string(bytes, n)) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<LogEntry> entries;
  ParseResultsLog(text, &entries);
  for (size_t k = 0; k < entries.size(); ++k) {
    const LogEntry& e = entries[k];
    // A NUL or a line feed ends a line's text; tabs split all but the subject.
    for (const std::string* field : {&e.date, &e.time, &e.subject})
      FUZZ_CHECK(!HasAny(*field, "\0\n", 2) && field->size() < 1000);
    FUZZ_CHECK(!HasAny(e.date, "\t", 1) && !HasAny(e.time, "\t", 1));
    FUZZ_CHECK(e.is_current == (k + 1 == entries.size() ? 1 : 0));
  }
  if (entries.empty()) return 0;

  const LogEntry current = entries.back();
  std::vector<LogEntry> reference;
  if (entries.size() <= 300) reference = entries;
  RankEntries(&entries);
  if (!reference.empty()) {
    ExchangeSort(&reference);
    for (size_t k = 0; k < entries.size(); ++k) FUZZ_CHECK(Same(entries[k], reference[k]));
  }
  for (size_t k = 1; k < entries.size(); ++k) {
    const double a = entries[k - 1].score, b = entries[k].score;
    if (!std::isnan(a) && !std::isnan(b)) FUZZ_CHECK(a >= b);
  }

  const int count = static_cast<int>(entries.size());
  const int rank = CurrentRank(entries);
  FUZZ_CHECK(rank >= 1 && rank <= count && entries[rank - 1].is_current == 1);
  for (int k = 1; k <= count; ++k) {
    const std::string row = FormatResultRow(k, entries[k - 1]);
    char position[16];
    std::snprintf(position, sizeof position, "%04d:  ", k);
    FUZZ_CHECK(row.compare(0, std::strlen(position), position) == 0);
  }
  const std::string summary = FormatSummary(current, rank, count);
  FUZZ_CHECK(summary.compare(0, 11, "Result of [") == 0 &&
             summary.find(" out of " + std::to_string(count) + " / ") != std::string::npos);
  return 0;
}
