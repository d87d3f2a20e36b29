#include "results/results_log.h"

#include <QCoreApplication>
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <utility>

#include "fileio/safe_file.h"
#include "results/decimal.h"

namespace {

// A line is read in pieces of this many characters at most, as a line buffer
// of 1000 bytes would read it.
constexpr size_t kMaxPiece = 999;
const char kBlank[] = " \t\n\r\v\f";

// Splits the file's text into the pieces a line-by-line text-mode read gives:
// CR LF counts as one line feed, and a piece ends after a line feed or after
// kMaxPiece characters.
class PieceReader {
 public:
  explicit PieceReader(const std::string& text) : text_(text) {}

  bool Next(std::string* piece) {
    piece->clear();
    while (pos_ < text_.size() && piece->size() < kMaxPiece) {
      char c = text_[pos_++];
      if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n') c = text_[pos_++];
      piece->push_back(c);
      if (c == '\n') break;
    }
    return !piece->empty();
  }

 private:
  const std::string& text_;
  size_t pos_ = 0;
};

std::string Trimmed(std::string piece) {
  // A NUL ends the text, as for C strings: the NUL-filled tail that a crash
  // can leave reads as a blank line, which ends the log.
  const size_t end = piece.find_first_of(std::string("\n\0", 2));
  if (end != std::string::npos) piece.erase(end);
  const size_t first = piece.find_first_not_of(kBlank);
  if (first == std::string::npos) return std::string();
  const size_t last = piece.find_last_not_of(kBlank);
  return piece.substr(first, last - first + 1);
}

// The text up to the next tab, advancing past it; the rest when there is none.
std::string NextField(const std::string& line, size_t* pos, bool last) {
  if (*pos > line.size()) return std::string();
  const size_t tab = last ? std::string::npos : line.find('\t', *pos);
  std::string field = line.substr(*pos, tab == std::string::npos ? std::string::npos : tab - *pos);
  *pos = tab == std::string::npos ? line.size() + 1 : tab + 1;
  return field;
}

LogEntry ParseLine(const std::string& line) {
  LogEntry entry;
  size_t pos = 0;
  entry.date = NextField(line, &pos, false);
  entry.time = NextField(line, &pos, false);
  entry.score = results::ParseDecimal(NextField(line, &pos, false));
  entry.subject = NextField(line, &pos, true);
  return entry;
}

}  // namespace

int ReadResultsLog(std::vector<LogEntry>* entries, std::string* refused) {
  return ReadResultsLog("ORBEL.txt", entries, refused);
}

int ReadResultsLog(const std::string& path, std::vector<LogEntry>* entries, std::string* refused) {
  entries->clear();
  std::string text;
  std::string reason;
  // A folder, a FIFO or a device in the log's place is refused unread.
  const file_io::ReadStatus status =
      file_io::ReadRegularFile(path, file_io::kMaxLogBytes, &text, &reason);
  if (status == file_io::ReadStatus::kRefused && refused) *refused = reason;
  if (status != file_io::ReadStatus::kDone) return 0;
  ParseResultsLog(text, entries);
  return 1;
}

void ParseResultsLog(const std::string& text, std::vector<LogEntry>* entries) {
  entries->clear();
  PieceReader reader(text);
  std::string piece;
  bool header = true;
  while (reader.Next(&piece)) {
    const std::string line = Trimmed(piece);
    // A blank line ends the log, header included.
    if (line.empty()) break;
    if (header) {
      header = false;
      continue;
    }
    entries->push_back(ParseLine(line));
  }
  if (!entries->empty()) entries->back().is_current = 1;
}

void RankEntries(std::vector<LogEntry>* entries) {
  // The order is that of the exchange sort the results viewer always had: for
  // each position, every later entry scoring >= it is swapped in. That gives
  // descending scores with the later of two equal ones first, and leaves each
  // NaN where it was, as no comparison with it holds. The same order sorted:
  // NaNs keep their places, the others fill the rest in that order.
  const size_t n = entries->size();
  std::vector<size_t> numbers;
  numbers.reserve(n);
  for (size_t k = 0; k < n; ++k) {
    if (!std::isnan((*entries)[k].score)) numbers.push_back(k);
  }
  std::sort(numbers.begin(), numbers.end(), [entries](size_t a, size_t b) {
    const double sa = (*entries)[a].score;
    const double sb = (*entries)[b].score;
    return sa > sb || (sa == sb && a > b);
  });
  std::vector<LogEntry> ranked;
  ranked.reserve(n);
  size_t next = 0;
  for (size_t k = 0; k < n; ++k) {
    const bool isNan = std::isnan((*entries)[k].score);
    ranked.push_back(std::move((*entries)[isNan ? k : numbers[next++]]));
  }
  *entries = std::move(ranked);
}

std::string FormatResultRow(int position, const LogEntry& entry) {
  char number[16];
  std::snprintf(number, sizeof number, "%04d:  ", position);
  return number + entry.date + "(" + entry.time + ")   " + results::FormatFixed(entry.score, 2, 5) +
         "   " + entry.subject;
}

int CurrentRank(const std::vector<LogEntry>& ranked) {
  for (size_t k = 0; k < ranked.size(); ++k) {
    if (ranked[k].is_current) return static_cast<int>(k) + 1;
  }
  return 1;
}

std::string FormatSummary(const LogEntry& current, int rank, int count) {
  const double percentile = count > 0 ? static_cast<double>(rank) / count * 100.0 : 0.0;
  // One pass of arg(): a subject identifier holding "%1" stays as typed.
  return QCoreApplication::translate(
             "Results", "Result of [%1]: %2 chunks (ORDER: %3 out of %4 / %5 percentile)")
      .arg(QString::fromStdString(current.subject),
           QString::fromStdString(results::FormatFixed(current.score, 2)), QString::number(rank),
           QString::number(count), QString::fromStdString(results::FormatFixed(percentile, 1)))
      .toStdString();
}
