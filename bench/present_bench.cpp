// How long presenting a full canvas into a 1920 × 1080 window takes, through
// OpenGL and through the raster path, and how evenly frames follow each
// other. Run under a virtual X server:
//   xvfb-run -a -s "-screen 0 1920x1080x24" ./present_bench [frames]
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "display/gl_presenter.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1024;
constexpr int kHeight = 768;
constexpr int kPitch = kWidth * 4;
const ui::Rect kTarget{240, 0, 1680, 1080};

struct Stats {
  double median = 0;
  double worst = 0;
};

Stats Summarise(std::vector<double> values) {
  if (values.empty()) return {};
  std::sort(values.begin(), values.end());
  return {values[values.size() / 2], values.back()};
}

// A canvas whose content changes every frame, so that nothing can be cached.
void PaintFrame(std::vector<uint8_t>& canvas, int frame) {
  const int band = (frame * 8) % kWidth;
  for (int y = 0; y < kHeight; ++y) {
    uint8_t* row = &canvas[size_t(y) * kPitch];
    for (int x = 0; x < kWidth; ++x) {
      const bool lit = x >= band && x < band + 64;
      row[x * 4 + 0] = lit ? 255 : uint8_t(x / 4);
      row[x * 4 + 1] = lit ? 255 : uint8_t(y / 3);
      row[x * 4 + 2] = lit ? 255 : uint8_t(frame);
      row[x * 4 + 3] = 0;
    }
  }
}

struct Run {
  const char* name = "";
  bool usedGl = false;
  bool pacedByClock = false;
  Stats call, draw, interval, onsetInterval, returnToOnset;
  std::string source;
};

Run Measure(QWindow& window, display::GlPresenter::Path path, const char* name, int frames) {
  display::GlPresenter presenter(&window, path);
  std::vector<uint8_t> canvas(size_t(kPitch) * kHeight);
  presenter.FillScreen(0);
  for (int i = 0; i < 10; ++i) {  // warm-up: context, texture, caches
    PaintFrame(canvas, i);
    presenter.Present(canvas.data(), kWidth, kHeight, kPitch, kTarget);
  }
  std::vector<double> call, draw, interval, onsetInterval, returnToOnset;
  Clock::time_point previous = Clock::now();
  int64_t previousOnset = 0;
  Run run;
  for (int i = 0; i < frames; ++i) {
    PaintFrame(canvas, i);
    const Clock::time_point start = Clock::now();
    presenter.Present(canvas.data(), kWidth, kHeight, kPitch, kTarget);
    const Clock::time_point end = Clock::now();
    const FrameOnset onset = presenter.LastOnset();
    run.source = OnsetSourceName(onset.source);
    if (onset.Confirmed()) {
      returnToOnset.push_back((onset.onsetNs - onset.returnNs) / 1e6);
      if (previousOnset) onsetInterval.push_back((onset.onsetNs - previousOnset) / 1e6);
      previousOnset = onset.onsetNs;
    } else {
      previousOnset = 0;
    }
    call.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    interval.push_back(std::chrono::duration<double, std::milli>(end - previous).count());
    draw.push_back(presenter.LastFrameTiming().drawMs);
    previous = end;
  }
  run.name = name;
  run.onsetInterval = Summarise(onsetInterval);
  run.returnToOnset = Summarise(returnToOnset);
  run.usedGl = presenter.LastFrameUsedOpenGl();
  run.pacedByClock = presenter.PacedByClock();
  run.call = Summarise(call);
  run.draw = Summarise(draw);
  run.interval = Summarise(interval);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;

  QWindow window;
  window.setSurfaceType(QSurface::OpenGLSurface);
  window.setFlags(Qt::Window | Qt::FramelessWindowHint);
  window.setGeometry(0, 0, 1920, 1080);
  window.show();
  QElapsedTimer waited;
  waited.start();
  while (!window.isExposed() && waited.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  }
  if (!window.isExposed()) {
    std::fprintf(stderr, "present_bench: the window was never exposed\n");
    return 1;
  }

  const Run runs[] = {
      Measure(window, display::GlPresenter::Path::kOpenGl, "opengl", frames),
      Measure(window, display::GlPresenter::Path::kAuto, "auto", frames),
      Measure(window, display::GlPresenter::Path::kRaster, "raster", frames),
  };
  // The red error display holds for 30 refreshes.
  double waitsMs = 0;
  {
    display::GlPresenter presenter(&window);
    presenter.FillScreen(0);
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < 30; ++i) presenter.WaitVerticalBlank();
    waitsMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  }
  const double hz = window.screen()->refreshRate();
  std::printf("Present of a %d x %d canvas into a 1920 x 1080 window, %d frames each\n", kWidth,
              kHeight, frames);
  std::printf("screen reports %.2f Hz; times in ms (median / worst)\n\n", hz);
  std::printf("%-8s %-7s %-6s  %-17s %-17s %-17s\n", "path", "drawn", "paced", "Present call",
              "draw + hand-over", "interval");
  for (const Run& r : runs) {
    std::printf("%-8s %-7s %-6s  %6.2f / %-8.2f %6.2f / %-8.2f %6.2f / %-8.2f\n", r.name,
                r.usedGl ? "opengl" : "raster", r.pacedByClock ? "clock" : "swap", r.call.median,
                r.call.worst, r.draw.median, r.draw.worst, r.interval.median, r.interval.worst);
  }
  std::printf("\n%-8s %-10s %-17s %-17s\n", "path", "onsets", "onset interval", "return to onset");
  for (const Run& r : runs) {
    std::printf("%-8s %-10s %6.2f / %-8.2f %6.2f / %-8.2f\n", r.name, r.source.c_str(),
                r.onsetInterval.median, r.onsetInterval.worst, r.returnToOnset.median,
                r.returnToOnset.worst);
  }
  std::printf("\n30 x WaitVerticalBlank: %.1f ms (30 refresh periods: %.1f ms)\n", waitsMs,
              30000.0 / (hz >= 20.0 && hz <= 1000.0 ? hz : 60.0));
  return 0;
}
