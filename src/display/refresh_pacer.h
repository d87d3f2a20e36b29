// The refresh's pace: whether buffer swaps wait for the refresh, and a clock
// at the refresh rate that stands in where they do not.
#pragma once

#include <chrono>
#include <deque>
#include <functional>

namespace display {

/// Keeps the refresh boundaries, from blocking swaps where there are any and
/// from a clock otherwise.
class RefreshPacer {
 public:
  using Clock = std::chrono::steady_clock;

  /// `period` gives the refresh period in seconds, asked anew at each use.
  explicit RefreshPacer(std::function<double()> period) : period_(std::move(period)) {}

  /// Forgets everything learnt about the swaps (a new window).
  void Reset();
  /// Swaps no longer block and must be calibrated again (OpenGL failed).
  void StopBlocking();
  /// The swaps must be calibrated again (a new OpenGL context).
  void Uncalibrate() { calibrated_ = false; }
  /// Software rasterisers' swaps never wait for a refresh, however long they take.
  void SetSoftwareSwaps(bool software) { softwareSwaps_ = software; }

  bool Calibrated() const { return calibrated_; }
  /// True when swaps wait for the refresh.
  bool SwapsBlock() const { return swapsBlock_; }
  /// The refresh period, in seconds.
  double Period() const { return period_(); }
  /// The median interval between blocking swaps, in seconds; 0 when unknown.
  double MeasuredPeriod() const;

  /// Times `swapFrame` (draws a frame, then swaps and returns the swap's
  /// seconds) a few times to decide whether swaps block; returns the decision.
  bool Calibrate(const std::function<double()>& swapFrame);
  /// The first refresh boundary after `from`.
  Clock::time_point NextBoundary(Clock::time_point from) const;
  /// Sleeps to the next boundary and returns it.
  Clock::time_point SleepToNextBoundary();
  /// A swap, called at `started` with the frame already drawn, has returned.
  void NoteSwap(Clock::time_point started);
  /// A swap took `seconds`: feeds the blocking decision.
  void NoteSwapDuration(double seconds);

 private:
  std::function<double()> period_;
  bool calibrated_ = false;
  bool swapsBlock_ = false;
  bool softwareSwaps_ = false;
  Clock::time_point lastSwap_;        // when the last swap returned
  Clock::time_point phase_;           // a refresh boundary; the others are whole periods away
  std::deque<double> swapDurations_;  // of recent back-to-back swaps, seconds
  std::deque<double> swapIntervals_;  // between the returns of blocking back-to-back swaps
};

}  // namespace display
