// The drawing surfaces: a fixed 1024 x 768 canvas that every stimulus is
// composed on, per-trial 120 x 120 patch surfaces, and the screen, which
// shows the canvas stretched into PresentRect through the presenter.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "display/presenter.h"
#include "ui/services.h"

/// Names a surface: the screen, the canvas, or an index of the SurfaceTable.
using SurfaceId = int32_t;
constexpr SurfaceId SCREEN_SURFACE = -1;
constexpr SurfaceId CANVAS_SURFACE = -2;

constexpr int kCanvasWidth = 1024;
constexpr int kCanvasHeight = 768;
/// Width and height of every patch surface.
constexpr int kPatchSize = 120;
/// Patch surfaces the table holds at most; a trial needs at most 61.
constexpr int kMaxPatchSurfaces = 256;

/// One surface: 32-bit pixels (blue, green, red, 0), `pitch` bytes per row.
/// The screen has no pixels of its own; the presenter shows it.
struct SurfaceRecord {
  std::vector<uint8_t> buffer;
  int32_t pitch = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t locked = 0;         ///< 1 while locked through Lock
  uint8_t* pixels = nullptr;  ///< the pixels while locked, else null
  int32_t dcHeld = 0;         ///< 1 while a device context draws on it
};

/// A device context obtained with GetSurfaceDC, until ReleaseSurfaceDC.
struct DcHolder {
  std::unique_ptr<ui::DeviceContext> dc;
  SurfaceId surface = 0;
};

/// The display of the whole run.
struct DisplayState {
  ui::WindowHandle window = nullptr;  ///< the window given to InitDisplay
  std::unique_ptr<display::Presenter> presenter;
  SurfaceRecord screen;
  SurfaceRecord canvas;
  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  int32_t canvasWidth = 0;
  int32_t canvasHeight = 0;
  ui::Rect PresentRect;  ///< where the canvas shows on the screen
  ui::Rect CanvasRect;   ///< the whole canvas
  std::vector<SurfaceRecord> SurfaceTable;
  FrameOnset lastOnset;  ///< of the last Present
};

/// The one display state; empty until InitDisplay.
extern DisplayState displayState;

/// Sets up the canvas and the presenter for `window`; 1 on success, 0 when no
/// presenter can be made.
int InitDisplay(ui::WindowHandle window);
/// Adds a black 120 x 120 patch surface; returns its id (0, 1, 2, ... in
/// creation order) or -1 on failure (out of memory, or kMaxPatchSurfaces held).
SurfaceId CreatePatchSurface();
/// Frees every patch surface; the next one created is 0 again.
void ReleasePatchSurfaces();
/// The record of a surface, or null for an id that names none.
SurfaceRecord* FindSurface(SurfaceId id);
/// Fills a surface with `colour` (0x00BBGGRR); the screen is filled by the
/// presenter at once. 1 on success.
int ColourFill(SurfaceId id, uint32_t colour);
/// Locks a surface for direct pixel writing; fails (0) when already locked,
/// keeping the first lock, or while a device context is out.
int Lock(SurfaceId id);
/// Ends a lock; 1 if the surface was locked.
int Unlock(SurfaceId id);
/// Attaches a device context drawing on the surface to `holder`; fails (0)
/// while the surface is locked or already has a device context out.
int GetSurfaceDC(SurfaceId id, DcHolder* holder);
/// Gives back the device context that `holder` got from surface `id`.
int ReleaseSurfaceDC(SurfaceId id, DcHolder* holder);
/// Copies the whole patch surface `source` onto the canvas with its top-left
/// corner at (x, y), at its own size, clipped to the canvas. 1 on success.
int CopyToCanvas(int x, int y, SurfaceId source);
/// Blocks until the end of the next vertical blank.
void WaitVerticalBlank();
/// Shows the canvas stretched into PresentRect on the next refresh; 1 on
/// success. Returns once the frame's onset is known (LastPresentOnset).
int Present();
/// The same, for a frame about `focus` of the canvas (the patch it changes),
/// where its onset is best confirmed.
int Present(const ui::Rect& focus);
/// When the frame of the last Present became visible (source kNone when
/// nothing confirmed it: then its time is the hand-over's), on the clock of
/// MsTimerNowNs.
FrameOnset LastPresentOnset();
/// How the display presents frames.
PresentationInfo DisplayPresentationInfo();
/// Converts a screen point to canvas coordinates through PresentRect
/// (points outside it map outside the canvas).
void MapScreenToCanvas(int sx, int sy, int* cx, int* cy);
/// Makes `window` the one that presented frames appear in.
void BindClipperToWindow(ui::WindowHandle window);
/// Releases every surface and the presenter; harmless when repeated.
void ShutDownDisplay();

/// The centred, aspect-preserving rectangle of a screen of this size that
/// shows the 1024 x 768 canvas.
ui::Rect ComputePresentRect(int screenW, int screenH);
