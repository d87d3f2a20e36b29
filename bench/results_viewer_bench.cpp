// Time from the View Results menu command to the Results dialog on the
// screen with its rows painted, for logs of 1 000 to 100 000 results.
//
//   QT_QPA_PLATFORM=offscreen results_viewer_bench [--runs N]

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/main_frame.h"
#include "dialogs/results_dialog.h"
#include "ui/qt_services.h"

namespace {

using Clock = std::chrono::steady_clock;

// A log of `count` results whose scores repeat often, as real ones do.
bool WriteLog(int count) {
  QFile file("ORBEL.txt");
  if (!file.open(QIODevice::WriteOnly)) return false;
  QByteArray text = "Date\tTime\tScore\tSubject\r\n";
  for (int i = 0; i < count; ++i) {
    const int quarters = 12 + (i * 7919) % 29;  // 3.00 to 10.00 in steps of 0.25
    text += "2026/01/05\t09:03:07\t" + QByteArray::number(quarters / 4.0, 'f', 2) + "\tP" +
            QByteArray::number(i % 500) + "\r\n";
  }
  return file.write(text) == text.size();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int runs = 5;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);

  QTemporaryDir dir;
  if (!dir.isValid() || !QDir::setCurrent(dir.path())) return 1;
  ui::QtServices services;
  ui::SetUi(&services);
  CMainFrame frame;
  services.SetMainWindow(&frame);
  frame.show();
  QApplication::processEvents();

  std::printf("%8s %10s %10s %6s\n", "results", "median ms", "worst ms", "rows");
  for (const int count : {1000, 10000, 100000}) {
    if (!WriteLog(count)) return 1;
    std::vector<double> ms;
    int rows = 0;
    for (int run = 0; run < runs; ++run) {
      Clock::time_point shown{};
      // Runs in the dialog's own event loop, once it is shown.
      QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<CResult*>(QApplication::activeModalWidget());
        if (!dialog) return;
        dialog->repaint();  // the visible rows formatted and drawn
        shown = Clock::now();
        rows = dialog->List()->model()->rowCount();
        dialog->accept();
      });
      const Clock::time_point start = Clock::now();
      frame.CommandAction(kCmdViewResults)->trigger();
      if (shown == Clock::time_point{}) return 1;
      ms.push_back(std::chrono::duration<double, std::milli>(shown - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%8d %10.1f %10.1f %6d\n", count, ms[ms.size() / 2], ms.back(), rows);
  }
  ui::SetUi(nullptr);
  return 0;
}
