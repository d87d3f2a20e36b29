// What the timing check reports of the machine: the display server, its
// compositor, OpenGL, the screen and the processor's frequency governor.
#pragma once

#include "check/timing_report.h"

namespace check {

/// The facts of the running system and its primary screen. Needs a running
/// QGuiApplication.
SystemFacts ReadSystemFacts();

/// The processor's frequency governor ("performance", "powersave", ...);
/// "unknown" where the system does not tell.
std::string CpuGovernor();

/// X11 only: whether a compositing manager owns the screen, and whether the
/// server is a virtual one (Xvfb, VNC) or Xwayland. False where not X11.
bool X11Facts(bool* compositor, bool* virtualServer, bool* xwayland);

}  // namespace check
