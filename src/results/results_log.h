// Reading the cumulative log "ORBEL.txt" back, ranking its results by score
// and the texts the results viewer shows. No window here: the dialog fills
// itself from these functions.
#pragma once

#include <string>
#include <vector>

/// One result line of the log.
struct LogEntry {
  std::string date;
  std::string time;
  double score = 0;
  std::string subject;
  int is_current = 0;  ///< 1 on the last result line of the log
};

/// Reads "ORBEL.txt" of the working directory; 1 when read, 0 when it cannot
/// be opened. 1 with zero entries (header only, or a blank second line) means
/// there is nothing to show, as for a missing log. A symbolic link, anything
/// but a regular file and a file over kMaxLogBytes are refused unread (0),
/// with the reason in `*refused` when given.
int ReadResultsLog(std::vector<LogEntry>* entries, std::string* refused = nullptr);

/// The same for an explicit path.
int ReadResultsLog(const std::string& path, std::vector<LogEntry>* entries,
                   std::string* refused = nullptr);

/// The entries of a log's bytes, as ReadResultsLog reads them from its file.
void ParseResultsLog(const std::string& text, std::vector<LogEntry>* entries);

/// Ranks in place: descending score, equal scores later line first, each NaN
/// score left at its own position (the order of the viewer's exchange sort).
void RankEntries(std::vector<LogEntry>* entries);

/// "%04d:  %s(%s)   %5.2f   %s"
std::string FormatResultRow(int position, const LogEntry& entry);

/// 1-based position of the first entry with is_current, 1 if none.
int CurrentRank(const std::vector<LogEntry>& ranked);

/// "Result of [%s]: %.2f chunks (ORDER: %d out of %d / %.1f percentile)"
std::string FormatSummary(const LogEntry& current, int rank, int count);
