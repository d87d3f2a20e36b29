// Finding out when a presented frame really became visible, from the display
// system rather than from the return of the call that handed it over: the
// display server's own presentation time where it reports one, else the
// frame's pixels read back through the server. One implementation per
// windowing system (onset_probe_x11.cpp, onset_probe_wayland.cpp); where
// there is none, MakeOnsetProbe gives null and frames stay unconfirmed.
#pragma once

#include <cstdint>
#include <memory>

#include "display/onset_spot.h"
#include "timing/trial_timing.h"

class QWindow;

namespace display {

/// Watches one window for the onsets of its frames. Arm before the frame is
/// handed over (swap or flush), Await after.
class OnsetProbe {
 public:
  virtual ~OnsetProbe() = default;
  /// Starts watching for the next frame; `spot` is where it differs from the
  /// one on the screen (not valid: no readback is possible). `timeoutNs`
  /// bounds the wait from now.
  virtual void Arm(const OnsetSpot& spot, int64_t timeoutNs) = 0;
  /// Waits until the frame is confirmed or the time is up; the source is
  /// kNone when nothing confirmed it. Fills onsetNs, uncertaintyNs, source.
  virtual FrameOnset Await() = 0;
  /// The best source this probe has seen work on this window so far.
  virtual OnsetSource BestSource() const = 0;
};

/// The probe for `window` on the running platform, or null where the
/// platform offers no way to confirm a frame.
std::unique_ptr<OnsetProbe> MakeOnsetProbe(QWindow* window);

/// Asks the compositor to show `window` (created, not yet shown) as it is,
/// without compositing it while it covers the screen: no fade-in, no copy
/// in between (X11's _NET_WM_BYPASS_COMPOSITOR). Does nothing elsewhere.
void AskToBypassCompositor(QWindow* window);

}  // namespace display
