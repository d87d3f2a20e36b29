#include "ui/dib_decode.h"

#include <cstring>

namespace ui {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr int kInfoHeaderBytes = 40;
// Older and newer header versions share the first 40 bytes; the largest
// (version 5) is 124 bytes. Anything outside is not a bitmap header.
constexpr uint32_t kMaxInfoHeaderBytes = 124;
// Bounds that keep every size computation far from overflow and refuse
// headers that would make us allocate gigabytes for a stimulus picture.
constexpr int64_t kMaxSide = 1 << 16;
constexpr int64_t kMaxPixels = int64_t{1} << 26;

uint32_t ReadU32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;  // little-endian host, like the format
}

uint16_t ReadU16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// One colour channel described by a bit mask.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;

  // False for a mask whose bits are not contiguous.
  bool Set(uint32_t m) {
    mask = m;
    shift = 0;
    max = 0;
    if (m == 0) return true;  // channel always 0
    while (!((m >> shift) & 1u)) ++shift;
    max = m >> shift;
    return (max & (max + 1)) == 0;
  }

  uint32_t Extract(uint32_t pixel) const {
    if (max == 0) return 0;
    const uint64_t v = (pixel & mask) >> shift;
    return static_cast<uint32_t>((v * 255 + max / 2) / max);
  }
};

struct Layout {
  int width = 0;
  int height = 0;  // rows, always positive
  bool topDown = false;
  int bitCount = 0;
  int64_t rowBytes = 0;
  const uint8_t* table = nullptr;  // colour table, for 8 bits and fewer
  int tableEntries = 0;            // entries that pixel values can reach
  Channel red, green, blue;        // for 16 and 32 bits
};

bool Parse(const void* info, Layout* out) {
  if (!info) return false;
  const auto* h = static_cast<const uint8_t*>(info);
  const uint32_t headerBytes = ReadU32(h);
  const int64_t width = static_cast<int32_t>(ReadU32(h + 4));
  const int64_t height = static_cast<int32_t>(ReadU32(h + 8));
  const int bitCount = ReadU16(h + 14);
  const uint32_t compression = ReadU32(h + 16);
  const uint32_t coloursUsed = ReadU32(h + 32);

  if (headerBytes < kInfoHeaderBytes || headerBytes > kMaxInfoHeaderBytes) return false;
  const int64_t rows = height < 0 ? -height : height;
  if (width <= 0 || rows == 0 || width > kMaxSide || rows > kMaxSide) return false;
  if (width * rows > kMaxPixels) return false;

  Layout l;
  l.width = static_cast<int>(width);
  l.height = static_cast<int>(rows);
  l.topDown = height < 0;
  l.bitCount = bitCount;
  l.rowBytes = (width * bitCount + 31) / 32 * 4;

  switch (bitCount) {
    case 1:
    case 4:
    case 8: {
      if (compression != kBiRgb) return false;
      const int64_t reachable = int64_t{1} << bitCount;
      const int64_t entries = coloursUsed ? coloursUsed : reachable;
      l.table = h + headerBytes;
      l.tableEntries = static_cast<int>(entries < reachable ? entries : reachable);
      break;
    }
    case 16:
    case 32:
      if (compression == kBiRgb) {
        const bool is16 = bitCount == 16;
        l.red.Set(is16 ? 0x7C00 : 0xFF0000);
        l.green.Set(is16 ? 0x03E0 : 0x00FF00);
        l.blue.Set(is16 ? 0x001F : 0x0000FF);
      } else if (compression == kBiBitfields) {
        // The three masks follow a 40-byte header and sit inside larger ones.
        if (!l.red.Set(ReadU32(h + 40)) || !l.green.Set(ReadU32(h + 44)) ||
            !l.blue.Set(ReadU32(h + 48))) {
          return false;
        }
      } else {
        return false;
      }
      break;
    case 24:
      if (compression != kBiRgb) return false;
      break;
    default:
      return false;
  }
  *out = l;
  return true;
}

uint32_t TableColour(const Layout& l, uint32_t index) {
  if (index >= static_cast<uint32_t>(l.tableEntries)) return 0xFF000000u;
  const uint8_t* q = l.table + 4 * index;  // blue, green, red, reserved
  return 0xFF000000u | uint32_t{q[2]} << 16 | uint32_t{q[1]} << 8 | q[0];
}

uint32_t MaskedColour(const Layout& l, uint32_t pixel) {
  return 0xFF000000u | l.red.Extract(pixel) << 16 | l.green.Extract(pixel) << 8 |
         l.blue.Extract(pixel);
}

void DecodeRow(const Layout& l, const uint8_t* src, uint32_t* dst) {
  switch (l.bitCount) {
    case 1:
      for (int x = 0; x < l.width; ++x) dst[x] = TableColour(l, (src[x >> 3] >> (7 - (x & 7))) & 1);
      break;
    case 4:
      for (int x = 0; x < l.width; ++x) {
        dst[x] = TableColour(l, (x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4);
      }
      break;
    case 8:
      for (int x = 0; x < l.width; ++x) dst[x] = TableColour(l, src[x]);
      break;
    case 16:
      for (int x = 0; x < l.width; ++x) dst[x] = MaskedColour(l, ReadU16(src + 2 * x));
      break;
    case 24:
      for (int x = 0; x < l.width; ++x) {
        const uint8_t* p = src + 3 * x;
        dst[x] = 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
      }
      break;
    case 32:
      for (int x = 0; x < l.width; ++x) dst[x] = MaskedColour(l, ReadU32(src + 4 * x));
      break;
  }
}

}  // namespace

bool DecodeDib(const void* info, const void* bits, std::vector<uint32_t>* argb, int* width,
               int* height) {
  Layout l;
  if (!bits || !argb || !Parse(info, &l)) return false;
  const auto* rows = static_cast<const uint8_t*>(bits);
  std::vector<uint32_t> out(static_cast<size_t>(l.width) * l.height);
  for (int y = 0; y < l.height; ++y) {
    const int sourceRow = l.topDown ? y : l.height - 1 - y;
    DecodeRow(l, rows + sourceRow * l.rowBytes, out.data() + static_cast<size_t>(y) * l.width);
  }
  argb->swap(out);
  if (width) *width = l.width;
  if (height) *height = l.height;
  return true;
}

}  // namespace ui
