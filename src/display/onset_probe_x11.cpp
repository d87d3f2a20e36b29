// Onsets on X11. Two sources, best first:
// - the Present extension's CompleteNotify events for the window, which carry
//   the server's own time of the flip or copy (drivers that present through
//   it, as Mesa's DRI3 does); a copy under a compositor is not yet on the
//   screen, so there the readback below is preferred when it answers;
// - otherwise the frame's pixels read back from the root window, which is
//   what the screen shows (virtual X servers, software rendering, drivers
//   that present some other way), polled from before the frame is handed over
//   until the spot shows the new colour.
// The polling runs on a thread and an X connection of its own, so that it
// keeps going while the presenting thread is inside a swap, and its round
// trips (about 0.1 ms) need no hand-over from the toolkit's event thread.
#include <xcb/present.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "display/onset_probe.h"
#include "timing/tick_clock.h"
#include "timing/urgent_thread.h"

namespace display {
namespace {

constexpr int64_t kNsPerUs = 1000;

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
Reply<T> Own(T* reply) {
  return Reply<T>(reply, &std::free);
}

xcb_connection_t* QtConnection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

bool CompositorRunning(xcb_connection_t* c, int screenNumber) {
  const std::string name = "_NET_WM_CM_S" + std::to_string(screenNumber);
  auto atom = Own(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 1, static_cast<uint16_t>(name.size()), name.c_str()), nullptr));
  if (!atom || atom->atom == XCB_ATOM_NONE) return false;
  auto owner =
      Own(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr));
  return owner && owner->owner != XCB_WINDOW_NONE;
}

class X11OnsetProbe : public OnsetProbe {
 public:
  // Takes `c`, which it disconnects.
  X11OnsetProbe(xcb_connection_t* c, xcb_window_t window) : c_(c), window_(window) {
    auto geometry = Own(xcb_get_geometry_reply(c_, xcb_get_geometry(c_, window_), nullptr));
    if (geometry) root_ = geometry->root;
    const xcb_setup_t* setup = xcb_get_setup(c_);
    int number = 0;
    for (auto it = xcb_setup_roots_iterator(setup); it.rem; xcb_screen_next(&it), ++number) {
      if (it.data->root != root_) continue;
      screenNumber_ = number;
      // Readback decodes 24-bit true colour in 32-bit pixels only.
      readable_ = it.data->root_depth == 24 || it.data->root_depth == 32;
      for (auto d = xcb_screen_allowed_depths_iterator(it.data); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
          if (v.data->visual_id != it.data->root_visual) continue;
          readable_ = readable_ && v.data->red_mask == 0xFF0000 && v.data->green_mask == 0x00FF00 &&
                      v.data->blue_mask == 0x0000FF;
        }
      }
    }
    lsbFirst_ = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    composited_ = CompositorRunning(c_, screenNumber_);
    SelectPresentEvents();
    thread_ = std::thread([this] { Run(); });
  }

  ~X11OnsetProbe() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
    if (presentEvents_) xcb_unregister_for_special_event(c_, presentEvents_);
    xcb_disconnect(c_);
  }

  void Arm(const OnsetSpot& spot, int64_t timeoutNs) override {
    const int64_t now = tick_clock::NowNs();
    std::lock_guard<std::mutex> lock(mutex_);
    job_ = Job{spot, now, now + timeoutNs};
    result_ = FrameOnset{};
    armed_ = true;
    done_ = false;
    wake_.notify_all();
  }

  FrameOnset Await() override {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!armed_) return FrameOnset{};
    done_cv_.wait(lock, [this] { return done_; });
    armed_ = false;
    return result_;
  }

  OnsetSource BestSource() const override { return best_.load(); }

 private:
  struct Job {
    OnsetSpot spot;
    int64_t armedNs = 0;
    int64_t deadlineNs = 0;
  };

  void SelectPresentEvents() {
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c_, &xcb_present_id);
    if (!ext || !ext->present) return;
    auto version =
        Own(xcb_present_query_version_reply(c_, xcb_present_query_version(c_, 1, 2), nullptr));
    if (!version) return;
    eid_ = xcb_generate_id(c_);
    presentEvents_ = xcb_register_for_special_xge(c_, &xcb_present_id, eid_, nullptr);
    xcb_generic_error_t* error =
        xcb_request_check(c_, xcb_present_select_input_checked(
                                  c_, eid_, window_, XCB_PRESENT_EVENT_MASK_COMPLETE_NOTIFY));
    if (error) {
      std::free(error);
      xcb_unregister_for_special_event(c_, presentEvents_);
      presentEvents_ = nullptr;
    }
  }

  // The latest CompleteNotify of a pixmap shown at or after `sinceNs`.
  bool TakeCompletion(int64_t sinceNs, int64_t* ustNs, bool* flipped) {
    bool found = false;
    if (!presentEvents_) return false;
    while (xcb_generic_event_t* event = xcb_poll_for_special_event(c_, presentEvents_)) {
      auto* generic = reinterpret_cast<xcb_present_generic_event_t*>(event);
      if (generic->evtype == XCB_PRESENT_EVENT_COMPLETE_NOTIFY) {
        auto* complete = reinterpret_cast<xcb_present_complete_notify_event_t*>(event);
        const int64_t ust = static_cast<int64_t>(complete->ust) * kNsPerUs;
        if (complete->kind == XCB_PRESENT_COMPLETE_KIND_PIXMAP) completionsSeen_ = true;
        if (complete->kind == XCB_PRESENT_COMPLETE_KIND_PIXMAP && ust >= sinceNs) {
          *ustNs = ust;
          *flipped = complete->mode == XCB_PRESENT_COMPLETE_MODE_FLIP;
          found = true;
        }
      }
      std::free(event);
    }
    return found;
  }

  // The pixel of the root window at (x, y) as 0xRRGGBB; false when refused.
  bool ReadRoot(int x, int y, uint32_t* rgb) {
    xcb_generic_error_t* error = nullptr;
    auto image = Own(xcb_get_image_reply(
        c_,
        xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, static_cast<int16_t>(x),
                      static_cast<int16_t>(y), 1, 1, 0xFFFFFFFFu),
        &error));
    std::free(error);
    if (!image || xcb_get_image_data_length(image.get()) < 4) return false;
    const uint8_t* p = xcb_get_image_data(image.get());
    *rgb = lsbFirst_ ? (uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0])
                     : (uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]);
    return true;
  }

  bool RootPosition(int x, int y, int* rx, int* ry) {
    auto moved = Own(xcb_translate_coordinates_reply(
        c_,
        xcb_translate_coordinates(c_, window_, root_, static_cast<int16_t>(x),
                                  static_cast<int16_t>(y)),
        nullptr));
    if (!moved) return false;
    *rx = moved->dst_x;
    *ry = moved->dst_y;
    return true;
  }

  FrameOnset Watch(const Job& job) {
    FrameOnset onset;
    int rx = 0, ry = 0;
    const bool readback = job.spot.valid && readable_ && root_ != XCB_WINDOW_NONE &&
                          RootPosition(job.spot.x, job.spot.y, &rx, &ry);
    // The frame cannot have been on the screen before the probe was armed.
    int64_t notBefore = job.armedNs;
    int64_t completionNs = 0;
    bool flipped = false;
    bool completed = false;
    for (;;) {
      if (TakeCompletion(job.armedNs, &completionNs, &flipped)) completed = true;
      // A flip, or a copy that no compositor redraws later, is on the screen
      // at the server's own time.
      if (completed && (flipped || !composited_)) {
        onset.onsetNs = completionNs;
        onset.source = OnsetSource::kPresentEvent;
        return onset;
      }
      const int64_t sent = tick_clock::NowNs();
      if (readback) {
        uint32_t rgb = 0;
        if (!ReadRoot(rx, ry, &rgb)) break;
        const int64_t answered = tick_clock::NowNs();
        if (SameColour(rgb, job.spot.newRgb)) {
          // The server sends a completion before it answers a later read:
          // when there is one, it is the better time.
          if (TakeCompletion(job.armedNs, &completionNs, &flipped)) completed = true;
          if (completed && (flipped || !composited_)) {
            onset.onsetNs = completionNs;
            onset.source = OnsetSource::kPresentEvent;
            return onset;
          }
          onset.onsetNs = notBefore + (answered - notBefore) / 2;
          onset.uncertaintyNs = (answered - notBefore) / 2;
          onset.source = OnsetSource::kReadback;
          return onset;
        }
        notBefore = sent;
      } else if (!presentEvents_ || !completionsSeen_) {
        // Nothing to read back, and no sign yet that frames reach this
        // window through the Present extension: nothing will confirm it.
        break;
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
      if (tick_clock::NowNs() > job.deadlineNs) break;
    }
    if (completed) {
      // Composited and never read back: the server's time is still the best known.
      onset.onsetNs = completionNs;
      onset.source = OnsetSource::kPresentEvent;
    }
    return onset;
  }

  void Run() {
    // The polls' times are the onsets' bounds: wake on time under load. On a
    // busy machine ordinary scheduling answers a wake-up several milliseconds
    // late, and the frame may be on the screen long before the first read.
    UrgentThread urgent;  // what is left when real-time priority is refused
    tick_clock::SetUpTimingThread();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return quit_ || (armed_ && !done_); });
      if (quit_) return;
      const Job job = job_;
      lock.unlock();
      const FrameOnset onset = Watch(job);
      lock.lock();
      if (onset.Confirmed() && onset.source < best_.load()) best_.store(onset.source);
      if (onset.Confirmed() && best_.load() == OnsetSource::kNone) best_.store(onset.source);
      result_ = onset;
      done_ = true;
      done_cv_.notify_all();
    }
  }

  xcb_connection_t* c_;
  xcb_window_t window_;
  xcb_window_t root_ = XCB_WINDOW_NONE;
  int screenNumber_ = 0;
  bool readable_ = false;
  bool lsbFirst_ = true;
  bool composited_ = false;
  uint32_t eid_ = 0;
  xcb_special_event_t* presentEvents_ = nullptr;
  bool completionsSeen_ = false;  // frames reach the window through Present

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_cv_;
  Job job_;
  FrameOnset result_;
  bool armed_ = false;
  bool done_ = true;
  bool quit_ = false;
  std::atomic<OnsetSource> best_{OnsetSource::kNone};
};

}  // namespace

std::unique_ptr<OnsetProbe> MakeX11OnsetProbe(QWindow* window) {
  if (!window || !QtConnection()) return nullptr;
  // The server the toolkit talks to is the one DISPLAY names (the program
  // takes no -display option).
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return nullptr;
  }
  return std::make_unique<X11OnsetProbe>(c, static_cast<xcb_window_t>(window->winId()));
}

void AskX11ToBypassCompositor(QWindow* window) {
  xcb_connection_t* c = QtConnection();
  if (!c) return;
  static const char kName[] = "_NET_WM_BYPASS_COMPOSITOR";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof kName - 1, kName), nullptr);
  if (!atom) return;
  const uint32_t bypass = 1;  // 1: please leave it uncomposited
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window->winId()),
                      atom->atom, XCB_ATOM_CARDINAL, 32, 1, &bypass);
  xcb_flush(c);
  free(atom);
}

}  // namespace display
