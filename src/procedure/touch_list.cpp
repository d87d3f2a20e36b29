#include "procedure/touch_list.h"

#include "ui/services.h"

CTouchWnd touchWnd;

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

int CTouchWnd::OnTouch(const TouchInput* in, int count) {
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
  return 0;
}

void CTouchWnd::OnTouchCancel() {
  ClearPoints();
  touching = 0;
}

void CTouchWnd::OnLButtonDown(int32_t x, int32_t y) {
  if (touching) return;
  SetSinglePoint(x, y);
}

void CTouchWnd::OnMouseMove(bool leftDown, int32_t x, int32_t y) {
  if (touching || !leftDown) return;
  SetSinglePoint(x, y);
}

void CTouchWnd::OnLButtonUp() {
  if (touching) return;
  ClearPoints();
}

void CTouchWnd::OnActivate(bool active) {
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
  touching = 0;
  touchRegistered = 0;
}

void CTouchWnd::SetSinglePoint(int32_t x, int32_t y) {
  points.assign(1, TouchPoint{x, y});
  pointCount = 1;
}

void CTouchWnd::ClearPoints() {
  points.clear();
  pointCount = 0;
}
