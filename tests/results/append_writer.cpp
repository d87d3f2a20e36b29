// Appends numbered lines to one file, as a second station does: the
// concurrency tests start two of these at once.
// Usage: append_writer <file> <tag> <count>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fileio/file_append.h"

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  const std::string tag = argv[2];
  const int count = std::atoi(argv[3]);
  // Long lines, so that a write that others could interleave with takes a while.
  const std::string padding(300, tag[0]);
  for (int i = 0; i < count; ++i) {
    const std::string line = tag + "\t" + std::to_string(i) + "\t" + padding + "\r\n";
    std::string reason;
    if (file_io::AppendToFile(argv[1], "HEADER\r\n", line, &reason) !=
        file_io::AppendStatus::kDone) {
      std::fprintf(stderr, "%s\n", reason.c_str());
      return 1;
    }
  }
  return 0;
}
