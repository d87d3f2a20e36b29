// Lists a sessions folder and reads a results log as the program does, for
// measuring time and memory with planted files (run under /usr/bin/time -v).
// Usage: planted_read_bench <sessions folder> <log file>
#include <QElapsedTimer>
#include <QString>
#include <cstdio>
#include <string>
#include <vector>

#include "records/session_folder.h"
#include "results/results_log.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;
  QElapsedTimer timer;
  timer.start();
  const auto listings = results::LoadSessionFolder(QString::fromLocal8Bit(argv[1]), {});
  const qint64 listed = timer.elapsed();
  for (const auto& l : listings)
    std::printf("%s: %s\n", qPrintable(l.fileName), l.readable ? "read" : qPrintable(l.reason));
  timer.restart();
  std::vector<LogEntry> entries;
  std::string refused;
  const int read = ReadResultsLog(argv[2], &entries, &refused);
  std::printf("log: %d %s\nlisting %lld ms, log %lld ms\n", read, refused.c_str(),
              static_cast<long long>(listed), static_cast<long long>(timer.elapsed()));
  return 0;
}
