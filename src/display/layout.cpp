#include "display/layout.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "display/dib_image.h"

PatchEntry PatchLayout[kMaxPatches];
SurfaceId coverImage = 0;

namespace {

uint32_t randState = 1;
uint32_t randStart = 1;
uint64_t randDraws = 0;

constexpr int kGridSize = 5;
constexpr unsigned kNumberFormat = ui::kDtCenter | ui::kDtVCenter | ui::kDtSingleLine;
const ui::FontSpec kNumberFont{90, 400, "ＭＳ Ｐゴシック"};

bool IsTaken(const std::vector<int32_t>& cells, int32_t cell) {
  return std::find(cells.begin(), cells.end(), cell) != cells.end();
}

// A black patch surface with a disc of `colour` and, for number > 0, the
// number in black on it. Returns the id, or -1 when no surface could be made.
SurfaceId MakeDiscImage(uint32_t colour, int number) {
  const SurfaceId id = CreatePatchSurface();
  if (id < 0) return -1;
  ColourFill(id, 0);
  if (Lock(id)) {
    FillDisc(id, colour);
    Unlock(id);
  }
  if (number <= 0) return id;
  DcHolder holder;
  if (!GetSurfaceDC(id, &holder)) return id;  // the image goes without its number
  ui::DeviceContext& dc = *holder.dc;
  dc.SetTextColor(0);
  dc.SetBkMode(ui::kBkTransparent);
  const ui::FontSpec font = kNumberFont;  // a font of its own for every image
  dc.SelectFont(&font);
  dc.DrawText(std::to_string(number), ui::Rect{0, 0, kPatchSize, kPatchSize}, kNumberFormat);
  dc.SelectFont(nullptr);
  ReleaseSurfaceDC(id, &holder);
  return id;
}

SurfaceId MakeCoverImage() {
  if (!patchBitmapLoaded || !patchBitmap.header || !patchBitmap.bits) {
    return MakeDiscImage(kWhite, 0);
  }
  const SurfaceId id = CreatePatchSurface();
  if (id < 0) return -1;
  ColourFill(id, 0);
  DcHolder holder;
  if (!GetSurfaceDC(id, &holder)) return id;
  // At the bitmap's own size: the surface cuts off what lies beyond it.
  const ui::Rect whole{0, 0, patchBitmap.width, std::abs(patchBitmap.height)};
  const int drawn = holder.dc->StretchDIBits(whole, whole, patchBitmap.Bits());
  ReleaseSurfaceDC(id, &holder);
  // A bitmap that cannot be drawn must not leave a black cover, which would
  // hide the patches' places during recall: the disc stands in, as for a
  // missing file.
  if (drawn == 0 && Lock(id)) {
    FillDisc(id, kWhite);
    Unlock(id);
  }
  return id;
}

}  // namespace

void SRand(uint32_t start) {
  randState = start;
  randStart = start;
  randDraws = 0;
}

int Rand() {
  randState = randState * 214013u + 2531011u;
  ++randDraws;
  return static_cast<int>((randState >> 16) & 0x7FFF);
}

RandPosition RandNow() {
  return RandPosition{randStart, randDraws, randState};
}

std::vector<int32_t> PickCells(int n) {
  std::vector<int32_t> cells;
  for (int i = 0; i < std::clamp(n, 0, kMaxPatches); ++i) {
    int32_t cell = 0;
    do {
      // All four values of a colliding candidate are thrown away.
      const int r1 = Rand();
      const int r2 = Rand();
      const int r3 = Rand();
      const int r4 = Rand();
      cell = GridCell(r1, r2) * kGridSize + GridCell(r3, r4);
    } while (IsTaken(cells, cell));
    cells.push_back(cell);
  }
  return cells;
}

int GridCell(int high, int low) {
  // high * 32767 + low < 2^30, so the product with 5 fits in 64 bits exactly.
  const int64_t v = int64_t{high} * 32767 + low;
  return static_cast<int>(v * kGridSize >> 30);
}

int LayOutTrial(int trial) {
  if (trial < 0 || trial >= kMaxTrials) return 0;
  return LayOutPatches(testState.trials[trial].NItems);
}

int LayOutPatches(int patches) {
  // The staircase keeps NItems within the table; the clamp only guards it.
  const int n = std::clamp(patches, 0, kMaxPatches);
  const std::vector<int32_t> cells = PickCells(n);
  for (int i = 0; i < n; ++i) {
    PatchEntry& entry = PatchLayout[i];
    entry.x = cells[static_cast<size_t>(i)] % kGridSize;
    entry.y = cells[static_cast<size_t>(i)] / kGridSize;
    entry.numberedImage = MakeDiscImage(kWhite, i + 1);
    if (entry.numberedImage < 0) return 0;
    entry.errorImage = MakeDiscImage(kRed, i + 1);
    if (entry.errorImage < 0) return 0;
    entry.finalImage = MakeDiscImage(kGreen, i + 1);
    if (entry.finalImage < 0) return 0;
  }
  coverImage = MakeCoverImage();
  if (coverImage < 0) return 0;
  for (int i = 0; i < n; ++i) {
    PatchLayout[i].x = PatchLayout[i].x * kGridPitch + kGridLeft;
    PatchLayout[i].y = PatchLayout[i].y * kGridPitch + kGridTop;
  }
  return 1;
}

void ForEachDiscSpan(const DiscSpanSink& span) {
  constexpr int kCentre = 60;
  int cx = 59;
  int cy = 0;
  int e = 59;
  do {
    span(kCentre - cx, kCentre + cy, 2 * cx + 1);
    span(kCentre - cx, kCentre - cy, 2 * cx + 1);
    span(kCentre - cy, kCentre + cx, 2 * cy + 1);
    span(kCentre - cy, kCentre - cx, 2 * cy + 1);
    e -= 2 * cy + 1;
    ++cy;
    if (e < 0) {
      e += 2 * cx;
      --cx;
    }
  } while (cx >= cy);
}

void FillDisc(SurfaceId id, uint32_t colour) {
  ForEachDiscSpan([id, colour](int x, int y, int count) { FillSpan(id, x, y, count, colour); });
}

void FillSpan(SurfaceId id, int x, int y, int count, uint32_t colour) {
  SurfaceRecord* s = FindSurface(id);
  if (!s || !s->locked || !s->pixels) return;
  if (y < 0 || y >= s->height) return;
  int64_t first = x;
  int64_t n = count;
  if (first < 0) {
    n += first;
    first = 0;
  }
  if (first + n >= s->width) n = s->width - first;
  if (n <= 0) return;
  const uint8_t pixel[4] = {static_cast<uint8_t>(colour >> 16), static_cast<uint8_t>(colour >> 8),
                            static_cast<uint8_t>(colour), 0};
  uint8_t* p = s->pixels + static_cast<int64_t>(y) * s->pitch + 4 * first;
  for (int64_t i = 0; i < n; ++i) std::memcpy(p + 4 * i, pixel, 4);
}
