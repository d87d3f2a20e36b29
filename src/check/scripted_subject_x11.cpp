// Presses made through the X server's XTest extension: the server stamps and
// delivers them as it would a real mouse's, to whatever window is there.
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <QWindow>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "check/scripted_subject.h"
#include "timing/tick_clock.h"

namespace check {
namespace {

constexpr uint8_t kLeftButton = 1;

class X11Subject : public ScriptedSubject {
 public:
  X11Subject(xcb_connection_t* c, xcb_window_t window) : c_(c), window_(window) {
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    escape_ = EscapeKeycode();
  }
  ~X11Subject() override { xcb_disconnect(c_); }

  std::string Injection() const override { return "XTest"; }

  bool Tap(int x, int y, int holdMs, PressTruth* truth) override {
    std::lock_guard<std::mutex> lock(mutex_);
    auto moved = xcb_translate_coordinates_reply(
        c_,
        xcb_translate_coordinates(c_, window_, root_, static_cast<int16_t>(x),
                                  static_cast<int16_t>(y)),
        nullptr);
    if (!moved) return false;
    const int16_t rx = moved->dst_x;
    const int16_t ry = moved->dst_y;
    std::free(moved);
    xcb_test_fake_input(c_, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root_, rx, ry, 0);
    Sync();
    truth->notBeforeNs = tick_clock::NowNs();
    xcb_test_fake_input(c_, XCB_BUTTON_PRESS, kLeftButton, XCB_CURRENT_TIME, root_, 0, 0, 0);
    Sync();  // the server handles requests in order: the press is taken by now
    truth->notAfterNs = tick_clock::NowNs();
    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    xcb_test_fake_input(c_, XCB_BUTTON_RELEASE, kLeftButton, XCB_CURRENT_TIME, root_, 0, 0, 0);
    Sync();
    return true;
  }

  void PressEscape() override {
    std::lock_guard<std::mutex> lock(mutex_);
    if (escape_ == 0) return;
    xcb_test_fake_input(c_, XCB_KEY_PRESS, escape_, XCB_CURRENT_TIME, root_, 0, 0, 0);
    xcb_test_fake_input(c_, XCB_KEY_RELEASE, escape_, XCB_CURRENT_TIME, root_, 0, 0, 0);
    Sync();
  }

 private:
  void Sync() { std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)); }

  // The key that carries the Escape keysym (0xFF1B) on this server's keyboard.
  xcb_keycode_t EscapeKeycode() {
    const xcb_setup_t* setup = xcb_get_setup(c_);
    const uint8_t first = setup->min_keycode;
    const uint8_t count = static_cast<uint8_t>(setup->max_keycode - setup->min_keycode + 1);
    auto map =
        xcb_get_keyboard_mapping_reply(c_, xcb_get_keyboard_mapping(c_, first, count), nullptr);
    if (!map) return 0;
    const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(map);
    const int per = map->keysyms_per_keycode;
    xcb_keycode_t found = 0;
    for (int k = 0; k < count && !found; ++k) {
      for (int j = 0; j < per; ++j) {
        if (syms[k * per + j] == 0xFF1B) found = static_cast<xcb_keycode_t>(first + k);
      }
    }
    std::free(map);
    return found;
  }

  xcb_connection_t* c_;
  xcb_window_t window_;
  xcb_window_t root_ = 0;
  xcb_keycode_t escape_ = 0;
  std::mutex mutex_;
};

}  // namespace

std::unique_ptr<ScriptedSubject> MakeX11Subject(QWindow* window) {
  if (!window) return nullptr;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return nullptr;
  }
  const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(c, &xcb_test_id);
  if (!xtest || !xtest->present) {
    xcb_disconnect(c);
    return nullptr;
  }
  return std::make_unique<X11Subject>(c, static_cast<xcb_window_t>(window->winId()));
}

}  // namespace check
