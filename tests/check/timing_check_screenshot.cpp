// Takes the README's picture of the Timing Check's result dialog
// (docs/screenshots/timing-check.png): a made-up check of a lab PC with a
// compositor and vsync off, shown on the whole of a 1024 x 768 screen.
// Run under xvfb-run -s "-screen 0 1024x768x24" (tools/screenshots.sh).
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "check/figure_advice.h"
#include "check/timing_chart.h"
#include "check/timing_check_dialog.h"

namespace {

check::TimingCheck LabPc() {
  check::TimingCheck c;
  c.when = "2026-12-09 14:03:59";
  c.system = {"X11", "running", false,      "Mesa Intel(R) UHD Graphics 620", false, 1920,
              1080,  60.0,      "powersave"};
  c.display.path = "opengl-clock";
  c.display.onsetSource = "read-back";
  c.display.frames = 300;
  c.display.nominalPeriodMs = 16.667;
  for (int i = 0; i < 299; ++i)
    c.display.intervals.push_back(i % 71 == 70 ? 33.3 : 16.667 + ((i * 37) % 11 - 5) * 0.08);
  c.display.intervalMs = check::SpreadOf(c.display.intervals);
  c.display.missedRefreshes = 4;
  c.ticks.spanS = 10;
  c.ticks.realTimeGranted = true;
  c.ticks.latenessUs = check::SpreadOf({55, 60, 80, 120});
  c.trial.trials = 20;
  c.trial.injection = "XTest";
  c.trial.stampedTouches = 40;
  for (int i = 0; i < 20; ++i)
    c.trial.errors.push_back({0.3 + (i % 5) * 0.2, i == 13 ? 17.1 : -0.4 + (i % 3) * 0.3, true});
  c.trial.missedRefreshes = 1;
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
    return 2;
  }
  const check::TimingCheck c = LabPc();
  const check::Verdict verdict = check::Judge(c);
  check::TimingCheckDialog dialog(verdict, check::AdviseOnFigures(c),
                                  check::FormatReport(c, verdict),
                                  check::RenderTimingChartImages(c),
                                  "Saved as /home/lab/dorvane/timing-check-20261209-140359.txt and "
                                  "/home/lab/dorvane/timing-check-20261209-140359.png.");
  dialog.move(20, 20);
  dialog.show();
  bool saved = false;
  QTimer::singleShot(1500, [&] {
    saved = QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[1]));
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "cannot write", argv[1]);
    app.quit();
  });
  app.exec();
  return saved ? 0 : 1;
}
