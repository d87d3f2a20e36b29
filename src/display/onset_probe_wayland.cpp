// Onsets on Wayland: the compositor's presentation-time feedback, which says
// when each committed frame turned into light (or that it was discarded),
// on the compositor's presentation clock. A client cannot read the screen
// back on Wayland, so a compositor without the protocol confirms nothing.
#include <poll.h>
#include <qpa/qplatformnativeinterface.h>
#include <time.h>
#include <wayland-client.h>

#include <QGuiApplication>
#include <QWindow>
#include <string>

#include "display/onset_probe.h"
#include "presentation-time-client-protocol.h"
#include "timing/tick_clock.h"

namespace display {
namespace {

constexpr int64_t kNsPerS = 1000000000;

int64_t ClockNs(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<int64_t>(ts.tv_sec) * kNsPerS + ts.tv_nsec;
}

class WaylandOnsetProbe : public OnsetProbe {
 public:
  WaylandOnsetProbe(wl_display* display, wl_surface* surface)
      : display_(display), surface_(surface) {
    queue_ = wl_display_create_queue(display_);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display_));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue_);
    registry_ = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    static const wl_registry_listener kRegistry{&WaylandOnsetProbe::OnGlobal,
                                                [](void*, wl_registry*, uint32_t) {}};
    wl_registry_add_listener(registry_, &kRegistry, this);
    wl_display_roundtrip_queue(display_, queue_);
    if (presentation_) wl_display_roundtrip_queue(display_, queue_);  // its clock
  }

  ~WaylandOnsetProbe() override {
    if (feedback_) wp_presentation_feedback_destroy(feedback_);
    if (presentation_) wp_presentation_destroy(presentation_);
    wl_registry_destroy(registry_);
    wl_event_queue_destroy(queue_);
  }

  bool Usable() const { return presentation_ != nullptr; }

  void Arm(const OnsetSpot&, int64_t timeoutNs) override {
    if (feedback_) wp_presentation_feedback_destroy(feedback_);
    done_ = false;
    result_ = FrameOnset{};
    deadlineNs_ = tick_clock::NowNs() + timeoutNs;
    // Applies to the next commit of the surface: the one the swap or the
    // flush is about to make.
    feedback_ = wp_presentation_feedback(presentation_, surface_);
    static const wp_presentation_feedback_listener kFeedback{
        [](void*, struct wp_presentation_feedback*, wl_output*) {}, &WaylandOnsetProbe::OnPresented,
        &WaylandOnsetProbe::OnDiscarded};
    wp_presentation_feedback_add_listener(feedback_, &kFeedback, this);
  }

  FrameOnset Await() override {
    if (!feedback_) return FrameOnset{};
    // The toolkit reads the same connection on a thread of its own; short
    // polls make sure an event it read for this queue is seen soon.
    while (!done_ && tick_clock::NowNs() < deadlineNs_) {
      while (wl_display_prepare_read_queue(display_, queue_) != 0) {
        wl_display_dispatch_queue_pending(display_, queue_);
      }
      wl_display_flush(display_);
      pollfd fd{wl_display_get_fd(display_), POLLIN, 0};
      if (poll(&fd, 1, 1) > 0) {
        wl_display_read_events(display_);
      } else {
        wl_display_cancel_read(display_);
      }
      wl_display_dispatch_queue_pending(display_, queue_);
    }
    if (feedback_) {
      wp_presentation_feedback_destroy(feedback_);
      feedback_ = nullptr;
    }
    return result_;
  }

  OnsetSource BestSource() const override { return best_; }

 private:
  static void OnGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t) {
    auto* self = static_cast<WaylandOnsetProbe*>(data);
    if (std::string(interface) != wp_presentation_interface.name || self->presentation_) return;
    self->presentation_ = static_cast<wp_presentation*>(
        wl_registry_bind(registry, name, &wp_presentation_interface, 1));
    static const wp_presentation_listener kPresentation{
        [](void* d, wp_presentation*, uint32_t clock) {
          static_cast<WaylandOnsetProbe*>(d)->clock_ = static_cast<clockid_t>(clock);
        }};
    wp_presentation_add_listener(self->presentation_, &kPresentation, self);
  }

  static void OnPresented(void* data, struct wp_presentation_feedback*, uint32_t secHi,
                          uint32_t secLo, uint32_t nsec, uint32_t refreshNs, uint32_t, uint32_t,
                          uint32_t flags) {
    auto* self = static_cast<WaylandOnsetProbe*>(data);
    const int64_t at = (static_cast<int64_t>(secHi) << 32 | secLo) * kNsPerS + nsec;
    // The compositor's clock (often CLOCK_MONOTONIC_RAW) onto ours.
    int64_t offset = 0;
    if (self->clock_ != CLOCK_MONOTONIC) {
      const int64_t before = tick_clock::NowNs();
      const int64_t theirs = ClockNs(self->clock_);
      offset = before + (tick_clock::NowNs() - before) / 2 - theirs;
    }
    self->result_.onsetNs = at + offset;
    // Without the hardware's own clock or completion the time is the
    // compositor's estimate (a nested compositor may take it from a timer):
    // it can be out by up to a refresh.
    const uint32_t hardware =
        WP_PRESENTATION_FEEDBACK_KIND_HW_CLOCK | WP_PRESENTATION_FEEDBACK_KIND_HW_COMPLETION;
    if ((flags & hardware) == 0) self->result_.uncertaintyNs = refreshNs ? refreshNs : 16666667;
    self->result_.source = OnsetSource::kWaylandFeedback;
    self->best_ = OnsetSource::kWaylandFeedback;
    self->done_ = true;
  }

  static void OnDiscarded(void* data, struct wp_presentation_feedback*) {
    auto* self = static_cast<WaylandOnsetProbe*>(data);
    self->done_ = true;  // never shown: nothing to confirm
  }

  wl_display* display_;
  wl_surface* surface_;
  wl_event_queue* queue_ = nullptr;
  wl_registry* registry_ = nullptr;
  wp_presentation* presentation_ = nullptr;
  struct wp_presentation_feedback* feedback_ = nullptr;
  clockid_t clock_ = CLOCK_MONOTONIC;
  bool done_ = true;
  int64_t deadlineNs_ = 0;
  FrameOnset result_;
  OnsetSource best_ = OnsetSource::kNone;
};

}  // namespace

std::unique_ptr<OnsetProbe> MakeWaylandOnsetProbe(QWindow* window) {
  QPlatformNativeInterface* native = QGuiApplication::platformNativeInterface();
  if (!native || !window) return nullptr;
  auto* display = static_cast<wl_display*>(native->nativeResourceForIntegration("wl_display"));
  auto* surface = static_cast<wl_surface*>(native->nativeResourceForWindow("surface", window));
  if (!display || !surface) return nullptr;
  auto probe = std::make_unique<WaylandOnsetProbe>(display, surface);
  if (!probe->Usable()) return nullptr;
  return probe;
}

}  // namespace display
