// Time to open the Sessions window on a folder of session records: the
// records are read on worker threads, then listed. Measures the reading
// alone and the window from its construction until everything is listed,
// on a folder of made-up records (simulated staircases with every frame and
// touch), five runs each, best and median reported.
//
//   QT_QPA_PLATFORM=offscreen session_load_bench [--records N] [--folder DIR]
//
// With --folder the records found there are used as they are; an empty or
// missing folder is filled first.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "records/record_writer.h"
#include "records/session_folder.h"
#include "sessions/sessions_window.h"
#include "support/file_bytes.h"
#include "support/session_samples.h"

namespace {

constexpr int kRuns = 5;

void Report(const char* what, std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  std::printf("%-34s best %7.0f ms   median %7.0f ms\n", what, ms.front(), ms[ms.size() / 2]);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int records = 10000;
  QString folder;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--records") == 0) records = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--folder") == 0) folder = QString::fromLocal8Bit(argv[i + 1]);
  }
  QTemporaryDir scratch;
  if (folder.isEmpty()) folder = scratch.path();
  QDir().mkpath(folder);
  if (QDir(folder).entryList({QStringLiteral("*.json")}, QDir::Files).isEmpty()) {
    const char* subjects[] = {"S01", "S02", "S03", "P-17", "P-18"};
    const int memtimes[] = {1, 3, 5};
    const int maxRevs[] = {4, 6, 8};
    qint64 bytes = 0;
    for (int k = 0; k < records; ++k) {
      testing::SimulatedSubject who;
      who.subject = subjects[k % 5];
      who.memtime = memtimes[k % 3];
      who.maxRev = maxRevs[(k / 3) % 3];
      who.span = 3.5 + (k % 7) * 0.5;
      who.randomStart = static_cast<uint32_t>(k + 1);
      who.ended = who.ended.addSecs(600LL * k);
      const QByteArray json = results::SessionRecordJson(testing::SimulatedSession(who));
      bytes += json.size();
      if (!testing::WriteBytes(QDir(folder).filePath(QStringLiteral("r%1.json").arg(k)), json)) {
        std::fprintf(stderr, "cannot write into %s\n", qPrintable(folder));
        return 1;
      }
    }
    std::printf("%d records, %.1f MB (%.1f kB each)\n", records, bytes / 1e6,
                bytes / 1e3 / std::max(records, 1));
  }
  std::printf("reading threads: %d of %d cores\n", std::min(QThread::idealThreadCount(), 4),
              QThread::idealThreadCount());

  std::vector<double> read;
  std::vector<double> window;
  size_t listed = 0;
  for (int run = 0; run < kRuns; ++run) {
    QElapsedTimer timer;
    timer.start();
    listed = results::LoadSessionFolder(folder, nullptr).size();
    read.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);

    timer.restart();
    {
      sessions::CSessions w(folder);
      // Waits as the window's own event loop does, leaving both cores to the reading.
      QEventLoop wait;
      QObject::connect(&w, &sessions::CSessions::loaded, &wait, &QEventLoop::quit);
      if (!w.Loaded()) wait.exec();
      window.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
  }
  std::printf("%zu sessions listed\n", listed);
  Report("reading the folder", read);
  Report("window made until all listed", window);
  return 0;
}
