// What the timing check measured on a lab PC, the verdict on it, and its
// report. No window here: the measurements fill these records, and the
// verdict and the text follow from them alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "timing/trial_timing.h"

namespace check {

/// Median, 99th percentile and worst of a set of values, with their mean
/// and standard deviation.
struct Spread {
  int count = 0;
  double median = 0;
  double p99 = 0;
  double worst = 0;  ///< the largest
  double least = 0;  ///< the smallest
  double mean = 0;
  double sd = 0;
};

/// The spread of `values`; all zero when there are none.
Spread SpreadOf(std::vector<double> values);

/// The machine and its display.
struct SystemFacts {
  std::string
      displayServer;  ///< "X11", "Wayland", "X11 on Wayland (Xwayland)", or the platform's name
  std::string compositor;       ///< "none", "running", or "unknown"
  bool virtualDisplay = false;  ///< a virtual X server (Xvfb, VNC): nothing reaches a monitor
  std::string glRenderer;       ///< the OpenGL renderer, "none" without OpenGL
  bool softwareRendering = false;
  int screenWidth = 0;
  int screenHeight = 0;
  double nominalRefreshHz = 0;  ///< as the system reports it
  std::string governor;         ///< the processor's frequency governor, "unknown" when not told
};

/// Presentation of a run of frames, one per refresh.
struct DisplayFacts {
  std::string path;         ///< "opengl-vsync", "opengl-clock", "raster" or "none"
  std::string onsetSource;  ///< the source that confirmed the frames
  int frames = 0;
  int unconfirmed = 0;  ///< frames no source confirmed
  double nominalPeriodMs = 0;
  Spread intervalMs;              ///< between consecutive confirmed onsets
  int missedRefreshes = 0;        ///< frames later than the refresh they were meant for
  bool swapsWait = false;         ///< buffer swaps block until the refresh
  Spread returnToOnsetMs;         ///< from Present's return to the confirmed onset
  std::vector<double> intervals;  ///< each interval, ms
};

/// The millisecond tick source.
struct TickFacts {
  double spanS = 0;    ///< how long the drift was measured
  double driftMs = 0;  ///< counted minus elapsed at the end
  Spread latenessUs;   ///< of 1 ms wake-ups on a thread set up like the tick thread
  bool realTimeGranted = false;
};

/// One scripted trial: recorded minus true reaction times.
struct TrialError {
  double rt1 = 0;
  double rt2 = 0;
  bool hasRt2 = false;
};

/// The whole trial loop with a scripted subject.
struct TrialFacts {
  int trials = 0;
  std::string injection;  ///< "XTest" or "the program's input queue"
  std::vector<TrialError> errors;
  int missedRefreshes = 0;  ///< frames of the trials later than their refresh
  int unconfirmed = 0;      ///< frames of the trials no source confirmed
  int stampedTouches = 0;
  int sampledTouches = 0;
};

/// Everything one timing check measured.
struct TimingCheck {
  std::string when;  ///< local date and time of the check, "2026-12-09 14:03:59"
  SystemFacts system;
  DisplayFacts display;
  TickFacts ticks;
  TrialFacts trial;
};

/// Pass, or the lines that fail with what an experimenter can do about them.
struct Verdict {
  bool pass = false;
  std::vector<std::string> failures;
  std::vector<std::string> advice;
  std::vector<std::string> notes;  ///< true either way, worth knowing
};

/// Largest earliness and lateness of a recorded reaction time that passes, ms.
constexpr double kEarliestRtMs = -1.0;
constexpr double kLatestRtMs = 3.0;

/// The verdict: pass when every recorded RT is within [-1, +3] ms of the
/// truth, no frame missed its refresh and every frame was confirmed.
Verdict Judge(const TimingCheck& check);

/// The whole report, a section per part of the check and the verdict.
std::string FormatReport(const TimingCheck& check, const Verdict& verdict);

/// The report's file name for a check made at local time `stamp`
/// ("20261209-140359"): "timing-check-20261209-140359.txt".
std::string ReportFileName(const std::string& stamp);

/// The short version of a test's timing, from its trials' records: onset
/// sources, missed refreshes, onset uncertainty and touch time sources.
struct TestTimingSummary {
  int frames = 0;
  int unconfirmed = 0;
  int missedRefreshes = 0;
  std::vector<std::pair<std::string, int>> sources;  ///< frames per onset source
  double worstUncertaintyMs = 0;
  Spread returnToOnsetMs;
  int stampedTouches = 0;
  int sampledTouches = 0;
};

/// The summary over the first `trials` rows of `timings`.
TestTimingSummary SummariseTest(const std::vector<TrialTiming>& timings, int trials);

}  // namespace check
