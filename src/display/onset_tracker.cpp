#include "display/onset_tracker.h"

#include "timing/tick_clock.h"

namespace display {
namespace {

// How long a frame may take to be confirmed, in refresh periods.
constexpr double kConfirmPeriods = 6.0;

int64_t ToNs(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

}  // namespace

void OnsetTracker::Reset() {
  probe_.reset();
  probeWindow_ = nullptr;
  shown_ = ShownFrame{};
  onset_ = FrameOnset{};
}

ui::Rect OnsetTracker::Begin() {
  onset_ = FrameOnset{};
  onset_.requestNs = tick_clock::NowNs();
  const ui::Rect focus = focus_;
  focus_ = ui::Rect{};
  return focus;
}

OnsetSpot OnsetTracker::Spot(const uint8_t* pixels, int width, int height, int pitch,
                             const ui::Rect& target, const ui::Rect& focus) const {
  return FindSpot(pixels, width, height, pitch, target, focus, shown_);
}

void OnsetTracker::Arm(QWindow* window, const OnsetSpot& spot, double periodS) {
  if (probeWindow_ != window || !probe_) {
    probe_ = MakeOnsetProbe(window);
    probeWindow_ = window;
  }
  probeArmed_ = probe_ != nullptr;
  if (probe_) probe_->Arm(spot, static_cast<int64_t>(kConfirmPeriods * periodS * 1e9));
}

void OnsetTracker::Finish(Clock::time_point meantFor, double periodS) {
  onset_.returnNs = tick_clock::NowNs();
  FrameOnset confirmed;
  if (probeArmed_) confirmed = probe_->Await();
  probeArmed_ = false;
  if (confirmed.Confirmed()) {
    onset_.onsetNs = confirmed.onsetNs;
    onset_.uncertaintyNs = confirmed.uncertaintyNs;
    onset_.source = confirmed.source;
  } else {
    onset_.onsetNs = onset_.returnNs;
    onset_.source = OnsetSource::kNone;
  }
  // steady_clock is the monotonic clock here, the onsets' timeline.
  const int64_t late = onset_.onsetNs - ToNs(meantFor);
  const double period = periodS * 1e9;
  onset_.missedRefreshes = late > 0 ? static_cast<int32_t>(late / period) : 0;
}

}  // namespace display
