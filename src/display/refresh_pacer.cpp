#include "display/refresh_pacer.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace display {
namespace {

// Swaps timed at start-up to tell a driver that waits for the refresh from one
// that does not (Mesa under a virtual X server returns at once).
constexpr int kCalibrationSwaps = 6;
// Swaps the blocking decision looks back on, once calibrated: one odd pair
// (queued swaps after an idle spell return at once) must not decide it.
constexpr size_t kSwapWindow = 8;

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

void RefreshPacer::Reset() {
  calibrated_ = false;
  swapsBlock_ = false;
  swapDurations_.clear();
  swapIntervals_.clear();
}

void RefreshPacer::StopBlocking() {
  calibrated_ = false;
  swapsBlock_ = false;
}

double RefreshPacer::MeasuredPeriod() const {
  return Median(std::vector<double>(swapIntervals_.begin(), swapIntervals_.end()));
}

bool RefreshPacer::Calibrate(const std::function<double()>& swapFrame) {
  calibrated_ = true;
  swapsBlock_ = false;
  // Only the swaps are timed, with the drawing already done: a slow renderer
  // must not pass for one that waits for the refresh.
  std::vector<double> swaps;
  swapDurations_.clear();
  swapIntervals_.clear();
  Clock::time_point previous = Clock::now();
  for (int i = 0; i < kCalibrationSwaps; ++i) {
    swaps.push_back(swapFrame());
    const Clock::time_point now = Clock::now();
    swapIntervals_.push_back(std::chrono::duration<double>(now - previous).count());
    previous = now;
  }
  swapsBlock_ = !softwareSwaps_ && Median(swaps) > 0.5 * Period();
  swapDurations_.assign(swaps.begin(), swaps.end());
  if (!swapsBlock_) swapIntervals_.clear();
  lastSwap_ = previous;
  if (swapsBlock_) phase_ = previous;
  return swapsBlock_;
}

RefreshPacer::Clock::time_point RefreshPacer::NextBoundary(Clock::time_point from) const {
  const auto period =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(Period()));
  if (phase_ == Clock::time_point{} || from < phase_) return from + period;
  // Boundaries are whole periods from one fixed phase, so oversleeping one
  // wait does not push the later ones back.
  const auto periods = (from - phase_) / period + 1;
  return phase_ + periods * period;
}

RefreshPacer::Clock::time_point RefreshPacer::SleepToNextBoundary() {
  const Clock::time_point now = Clock::now();
  if (phase_ == Clock::time_point{} || now < phase_) phase_ = now;
  const Clock::time_point boundary = NextBoundary(now);
  std::this_thread::sleep_until(boundary);
  return boundary;
}

void RefreshPacer::NoteSwapDuration(double seconds) {
  swapDurations_.push_back(seconds);
  while (swapDurations_.size() > kSwapWindow) swapDurations_.pop_front();
  // Decided from a window of swaps: after an idle spell the driver's queue
  // takes one or two swaps at once, which says nothing about the refresh.
  if (softwareSwaps_) {
    swapsBlock_ = false;
  } else if (swapDurations_.size() >= kSwapWindow / 2) {
    const double median = Median(std::vector<double>(swapDurations_.begin(), swapDurations_.end()));
    swapsBlock_ = median > 0.5 * Period();
  }
}

void RefreshPacer::NoteSwap(Clock::time_point started) {
  const Clock::time_point now = Clock::now();
  const double period = Period();
  // Only a swap that follows the previous one closely has a full queue in
  // front of it and so shows whether swaps wait for the refresh.
  const bool backToBack = lastSwap_ != Clock::time_point{} &&
                          std::chrono::duration<double>(started - lastSwap_).count() < period;
  if (backToBack) {
    NoteSwapDuration(std::chrono::duration<double>(now - started).count());
    if (swapsBlock_) {
      swapIntervals_.push_back(std::chrono::duration<double>(now - lastSwap_).count());
      while (swapIntervals_.size() > 4 * kSwapWindow) swapIntervals_.pop_front();
    }
  }
  // A swap that waited marks a real boundary: keep the clock in step with it
  // for the times the clock has to stand in.
  if (swapsBlock_) phase_ = now;
  lastSwap_ = now;
}

}  // namespace display
