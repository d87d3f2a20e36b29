// The onsets of the presenter's frames: what the screen shows, where the next
// frame changes it, and the probe that confirms when it did.
#pragma once

#include <chrono>
#include <memory>

#include "display/onset_probe.h"
#include "display/onset_spot.h"
#include "ui/services.h"

class QWindow;

namespace display {

/// Follows what the bound window shows and times each frame's onset.
class OnsetTracker {
 public:
  using Clock = std::chrono::steady_clock;

  /// A new window: nothing is known of what it shows, and its probe is new.
  void Reset();
  /// Sets the canvas area the next frame is about.
  void SetFocus(const ui::Rect& canvasArea) { focus_ = canvasArea; }
  /// Starts a frame's onset (its request time now); returns and clears the focus.
  ui::Rect Begin();
  /// Where the canvas differs from what the screen shows; see FindSpot.
  OnsetSpot Spot(const uint8_t* pixels, int width, int height, int pitch, const ui::Rect& target,
                 const ui::Rect& focus) const;
  /// Arms `window`'s probe for the frame about to be handed over, for a few
  /// refreshes of `periodS` seconds.
  void Arm(QWindow* window, const OnsetSpot& spot, double periodS);
  /// The frame is handed over: its onset is what the probe confirmed, or the
  /// hand-over itself, flagged. `meantFor` is the refresh it was meant to catch.
  void Finish(Clock::time_point meantFor, double periodS);
  /// The screen now shows this canvas in `target`.
  void KeepCanvas(const uint8_t* pixels, int width, int height, int pitch, const ui::Rect& target) {
    shown_.KeepCanvas(pixels, width, height, pitch, target);
  }
  /// The screen now shows one colour, 0xRRGGBB.
  void KeepFill(uint32_t rgb) { shown_.KeepFill(rgb); }
  /// The last frame's onset.
  const FrameOnset& Last() const { return onset_; }

 private:
  ui::Rect focus_;
  ShownFrame shown_;
  std::unique_ptr<OnsetProbe> probe_;
  QWindow* probeWindow_ = nullptr;
  bool probeArmed_ = false;
  FrameOnset onset_;
};

}  // namespace display
