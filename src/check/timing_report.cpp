#include "check/timing_report.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <map>

#include "check/figure_advice.h"

namespace check {
namespace {

std::string Format(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return buffer;
}

void Line(std::string* out, const char* label, const std::string& value) {
  *out += Format("  %-28s %s\n", label, value.c_str());
}

std::string SpreadText(const Spread& s, const char* unit, int decimals) {
  return Format("median %.*f %s, 99th percentile %.*f %s, worst %.*f %s (n %d)", decimals, s.median,
                unit, decimals, s.p99, unit, decimals, s.worst, unit, s.count);
}

std::string ErrorText(const Spread& s) {
  return Format("mean %+.2f ms, median %+.2f ms, from %+.2f to %+.2f ms (n %d)", s.mean, s.median,
                s.least, s.worst, s.count);
}

bool OutsideGoal(double error) {
  return error < kEarliestRtMs || error > kLatestRtMs;
}

// What the verdict's rules look at: the measurements and what follows from them.
struct Findings {
  const TimingCheck& c;
  int rts = 0;      // reaction times compared with the truth
  int outside = 0;  // of them outside the goal
  double worst = 0;
  bool lateFrames = false;
  bool pass = false;  // known once the failures are collected
};

Findings Find(const TimingCheck& c) {
  Findings f{c};
  for (const TrialError& e : c.trial.errors) {
    for (int k = 0; k < (e.hasRt2 ? 2 : 1); ++k) {
      const double error = k == 0 ? e.rt1 : e.rt2;
      ++f.rts;
      if (OutsideGoal(error)) ++f.outside;
      if (std::fabs(error) > std::fabs(f.worst)) f.worst = error;
    }
  }
  f.lateFrames = c.display.missedRefreshes > 0 || c.trial.missedRefreshes > 0;
  return f;
}

// One line of the verdict: when it is said, and what.
struct Rule {
  bool (*applies)(const Findings&);
  std::string (*text)(const Findings&);
};

template <size_t N>
void Collect(const Rule (&rules)[N], const Findings& f, std::vector<std::string>* out) {
  for (const Rule& rule : rules) {
    if (rule.applies(f)) out->push_back(rule.text(f));
  }
}

const Rule kFailures[] = {
    {[](const Findings& f) { return f.c.display.frames == 0; },
     [](const Findings&) -> std::string { return "Display: no frame could be presented."; }},
    {[](const Findings& f) { return f.c.display.missedRefreshes > 0; },
     [](const Findings& f) {
       return Format("Display: %d of %d frames missed their refresh.", f.c.display.missedRefreshes,
                     f.c.display.frames);
     }},
    {[](const Findings& f) { return f.c.trial.missedRefreshes > 0; },
     [](const Findings& f) {
       return Format("Trial loop: %d frames of the trials missed their refresh.",
                     f.c.trial.missedRefreshes);
     }},
    {[](const Findings& f) { return f.c.display.unconfirmed + f.c.trial.unconfirmed > 0; },
     [](const Findings& f) {
       return Format(
           "%d frames could not be confirmed on the screen: their onsets are only the moments "
           "they were handed over.",
           f.c.display.unconfirmed + f.c.trial.unconfirmed);
     }},
    {[](const Findings& f) { return f.c.trial.errors.empty(); },
     [](const Findings&) -> std::string { return "Trial loop: no trial could be measured."; }},
    {[](const Findings& f) { return f.outside > 0; },
     [](const Findings& f) {
       return Format(
           "Trial loop: %d of %d reaction times are outside [%+.0f, %+.0f] ms of the truth "
           "(worst %+.2f ms).",
           f.outside, f.rts, kEarliestRtMs, kLatestRtMs, f.worst);
     }},
};

const Rule kAdvice[] = {
    {[](const Findings& f) { return f.c.system.compositor == "running"; },
     [](const Findings&) -> std::string {
       return "A compositor is running: switch it off, or at least its effects, while tests "
              "run. It holds every frame back and makes its timing uneven.";
     }},
    {[](const Findings& f) {
       return f.lateFrames && !f.c.display.swapsWait && !f.c.system.virtualDisplay;
     },
     [](const Findings&) -> std::string {
       return "Buffer swaps do not wait for the refresh: vsync is off in the driver. Switch on "
              "\"sync to vblank\" in the graphics driver's settings.";
     }},
    {[](const Findings& f) { return f.c.system.softwareRendering && !f.c.system.virtualDisplay; },
     [](const Findings& f) {
       return "OpenGL runs in software (" + f.c.system.glRenderer +
              "): install the graphics card's own driver.";
     }},
    {[](const Findings& f) {
       return f.c.system.governor == "powersave" || f.c.system.governor == "conservative";
     },
     [](const Findings& f) {
       return "The processor's frequency governor is \"" + f.c.system.governor +
              "\": set it to \"performance\" while tests run.";
     }},
    {[](const Findings& f) { return !f.c.ticks.realTimeGranted && f.c.ticks.latenessUs.p99 > 500; },
     [](const Findings&) -> std::string {
       return "The tick thread was refused real-time priority and wakes late: allow the user "
              "real-time priority (an rtprio limit in /etc/security/limits.conf), or run fewer "
              "programs beside the test.";
     }},
    {[](const Findings& f) { return f.c.trial.sampledTouches > 0; },
     [](const Findings&) -> std::string {
       return "Some presses carried no usable time stamp, so their times were taken when the "
              "program handled them: run the program on the machine the screen belongs to, not "
              "over a remote display.";
     }},
    {[](const Findings& f) { return f.outside > 0 && f.lateFrames; },
     [](const Findings&) -> std::string {
       return "Close other programs, and check that the PC is not busy while tests run.";
     }},
};

const Rule kNotes[] = {
    {[](const Findings& f) { return f.c.system.virtualDisplay; },
     [](const Findings&) -> std::string {
       return "This is a virtual display: onsets are confirmed by read-back only, and nothing "
              "reaches a monitor. Check the lab's own screen with the lab's own display.";
     }},
    {[](const Findings& f) { return f.pass && f.c.system.compositor == "running"; },
     [](const Findings&) -> std::string {
       return "A compositor is running: its own latency is not seen by read-back.";
     }},
    {[](const Findings& f) {
       return f.c.trial.injection != "XTest" && !f.c.trial.injection.empty();
     },
     [](const Findings&) -> std::string {
       return "Presses were put into the program's input queue, so the path from the input "
              "device to the program was not part of the check.";
     }},
};

}  // namespace

Spread SpreadOf(std::vector<double> values) {
  Spread s;
  if (values.empty()) return s;
  std::sort(values.begin(), values.end());
  s.count = static_cast<int>(values.size());
  s.median = values[values.size() / 2];
  s.p99 = values[std::min(values.size() - 1, values.size() * 99 / 100)];
  s.worst = values.back();
  s.least = values.front();
  double sum = 0;
  for (double v : values) sum += v;
  s.mean = sum / s.count;
  double squares = 0;
  for (double v : values) squares += (v - s.mean) * (v - s.mean);
  s.sd = s.count > 1 ? std::sqrt(squares / (s.count - 1)) : 0;
  return s;
}

Verdict Judge(const TimingCheck& c) {
  Findings f = Find(c);
  Verdict v;
  Collect(kFailures, f, &v.failures);
  v.pass = f.pass = v.failures.empty();
  // Advice is what to change on a PC that failed; one that passed needs none.
  if (!v.pass) Collect(kAdvice, f, &v.advice);
  Collect(kNotes, f, &v.notes);
  return v;
}

std::string FormatReport(const TimingCheck& c, const Verdict& v) {
  std::string out = "Dorvane timing check, " + c.when + "\n\n";
  const SystemFacts& s = c.system;
  out += "System\n";
  Line(&out, "display server:", s.displayServer);
  Line(&out, "compositor:", s.compositor);
  Line(&out, "virtual display:", s.virtualDisplay ? "yes" : "no");
  Line(&out, "OpenGL renderer:", s.glRenderer + (s.softwareRendering ? " (software)" : ""));
  Line(&out, "screen:",
       Format("%d x %d pixels at %.2f Hz", s.screenWidth, s.screenHeight, s.nominalRefreshHz));
  Line(&out, "processor governor:", s.governor);

  const DisplayFacts& d = c.display;
  out += Format("\nDisplay (%d frames, one per refresh)\n", d.frames);
  Line(&out, "presentation path:", d.path);
  Line(&out, "onset source:", d.onsetSource);
  Line(&out, "swaps wait for the refresh:", d.swapsWait ? "yes" : "no");
  Line(
      &out, "refresh period:",
      Format("nominal %.3f ms, measured %.3f ms (median)", d.nominalPeriodMs, d.intervalMs.median));
  Line(&out, "jitter:",
       Format("%.3f ms (standard deviation); shortest %.3f ms, longest %.3f ms", d.intervalMs.sd,
              d.intervalMs.least, d.intervalMs.worst));
  Line(&out, "missed refreshes:", Format("%d", d.missedRefreshes));
  Line(&out, "unconfirmed frames:", Format("%d", d.unconfirmed));
  Line(&out, "Present's return to onset:", SpreadText(d.returnToOnsetMs, "ms", 3));

  const TickFacts& t = c.ticks;
  out += "\nTick source\n";
  Line(&out, "drift:",
       Format("%+.3f ms over %.1f s (%+.5f %%)", t.driftMs, t.spanS,
              t.spanS > 0 ? t.driftMs / (t.spanS * 10.0) : 0.0));
  Line(&out, "wake-up lateness:", SpreadText(t.latenessUs, "us", 0));
  Line(&out, "real-time priority:", t.realTimeGranted ? "granted" : "refused");

  const TrialFacts& r = c.trial;
  out += Format("\nTrial loop (%d trials, scripted subject, presses injected through %s)\n",
                r.trials, r.injection.c_str());
  std::vector<double> rt1, rt2;
  for (const TrialError& e : r.errors) {
    rt1.push_back(e.rt1);
    if (e.hasRt2) rt2.push_back(e.rt2);
  }
  Line(&out, "RT1 recorded minus true:", ErrorText(SpreadOf(rt1)));
  Line(&out, "RT2 recorded minus true:", ErrorText(SpreadOf(rt2)));
  Line(&out, "touches with their own stamp:",
       Format("%d of %d", r.stampedTouches, r.stampedTouches + r.sampledTouches));
  Line(&out, "missed refreshes:", Format("%d", r.missedRefreshes));
  Line(&out, "unconfirmed frames:", Format("%d", r.unconfirmed));

  out += std::string("\nVerdict: ") + (v.pass ? "PASS" : "FAIL") + "\n";
  if (v.pass) {
    out +=
        "  Every reaction time was within [-1, +3] ms of the truth and every frame met its "
        "refresh.\n";
  }
  for (const std::string& f : v.failures) out += "  fails: " + f + "\n";
  for (const std::string& a : v.advice) out += "  advice: " + a + "\n";
  for (const std::string& n : v.notes) out += "  note: " + n + "\n";
  // Figures that do not fail the check but are wrong all the same.
  for (const FigureAdvice& a : AdviseOnFigures(c)) {
    if (!a.fails) out += "  warning: " + a.figure + ": " + a.value + ". " + a.advice + "\n";
  }
  return out;
}

std::string ReportFileName(const std::string& stamp) {
  return "timing-check-" + stamp + ".txt";
}

TestTimingSummary SummariseTest(const std::vector<TrialTiming>& timings, int trials) {
  TestTimingSummary s;
  std::map<std::string, int> sources;
  std::vector<double> delays;
  const int n = std::min<int>(trials, static_cast<int>(timings.size()));
  for (int i = 0; i < n; ++i) {
    for (const FrameRecord& f : timings[static_cast<size_t>(i)].frames) {
      ++s.frames;
      ++sources[OnsetSourceName(f.onset.source)];
      if (!f.onset.Confirmed()) ++s.unconfirmed;
      if (f.onset.missedRefreshes > 0) ++s.missedRefreshes;
      s.worstUncertaintyMs = std::max(s.worstUncertaintyMs, f.onset.uncertaintyNs / 1e6);
      if (f.onset.Confirmed()) delays.push_back((f.onset.onsetNs - f.onset.returnNs) / 1e6);
    }
    for (const TouchRecord& t : timings[static_cast<size_t>(i)].touches) {
      (t.source == TouchTimeSource::kStamp ? s.stampedTouches : s.sampledTouches) += 1;
    }
  }
  s.sources.assign(sources.begin(), sources.end());
  s.returnToOnsetMs = SpreadOf(delays);
  return s;
}

}  // namespace check
