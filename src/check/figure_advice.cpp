#include "check/figure_advice.h"

#include <QCoreApplication>
#include <QString>
#include <string>
#include <utility>

namespace check {
namespace {

std::string Count(int n) {
  return std::to_string(n);
}

std::string Tr(const char* text) {
  return QCoreApplication::translate("FigureAdvice", text).toStdString();
}

std::string OfTotal(int n, int total) {
  return QCoreApplication::translate("FigureAdvice", "%1 of %2").arg(n).arg(total).toStdString();
}

const char kLateAdvice[] = QT_TRANSLATE_NOOP(
    "FigureAdvice",
    "Frames came too late for their refresh. Close other programs, switch off the compositor or "
    "its desktop effects, and make sure the PC is not busy (updates, virus scans, backups) while "
    "tests run.");

// A warning row: the figure and its advice are untranslated source texts.
void Warn(std::vector<FigureAdvice>* rows, const char* figure, std::string value,
          const char* advice) {
  rows->push_back({Tr(figure), std::move(value), false, Tr(advice)});
}

void AddFailures(const TimingCheck& c, std::vector<FigureAdvice>* rows) {
  const DisplayFacts& d = c.display;
  const TrialFacts& t = c.trial;
  if (d.frames == 0) {
    rows->push_back(
        {Tr(QT_TRANSLATE_NOOP("FigureAdvice", "frames presented")), "0", true,
         Tr(QT_TRANSLATE_NOOP(
             "FigureAdvice",
             "No frame reached the screen: install the graphics card's own driver and run "
             "the check on the PC's own display, not over a remote one."))});
  }
  if (d.missedRefreshes > 0)
    rows->push_back({Tr(QT_TRANSLATE_NOOP("FigureAdvice", "missed refreshes (display)")),
                     OfTotal(d.missedRefreshes, d.frames), true, Tr(kLateAdvice)});
  if (t.missedRefreshes > 0)
    rows->push_back({Tr(QT_TRANSLATE_NOOP("FigureAdvice", "missed refreshes (trial loop)")),
                     Count(t.missedRefreshes), true, Tr(kLateAdvice)});
  if (d.unconfirmed + t.unconfirmed > 0) {
    rows->push_back(
        {Tr(QT_TRANSLATE_NOOP("FigureAdvice", "unconfirmed frames")),
         Count(d.unconfirmed + t.unconfirmed), true,
         Tr(QT_TRANSLATE_NOOP(
             "FigureAdvice",
             "No source confirmed these frames on the screen, so their onsets are only the "
             "moments they were handed over. Run the program on the PC's own display with "
             "the graphics card's own driver, and switch the compositor off."))});
  }
  int rts = 0, outside = 0;
  for (const TrialError& e : t.errors) {
    for (int k = 0; k < (e.hasRt2 ? 2 : 1); ++k) {
      const double error = k == 0 ? e.rt1 : e.rt2;
      ++rts;
      if (error < kEarliestRtMs || error > kLatestRtMs) ++outside;
    }
  }
  if (t.errors.empty()) {
    rows->push_back(
        {Tr(QT_TRANSLATE_NOOP("FigureAdvice", "trials measured")), "0", true,
         Tr(QT_TRANSLATE_NOOP(
             "FigureAdvice",
             "The scripted presses did not reach the program: run the check on the PC's "
             "own display, not over a remote one, and with no other window in front."))});
  } else if (outside > 0) {
    rows->push_back({Tr(QT_TRANSLATE_NOOP("FigureAdvice", "reaction times outside [-1, +3] ms")),
                     OfTotal(outside, rts), true,
                     Tr(QT_TRANSLATE_NOOP(
                         "FigureAdvice",
                         "Recorded reaction times are off the truth. Deal with the other lines of "
                         "this table first; then close other programs and run the check again."))});
  }
}

void AddWarnings(const TimingCheck& c, std::vector<FigureAdvice>* rows) {
  const SystemFacts& s = c.system;
  if (c.display.frames > 0 && !c.display.swapsWait) {
    std::string advice = Tr(QT_TRANSLATE_NOOP(
        "FigureAdvice",
        "Buffer swaps return at once instead of at the refresh: vsync is off, so frames may tear "
        "and their onsets rest on read-back alone. Switch vsync (\"sync to vblank\") on in the "
        "graphics driver's settings or the compositor's, or close the compositor."));
    if (s.virtualDisplay)
      advice +=
          Tr(QT_TRANSLATE_NOOP("FigureAdvice", " A virtual display has no refresh to wait for."));
    rows->push_back({Tr(QT_TRANSLATE_NOOP("FigureAdvice", "swaps wait for the refresh")),
                     Tr(QT_TRANSLATE_NOOP("FigureAdvice", "no")), false, advice});
  }
  if (s.compositor == "running") {
    Warn(rows, QT_TRANSLATE_NOOP("FigureAdvice", "compositor"),
         Tr(QT_TRANSLATE_NOOP("FigureAdvice", "running")),
         QT_TRANSLATE_NOOP("FigureAdvice",
                           "A compositor holds every frame back and can make its timing uneven: "
                           "switch it off, or at least its effects, while tests run."));
  }
  if (s.softwareRendering && !s.virtualDisplay) {
    Warn(rows, QT_TRANSLATE_NOOP("FigureAdvice", "OpenGL renderer"),
         s.glRenderer + Tr(QT_TRANSLATE_NOOP("FigureAdvice", " (software)")),
         QT_TRANSLATE_NOOP("FigureAdvice",
                           "OpenGL runs in software: install the graphics card's own driver."));
  }
  if (s.governor == "powersave" || s.governor == "conservative") {
    Warn(rows, QT_TRANSLATE_NOOP("FigureAdvice", "processor governor"), s.governor,
         QT_TRANSLATE_NOOP("FigureAdvice",
                           "Set the processor's frequency governor to \"performance\" while "
                           "tests run."));
  }
  if (!c.ticks.realTimeGranted && c.ticks.latenessUs.p99 > 500) {
    Warn(rows, QT_TRANSLATE_NOOP("FigureAdvice", "real-time priority"),
         Tr(QT_TRANSLATE_NOOP("FigureAdvice", "refused")),
         QT_TRANSLATE_NOOP("FigureAdvice",
                           "The tick thread wakes late: allow the user real-time priority (an "
                           "rtprio limit in /etc/security/limits.conf), or run fewer programs "
                           "beside the test."));
  }
  if (c.trial.sampledTouches > 0) {
    const int all = c.trial.stampedTouches + c.trial.sampledTouches;
    rows->push_back(
        {Tr(QT_TRANSLATE_NOOP("FigureAdvice", "touches with their own stamp")),
         OfTotal(c.trial.stampedTouches, all), false,
         Tr(QT_TRANSLATE_NOOP(
             "FigureAdvice",
             "Some presses carried no usable time stamp: run the program on the machine "
             "the screen belongs to, not over a remote display."))});
  }
}

}  // namespace

std::vector<FigureAdvice> AdviseOnFigures(const TimingCheck& check) {
  std::vector<FigureAdvice> rows;
  AddFailures(check, &rows);
  AddWarnings(check, &rows);
  return rows;
}

}  // namespace check
