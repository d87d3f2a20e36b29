// Uncompressed bitmap files made in memory for tests.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

namespace testing {

struct BmpLayout {
  int32_t width = 1;
  int32_t height = 1;  // negative: top-down
  uint16_t bitCount = 24;
  uint32_t coloursUsed = 0;
  /// 0x00BBGGRR colour of pixel (x, y), y counted from the top; 24 bits only.
  std::function<uint32_t(int, int)> pixel = nullptr;
  uint32_t headerSize = 40;  ///< 52 and more hold the colour masks inside
  uint32_t gap = 0;          ///< bytes between colour table and pixels, as the offset says
  uint32_t compression = 0;  ///< 3: colour masks (5-5-5 or 8-8-8), after a 40-byte header
};

inline void PutLe(std::vector<uint8_t>* out, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) (*out)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

/// A complete file: headers, the colour table a reader expects (grey ramp),
/// and pixel rows filled with a byte pattern or by `pixel`.
inline std::vector<uint8_t> MakeBmp(const BmpLayout& s) {
  const uint32_t entries = s.bitCount > 8 ? 0 : s.coloursUsed ? s.coloursUsed : 1u << s.bitCount;
  const int rows = std::abs(s.height);
  const size_t rowBytes = static_cast<size_t>((int64_t{s.width} * s.bitCount + 31) / 32 * 4);
  const bool masks = s.compression == 3;
  const uint32_t tableStart = 14 + s.headerSize + (masks && s.headerSize == 40 ? 12 : 0);
  const uint32_t pixelStart = tableStart + 4 * entries + s.gap;
  std::vector<uint8_t> out(pixelStart + rowBytes * rows, 0);
  // Offset, value and size of each header field written.
  const uint32_t fields[] = {
      0,  'B' | 'M' << 8,    2, 2,  uint32_t(out.size()), 4, 10, pixelStart, 4, 14, s.headerSize, 4,
      18, uint32_t(s.width), 4, 22, uint32_t(s.height),   4, 26, 1,          2, 28, s.bitCount,   2,
      30, s.compression,     4, 46, s.coloursUsed,        4};
  for (size_t f = 0; f < sizeof fields / sizeof *fields; f += 3)
    PutLe(&out, fields[f], fields[f + 1], int(fields[f + 2]));
  const bool is16 = s.bitCount == 16;
  for (int c = 0; masks && c < 3; ++c)
    PutLe(&out, 54 + 4 * c, is16 ? 0x7C00u >> (5 * c) : 0xFF0000u >> (8 * c), 4);
  for (uint32_t i = 0; i < entries; ++i)
    PutLe(&out, tableStart + 4 * i, (i * 0x010101) & 0xFFFFFF, 4);
  for (size_t i = pixelStart; i < out.size(); ++i) {
    const int r = int((i - pixelStart) / rowBytes), b = int((i - pixelStart) % rowBytes);
    const int y = s.height > 0 ? rows - 1 - r : r;  // bottom-up unless the height is negative
    out[i] =
        uint8_t(s.pixel && b < 3 * s.width ? s.pixel(b / 3, y) >> (16 - 8 * (b % 3)) : r * 7 + b);
  }
  return out;
}

}  // namespace testing
