// Time to lay out one trial (cells, three numbered disc images per patch and
// the cover) with the real Qt device contexts, for 3, 10 and 20 patches.
//
//   QT_QPA_PLATFORM=offscreen layout_bench [--runs N]

#include <QGuiApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "display/layout.h"
#include "display/null_presenter.h"
#include "display/surfaces.h"
#include "procedure/staircase.h"
#include "ui/qt_services.h"

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  int runs = 200;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::atoi(argv[i + 1]);

  ui::QtServices services;
  ui::SetUi(&services);
  display::SetPresenterFactory(
      [](ui::WindowHandle) { return std::make_unique<display::NullPresenter>(); });
  if (!InitDisplay(nullptr)) return 1;
  SRand(1);

  std::printf("LayOutTrial, %d runs each (ms)\n\n", runs);
  std::printf("| patches | median | worst  |\n|---------|--------|--------|\n");
  for (int n : {3, 10, 20}) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
      ResetTest();
      testState.trials[0].NItems = n;
      const auto start = std::chrono::steady_clock::now();
      LayOutTrial(0);
      const auto end = std::chrono::steady_clock::now();
      ReleasePatchSurfaces();
      ms.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("| %7d | %6.2f | %6.2f |\n", n, ms[ms.size() / 2], ms.back());
  }
  ShutDownDisplay();
  ui::SetUi(nullptr);
  return 0;
}
