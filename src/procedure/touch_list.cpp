#include "procedure/touch_list.h"

#include <cstdint>

#include "procedure/ms_timer.h"
#include "ui/services.h"

CTouchWnd touchWnd;

namespace {
constexpr int64_t kNsPerMs = 1000000;
// A stamp older than this at its receipt is taken for one on another clock
// (a remote display, a platform that counts from elsewhere) rather than for a
// handling delay.
constexpr int64_t kMaxStampAgeMs = 5000;
// Press queue bound: far more than a person can tap during any stall.
constexpr size_t kMaxPendingPresses = 64;
}  // namespace

InputTime SampledNow() {
  return InputTime{MsTimerNowNs(), TouchTimeSource::kSample};
}

bool StampToClock(uint64_t stampMs, int64_t receivedNs, int64_t* ns) {
  if (stampMs == 0 || receivedNs <= 0) return false;
  const int64_t receivedMs = receivedNs / kNsPerMs;
  // Stamps of 32 bits wrap every 49.7 days: their age is taken modulo 2^32.
  const int64_t age = stampMs > UINT32_MAX
                          ? receivedMs - static_cast<int64_t>(stampMs)
                          : int64_t{static_cast<uint32_t>(static_cast<uint32_t>(receivedMs) -
                                                          static_cast<uint32_t>(stampMs))};
  if (age < 0 || age > kMaxStampAgeMs) return false;
  *ns = (receivedMs - age) * kNsPerMs + kNsPerMs / 2;
  return true;
}

void InitTouchReady() {
  touchWnd.touchReady = ui::Ui().DigitizerReady() ? 1 : 0;
}

CTouchWnd::~CTouchWnd() {
  inputs.clear();
  points.clear();
  touchRegistered = 0;
  touching = 0;
  pointCount = 0;
  inputCount = 0;
}

int CTouchWnd::OnTouch(const TouchInput* in, int count, InputTime time) {
  const int32_t before = pointCount;
  touching = 1;
  if (in == nullptr || count <= 0) {
    // Nothing read: the list stays as it was, and the mouse stays ignored
    // until a later touch event ends with no contact.
    inputs.clear();
    inputCount = 0;
    return -1;
  }
  inputs.assign(in, in + count);
  inputCount = count;

  points.clear();
  for (const TouchInput& input : inputs) {
    if (input.flags & kTouchEventfUp) continue;  // a lifted contact no longer counts
    points.push_back(TouchPoint{input.x / 100, input.y / 100});
  }
  pointCount = static_cast<int32_t>(points.size());
  if (pointCount == 0) touching = 0;
  NotePress(before, time);
  return 0;
}

void CTouchWnd::OnTouchCancel() {
  ClearPoints();
  touching = 0;
}

void CTouchWnd::OnLButtonDown(int32_t x, int32_t y, InputTime time) {
  if (touching) return;
  SetSinglePoint(x, y, time);
}

void CTouchWnd::OnMouseMove(bool leftDown, int32_t x, int32_t y, InputTime time) {
  if (touching || !leftDown) return;
  SetSinglePoint(x, y, time);
}

void CTouchWnd::OnLButtonUp() {
  if (touching) return;
  ClearPoints();
}

void CTouchWnd::OnActivate(bool active) {
  if (!active) {
    ClearPoints();
    touching = 0;
  }
  if (!touchReady) return;
  if (active && !touchRegistered) {
    touchRegistered = 1;
  } else if (!active && touchRegistered) {
    touchRegistered = 0;
  }
}

void CTouchWnd::OnDestroy() {
  // A release after this goes to another window; a contact kept here would
  // hold up the next test until it was pressed and lifted again.
  ClearPoints();
  presses.clear();
  touching = 0;
  touchRegistered = 0;
}

void CTouchWnd::OnClose() {
  closeRequested = 1;
  ClearPoints();
  presses.clear();
  touching = 0;
}

void CTouchWnd::OnAltF4() {
  // A window manager's close may follow the key: the key said it first.
  if (!closeRequested) closedByAltF4 = 1;
  OnClose();
}

bool CTouchWnd::TakePress(PendingPress* press) {
  if (presses.empty()) return false;
  *press = presses.front();
  presses.pop_front();
  return true;
}

void CTouchWnd::DiscardPresses(int64_t beforeNs) {
  presses.clear();
  discardedBeforeNs = beforeNs;
}

void CTouchWnd::SetSinglePoint(int32_t x, int32_t y, InputTime time) {
  const int32_t before = pointCount;
  points.assign(1, TouchPoint{x, y});
  pointCount = 1;
  NotePress(before, time);
}

void CTouchWnd::NotePress(int32_t countBefore, InputTime time) {
  if (countBefore > 0 || pointCount <= 0) return;
  // Events still in transit when input was discarded arrive later; their
  // stamps still tell that they were discarded.
  if (time.ns < discardedBeforeNs) return;
  if (presses.size() >= kMaxPendingPresses) presses.pop_front();
  presses.push_back(PendingPress{points[0], time});
}

void CTouchWnd::ClearPoints() {
  points.clear();
  pointCount = 0;
}
