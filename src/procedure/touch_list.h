// The test window's list of where the screen is being pressed: every touch
// contact, or the mouse while its left button is down. The window feeds it
// its input events; the trial run polls pointCount and points[0].
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "timing/trial_timing.h"

/// A position in screen pixels.
struct TouchPoint {
  int32_t x;
  int32_t y;
};

/// Contact moved.
constexpr uint32_t kTouchEventfMove = 0x1;
/// Contact put down.
constexpr uint32_t kTouchEventfDown = 0x2;
/// Contact lifted.
constexpr uint32_t kTouchEventfUp = 0x4;

/// One contact of a touch event; x and y in hundredths of a screen pixel.
struct TouchInput {
  int32_t x;
  int32_t y;
  uint32_t flags;  ///< kTouchEventf* bits
  uint32_t id;     ///< contact identifier, stable while the contact lasts
};

/// When an input event happened on the timer's clock (MsTimerNowNs), and how
/// that is known.
struct InputTime {
  int64_t ns = 0;
  TouchTimeSource source = TouchTimeSource::kSample;
};

/// The time of an event handled now that carries no usable stamp.
InputTime SampledNow();

/// The moment of an input event's own stamp (milliseconds of the monotonic
/// clock, as X and Wayland stamp them, possibly cut to 32 bits) on the
/// timer's clock, given when the event was received. False when the stamp
/// cannot be on that clock: later than its receipt, or older than any
/// handling delay could make it. The stamp's millisecond is taken at its middle.
bool StampToClock(uint64_t stampMs, int64_t receivedNs, int64_t* ns);

/// A contact that came down while nothing else touched the screen: one
/// response for the trial to judge, even when it was lifted before the
/// trial looked.
struct PendingPress {
  TouchPoint point;  ///< where it came down, screen pixels
  InputTime time;
};

/// The input state of the test window. It outlives the window, which is
/// created for each test; it needs no window to be driven or read.
class CTouchWnd {
 public:
  CTouchWnd() = default;
  CTouchWnd(const CTouchWnd&) = delete;
  CTouchWnd& operator=(const CTouchWnd&) = delete;
  ~CTouchWnd();

  /// Touch event with `count` contacts (`inputs` null: could not be read).
  /// Lists the contacts that are not being lifted, x / 100 and y / 100;
  /// returns 0, or -1 with the list unchanged when nothing could be read.
  int OnTouch(const TouchInput* inputs, int count, InputTime time = SampledNow());
  /// The system gave up the touch sequence: no contact remains.
  void OnTouchCancel();
  /// Left button pressed at a client position.
  void OnLButtonDown(int32_t x, int32_t y, InputTime time = SampledNow());
  /// Mouse moved to a client position.
  void OnMouseMove(bool leftDown, int32_t x, int32_t y, InputTime time = SampledNow());
  /// Left button released.
  void OnLButtonUp();
  /// Window activated (true) or deactivated (false). A window that loses its
  /// activation no longer sees the releases, so its contacts are dropped.
  void OnActivate(bool active);
  /// The window is gone: contacts on it can no longer be followed.
  void OnDestroy();
  /// The window was asked to close (Alt+F4, a close box): the trial ends as
  /// Escape ends it, and no contact remains.
  void OnClose();
  /// Alt+F4 reached the window: closes it as OnClose does, and says so.
  void OnAltF4();

  /// Takes the oldest press not yet judged; false when there is none.
  bool TakePress(PendingPress* press);
  /// Forgets every press not yet judged, and every press still on its way
  /// that happened before `beforeNs` (input discarded before and after a trial).
  void DiscardPresses(int64_t beforeNs);

  int32_t touchReady = 0;            ///< 1 if a touch digitiser is ready for input
  int32_t touchRegistered = 0;       ///< 1 while registered for touch input
  int32_t touching = 0;              ///< 1 while touch contacts are followed; mouse ignored
  int32_t closeRequested = 0;        ///< 1 once the window was asked to close, until the next one
  int32_t closedByAltF4 = 0;         ///< 1 when that request was Alt+F4 on the window itself
  int32_t pointCount = 0;            ///< entries in points
  std::vector<TouchPoint> points;    ///< current positions, screen pixels
  int32_t inputCount = 0;            ///< entries in inputs
  std::vector<TouchInput> inputs;    ///< raw contacts of the last touch event
  std::deque<PendingPress> presses;  ///< presses not yet judged, oldest first
  int64_t discardedBeforeNs = 0;     ///< presses that happened before this are not taken

 private:
  void SetSinglePoint(int32_t x, int32_t y, InputTime time);
  void NotePress(int32_t countBefore, InputTime time);
  void ClearPoints();
};

/// The program's one test window state; touchReady 0 until InitTouchReady.
extern CTouchWnd touchWnd;

/// Reads touchReady of touchWnd from the installed user interface services.
void InitTouchReady();
