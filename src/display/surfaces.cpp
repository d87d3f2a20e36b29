#include "display/surfaces.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "display/presenter_factory.h"
#include "timing/timer_clock.h"

DisplayState displayState;

namespace {

// Patch rows are padded as video memory pads them, so nothing may take the
// pitch for 4 x width.
constexpr int kPatchPitch = 512;

bool MakeBuffer(SurfaceRecord* record, int width, int height, int pitch) {
  try {
    record->buffer.assign(static_cast<size_t>(pitch) * height, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  record->pitch = pitch;
  record->width = width;
  record->height = height;
  record->locked = 0;
  record->pixels = nullptr;
  record->dcHeld = 0;
  return true;
}

// Surfaces that hold pixels: the canvas and the patch surfaces.
SurfaceRecord* FindPixelSurface(SurfaceId id) {
  SurfaceRecord* record = FindSurface(id);
  return record && !record->buffer.empty() ? record : nullptr;
}

void FillRow(uint8_t* row, int count, uint32_t colour) {
  const uint8_t pixel[4] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                            static_cast<uint8_t>(colour), 0};
  for (int i = 0; i < count; ++i) std::memcpy(row + 4 * i, pixel, 4);
}

int TruncateToInt(double v) {
  if (!(v > std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
  if (!(v < std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
  return static_cast<int>(v);
}

// Rounds half away from zero.
int Round(double v) {
  return TruncateToInt(v >= 0 ? v + 0.5 : v - 0.5);
}

}  // namespace

ui::Rect ComputePresentRect(int screenW, int screenH) {
  if (screenW == kCanvasWidth && screenH == kCanvasHeight) return {0, 0, screenW, screenH};
  const double ws = screenW;
  const double hs = screenH;
  if (ws / hs > double{kCanvasWidth} / kCanvasHeight) {
    const int w = Round(kCanvasWidth * (hs / kCanvasHeight));
    const int left = (screenW - w) / 2;
    return {left, 0, left + w, screenH};
  }
  const int h = Round(kCanvasHeight * (ws / kCanvasWidth));
  const int top = (screenH - h) / 2;
  return {0, top, screenW, top + h};
}

int InitDisplay(ui::WindowHandle window) {
  ShutDownDisplay();
  DisplayState& d = displayState;
  d.screenWidth = ui::Ui().ScreenWidth();
  d.screenHeight = ui::Ui().ScreenHeight();
  d.canvasWidth = kCanvasWidth;
  d.canvasHeight = kCanvasHeight;
  d.presenter = display::MakePresenter(window);
  if (!d.presenter) return 0;
  d.screen = SurfaceRecord{};
  d.screen.width = d.screenWidth;
  d.screen.height = d.screenHeight;
  if (!MakeBuffer(&d.canvas, kCanvasWidth, kCanvasHeight, 4 * kCanvasWidth)) return 0;
  d.window = window;
  d.PresentRect = ComputePresentRect(d.screenWidth, d.screenHeight);
  d.CanvasRect = {0, 0, kCanvasWidth, kCanvasHeight};
  return 1;
}

SurfaceId CreatePatchSurface() {
  std::vector<SurfaceRecord>& table = displayState.SurfaceTable;
  // The limit stops surfaces that are never released from eating the memory.
  if (table.size() >= static_cast<size_t>(kMaxPatchSurfaces)) return -1;
  SurfaceRecord record;
  if (!MakeBuffer(&record, kPatchSize, kPatchSize, kPatchPitch)) return -1;
  try {
    // Moving a record keeps its buffer where it is, so locks and device
    // contexts of earlier surfaces stay valid.
    table.push_back(std::move(record));
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return static_cast<SurfaceId>(table.size() - 1);
}

void ReleasePatchSurfaces() {
  std::vector<SurfaceRecord>().swap(displayState.SurfaceTable);
}

SurfaceRecord* FindSurface(SurfaceId id) {
  DisplayState& d = displayState;
  if (id == SCREEN_SURFACE) return &d.screen;
  if (id == CANVAS_SURFACE) return &d.canvas;
  if (id >= 0 && static_cast<size_t>(id) < d.SurfaceTable.size()) return &d.SurfaceTable[id];
  return nullptr;
}

int ColourFill(SurfaceId id, uint32_t colour) {
  if (id == SCREEN_SURFACE) {
    return displayState.presenter && displayState.presenter->FillScreen(colour) ? 1 : 0;
  }
  SurfaceRecord* s = FindPixelSurface(id);
  if (!s) return 0;
  for (int y = 0; y < s->height; ++y) FillRow(s->buffer.data() + y * s->pitch, s->width, colour);
  return 1;
}

int Lock(SurfaceId id) {
  SurfaceRecord* s = FindPixelSurface(id);
  if (!s || s->locked || s->dcHeld) return 0;
  s->locked = 1;
  s->pixels = s->buffer.data();
  return 1;
}

int Unlock(SurfaceId id) {
  SurfaceRecord* s = FindPixelSurface(id);
  if (!s) return 0;
  const int wasLocked = s->locked;
  s->locked = 0;
  s->pixels = nullptr;
  return wasLocked ? 1 : 0;
}

int GetSurfaceDC(SurfaceId id, DcHolder* holder) {
  SurfaceRecord* s = FindPixelSurface(id);
  if (!s || !holder || holder->dc || s->locked || s->dcHeld) return 0;
  std::unique_ptr<ui::DeviceContext> dc =
      ui::Ui().CreateSurfaceDC(s->buffer.data(), s->width, s->height, s->pitch);
  if (!dc) return 0;
  holder->dc = std::move(dc);
  holder->surface = id;
  s->dcHeld = 1;
  return 1;
}

int ReleaseSurfaceDC(SurfaceId id, DcHolder* holder) {
  SurfaceRecord* s = FindPixelSurface(id);
  if (!s || !holder || !holder->dc || holder->surface != id || !s->dcHeld) return 0;
  holder->dc.reset();
  s->dcHeld = 0;
  return 1;
}

int CopyToCanvas(int x, int y, SurfaceId source) {
  if (source < 0) return 0;
  SurfaceRecord* src = FindPixelSurface(source);
  SurfaceRecord* dst = FindPixelSurface(CANVAS_SURFACE);
  if (!src || !dst) return 0;
  // Clip in 64 bits so that far-off positions cannot overflow.
  const int64_t left = std::max<int64_t>(x, 0);
  const int64_t top = std::max<int64_t>(y, 0);
  const int64_t right = std::min<int64_t>(int64_t{x} + src->width, dst->width);
  const int64_t bottom = std::min<int64_t>(int64_t{y} + src->height, dst->height);
  for (int64_t row = top; row < bottom; ++row) {
    if (left >= right) break;
    const uint8_t* from = src->buffer.data() + (row - y) * src->pitch + (left - x) * 4;
    uint8_t* to = dst->buffer.data() + row * dst->pitch + left * 4;
    std::memcpy(to, from, static_cast<size_t>(right - left) * 4);
  }
  return 1;
}

void WaitVerticalBlank() {
  if (displayState.presenter) displayState.presenter->WaitVerticalBlank();
}

namespace {

// The picture and the hit areas share one rectangle: the one that fits the
// window the frames really go to, which a window manager or a compositor may
// have given another size than the screen's.
void FitPresentRect() {
  DisplayState& d = displayState;
  int width = 0;
  int height = 0;
  if (d.presenter && d.presenter->TargetSize(&width, &height)) {
    d.PresentRect = ComputePresentRect(width, height);
  } else if (d.screenWidth > 0 && d.screenHeight > 0) {
    d.PresentRect = ComputePresentRect(d.screenWidth, d.screenHeight);
  }
}

}  // namespace

// The presenter shows the frame on the next refresh itself, so no separate
// wait for the vertical blank comes first (it would cost a whole frame).
int Present() {
  DisplayState& d = displayState;
  if (!d.presenter || d.canvas.buffer.empty()) return 0;
  FitPresentRect();
  const int64_t requested = MsTimerNowNs();
  const bool shown = d.presenter->Present(d.canvas.buffer.data(), d.canvas.width, d.canvas.height,
                                          d.canvas.pitch, d.PresentRect);
  FrameOnset onset = d.presenter->LastOnset();
  if (onset.requestNs == 0) {
    // A presenter that keeps no times of its own: the call is all there is.
    onset.requestNs = requested;
    onset.returnNs = MsTimerNowNs();
    if (!onset.Confirmed()) onset.onsetNs = onset.returnNs;
  }
  d.lastOnset = onset;
  return shown ? 1 : 0;
}

int Present(const ui::Rect& focus) {
  if (displayState.presenter) displayState.presenter->SetOnsetSpot(focus);
  return Present();
}

FrameOnset LastPresentOnset() {
  return displayState.lastOnset;
}

PresentationInfo DisplayPresentationInfo() {
  return displayState.presenter ? displayState.presenter->Info() : PresentationInfo{};
}

void MapScreenToCanvas(int sx, int sy, int* cx, int* cy) {
  const ui::Rect& r = displayState.PresentRect;
  const ui::Rect& c = displayState.CanvasRect;
  if (r.Width() <= 0 || r.Height() <= 0) {
    // Not initialised: nothing on the canvas can be hit.
    if (cx) *cx = -1;
    if (cy) *cy = -1;
    return;
  }
  const double x = static_cast<double>(sx) - r.left;
  const double y = static_cast<double>(sy) - r.top;
  if (cx) *cx = TruncateToInt(static_cast<double>(c.Width()) * x / r.Width());
  if (cy) *cy = TruncateToInt(static_cast<double>(c.Height()) * y / r.Height());
}

void BindClipperToWindow(ui::WindowHandle window) {
  if (!displayState.presenter) return;
  displayState.presenter->BindWindow(window);
  FitPresentRect();
}

void ShutDownDisplay() {
  DisplayState& d = displayState;
  ReleasePatchSurfaces();
  d.screen = SurfaceRecord{};
  d.canvas = SurfaceRecord{};
  d.presenter.reset();
  d.window = nullptr;
}
