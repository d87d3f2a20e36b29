// Writes `count` new files named <stem>.json (or <stem>-2.json, ...) into a
// folder, each holding its writer's tag and number, as a station saving a
// session record does; prints each name written. The equal-pid test starts
// two of these in pid namespaces of their own.
// Usage: record_writer <folder> <stem> <tag> <count>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fileio/durable_file.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const std::string stem = argv[2];
  std::vector<std::string> names{stem + ".json"};
  for (int k = 2; k <= 1000; ++k) names.push_back(stem + "-" + std::to_string(k) + ".json");
  int failed = 0;
  for (int i = 0; i < std::atoi(argv[4]); ++i) {
    const std::string body = std::string(argv[3]) + " " + std::to_string(i) + "\n";
    std::string written;
    std::string reason;
    if (file_io::WriteNewFileDurably(argv[1], names, QByteArray::fromStdString(body), &written,
                                     &reason)) {
      std::printf("%s\n", written.c_str());
    } else {
      std::fprintf(stderr, "%s: %s\n", written.c_str(), reason.c_str());
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}
