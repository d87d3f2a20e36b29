// The timing check: measures, on the PC it runs on and full screen, the
// display's presentation, the millisecond tick source and the whole trial
// loop with a scripted subject, and judges whether the reaction times the
// program records there can be trusted.
#pragma once

#include <string>

#include "check/timing_report.h"
#include "ui/services.h"

namespace check {

/// How much the check measures. The defaults take about 45 s.
struct CheckOptions {
  int frames = 300;         ///< presented back to back, one per refresh
  double tickSpanS = 10.0;  ///< drift of the tick source over this long
  int latenessSamples = 1000;
  int trials = 20;  ///< real trials with the scripted subject
  int memorisationMs = 500;
};

/// The notice shown before the check takes the screen: what will happen,
/// for about how long, and not to touch the screen.
std::string TimingCheckNotice(const CheckOptions& options);

/// Shows the notice over `owner` (may be null) with OK and Cancel; true when
/// the user chose OK, so that the check may start.
bool ConfirmTimingCheck(const CheckOptions& options, ui::WindowHandle owner);

/// Runs the check on a full-screen test window owned by `owner`. Needs the
/// user interface services and an initialised display; runs its trials on a
/// table of its own, so the test's table and settings stay as they were, and
/// writes nothing.
TimingCheck RunTimingCheck(const CheckOptions& options, ui::WindowHandle owner);

/// The local time as the report's file name wants it: "20261209-140359",
/// and as its heading shows it: "2026-12-09 14:03:59".
void LocalStamp(std::string* fileStamp, std::string* heading);

/// Writes the report and, beside it, the PNG of its charts into the working
/// directory; false with the system's reason when a file cannot be written.
bool SaveTimingCheck(const TimingCheck& check, const std::string& report,
                     const std::string& fileStamp, std::string* textPath, std::string* pngPath,
                     std::string* error);

}  // namespace check
