// The stimulus of one trial: a distinct random cell of the 5 x 5 grid for
// every patch, the three numbered disc images of each patch and the shared
// cover image, all drawn onto patch surfaces.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "display/surfaces.h"
#include "procedure/staircase.h"

/// One patch of the current trial: canvas position of its top-left corner
/// and its three images. Row i carries the number i + 1.
struct PatchEntry {
  int32_t x;
  int32_t y;
  SurfaceId numberedImage;  ///< white disc: memorisation and correct touches
  SurfaceId errorImage;     ///< red disc: touched out of order
  SurfaceId finalImage;     ///< green disc: end of the trial
};

/// The patches of the current trial; rows beyond its NItems are stale.
extern PatchEntry PatchLayout[kMaxPatches];
/// The image that hides a patch's number, shared by all patches of a trial.
extern SurfaceId coverImage;

/// Disc colours (0x00BBGGRR).
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kRed = 0x0000FF;
constexpr uint32_t kGreen = 0x00FF00;

/// Canvas position of grid column or row 0, and the grid's pitch.
constexpr int kGridLeft = 137;
constexpr int kGridTop = 9;
constexpr int kGridPitch = 150;

/// Sets the state of the process-wide random generator.
void SRand(uint32_t start);
/// The generator's next value, 0 to 32767.
int Rand();

/// Where the generator stands: the value SRand last set, the draws made
/// since, and the state the next draw starts from.
struct RandPosition {
  uint32_t start = 1;
  uint64_t draws = 0;
  uint32_t state = 1;
};
/// The generator's position now. SRand(state) followed by LayOutTrial of the
/// same trials with the same NItems gives back the same cells.
RandPosition RandNow();

/// Grid cells (row * 5 + column) for `n` patches (at most 20), drawn from the
/// generator exactly as LayOutTrial draws them.
std::vector<int32_t> PickCells(int n);

/// The grid row or column (0 to 4) that two successive draws select.
int GridCell(int high, int low);

/// Lays out trial `trial` of testState (NItems patches, at most 20) on new
/// patch surfaces (ids 0, 1, 2, ...: numbered, error and final image of each
/// row in turn, cover last). Returns 1; returns 0 when a patch surface cannot
/// be made (or the trial index is out of range): the caller must then stop
/// the test with a message, since the layout is incomplete. The surfaces
/// made so far stay until ReleasePatchSurfaces.
int LayOutTrial(int trial);

/// The same for `patches` patches (at most 20), whatever the trial table says.
int LayOutPatches(int patches);

/// Receives one horizontal span of the disc: `count` pixels of row y from
/// column x (a span may reach past the 120 x 120 patch).
using DiscSpanSink = std::function<void(int x, int y, int count)>;
/// The disc of radius 59 around (60, 60) as horizontal spans, some of them
/// overlapping: the one raster the numbered discs and the cover picture share.
void ForEachDiscSpan(const DiscSpanSink& span);
/// Draws the disc of ForEachDiscSpan onto a locked 120 x 120 surface.
void FillDisc(SurfaceId id, uint32_t colour);
/// Writes `count` pixels of row y from column x into a locked surface,
/// clipped to it.
void FillSpan(SurfaceId id, int x, int y, int count, uint32_t colour);
