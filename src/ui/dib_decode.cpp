#include "ui/dib_decode.h"

#include <cstring>

namespace ui {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kCoreInfoBytes = 40;
constexpr uint32_t kMaskBytes = 12;
// Bounds that keep every size computation far from overflow and refuse
// headers that would make us allocate gigabytes for a stimulus picture.
constexpr int64_t kMaxSide = 16384;
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

// The information header versions: 40 (version 3), 52 and 56 (with the
// masks, and alpha, inside), 108 (version 4), 124 (version 5). All share the
// first 40 bytes.
bool IsHeaderSize(uint32_t bytes) {
  return bytes == 40 || bytes == 52 || bytes == 56 || bytes == 108 || bytes == 124;
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

struct Decoder {
  DibFormat f;
  const uint8_t* table = nullptr;
  Channel red, green, blue;

  uint32_t TableColour(uint32_t index) const {
    if (index >= static_cast<uint32_t>(f.tableEntries)) return 0xFF000000u;
    const uint8_t* q = table + 4 * index;  // blue, green, red, reserved
    return 0xFF000000u | uint32_t{q[2]} << 16 | uint32_t{q[1]} << 8 | q[0];
  }

  uint32_t MaskedColour(uint32_t pixel) const {
    return 0xFF000000u | red.Extract(pixel) << 16 | green.Extract(pixel) << 8 | blue.Extract(pixel);
  }

  void DecodeRow(const uint8_t* src, uint32_t* dst) const {
    const int w = f.width;
    switch (f.bitCount) {
      case 1:
        for (int x = 0; x < w; ++x) dst[x] = TableColour((src[x >> 3] >> (7 - (x & 7))) & 1);
        break;
      case 4:
        for (int x = 0; x < w; ++x) {
          dst[x] = TableColour((x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4);
        }
        break;
      case 8:
        for (int x = 0; x < w; ++x) dst[x] = TableColour(src[x]);
        break;
      case 16:
        for (int x = 0; x < w; ++x) dst[x] = MaskedColour(ReadU16(src + 2 * x));
        break;
      case 24:
        for (int x = 0; x < w; ++x) {
          const uint8_t* p = src + 3 * x;
          dst[x] = 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
        }
        break;
      case 32:
        for (int x = 0; x < w; ++x) dst[x] = MaskedColour(ReadU32(src + 4 * x));
        break;
    }
  }
};

}  // namespace

bool ReadDibFormat(const void* info, size_t infoBytes, DibFormat* format) {
  if (!info || infoBytes < kCoreInfoBytes) return false;
  const auto* h = static_cast<const uint8_t*>(info);
  DibFormat f;
  f.headerBytes = ReadU32(h);
  const int64_t width = static_cast<int32_t>(ReadU32(h + 4));
  const int64_t height = static_cast<int32_t>(ReadU32(h + 8));
  f.bitCount = ReadU16(h + 14);
  f.compression = ReadU32(h + 16);
  const uint32_t coloursUsed = ReadU32(h + 32);

  if (!IsHeaderSize(f.headerBytes) || f.headerBytes > infoBytes) return false;
  const int64_t rows = height < 0 ? -height : height;
  if (width <= 0 || rows == 0 || width > kMaxSide || rows > kMaxSide) return false;
  if (width * rows > kMaxPixels) return false;
  f.width = static_cast<int>(width);
  f.rows = static_cast<int>(rows);
  f.topDown = height < 0;
  f.rowBytes = (width * f.bitCount + 31) / 32 * 4;
  f.pixelBytes = static_cast<uint64_t>(f.rowBytes) * static_cast<uint64_t>(rows);
  f.tableOffset = f.headerBytes;

  switch (f.bitCount) {
    case 1:
    case 4:
    case 8: {
      if (f.compression != kBiRgb) return false;
      const int64_t reachable = int64_t{1} << f.bitCount;
      const int64_t entries = coloursUsed ? coloursUsed : reachable;
      f.tableEntries = static_cast<int>(entries < reachable ? entries : reachable);
      break;
    }
    case 16:
    case 32: {
      const bool is16 = f.bitCount == 16;
      if (f.compression == kBiRgb) {
        f.masks[0] = is16 ? 0x7C00 : 0xFF0000;
        f.masks[1] = is16 ? 0x03E0 : 0x00FF00;
        f.masks[2] = is16 ? 0x001F : 0x0000FF;
      } else if (f.compression == kBiBitfields) {
        // The three masks follow a 40-byte header and sit inside larger ones.
        if (f.headerBytes == kCoreInfoBytes) f.tableOffset += kMaskBytes;
        if (kCoreInfoBytes + kMaskBytes > infoBytes) return false;
        for (int c = 0; c < 3; ++c) f.masks[c] = ReadU32(h + kCoreInfoBytes + 4 * c);
        Channel check;
        for (uint32_t m : f.masks) {
          if (!check.Set(m)) return false;
        }
      } else {
        return false;
      }
      break;
    }
    case 24:
      if (f.compression != kBiRgb) return false;
      break;
    default:
      return false;
  }
  if (f.TableEnd() > infoBytes) return false;
  *format = f;
  return true;
}

bool DecodeDib(const DibBits& dib, std::vector<uint32_t>* argb, int* width, int* height) {
  Decoder d;
  if (!dib.bits || !argb || !ReadDibFormat(dib.info, dib.infoBytes, &d.f)) return false;
  if (d.f.pixelBytes > dib.bitsBytes) return false;
  d.table = static_cast<const uint8_t*>(dib.info) + d.f.tableOffset;
  d.red.Set(d.f.masks[0]);
  d.green.Set(d.f.masks[1]);
  d.blue.Set(d.f.masks[2]);
  const auto* rows = static_cast<const uint8_t*>(dib.bits);
  std::vector<uint32_t> out(static_cast<size_t>(d.f.width) * d.f.rows);
  for (int y = 0; y < d.f.rows; ++y) {
    const int sourceRow = d.f.topDown ? y : d.f.rows - 1 - y;
    d.DecodeRow(rows + sourceRow * d.f.rowBytes, out.data() + static_cast<size_t>(y) * d.f.width);
  }
  argb->swap(out);
  if (width) *width = d.f.width;
  if (height) *height = d.f.rows;
  return true;
}

}  // namespace ui
