// Bitmap files made in memory for tests and the fuzz corpus.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

namespace testing {

struct BmpShape {
  int32_t width = 1;
  int32_t height = 1;  // negative: top-down
  uint16_t bitCount = 24;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
  /// Colour entries written; -1: as many as a reader expects.
  int tableEntries = -1;
  /// 0x00BBGGRR colour of pixel (x, y), y counted from the top; 24 and 32 bits only.
  std::function<uint32_t(int, int)> pixel;
};

inline void PutLe(std::vector<uint8_t>* out, size_t at, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) (*out)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

/// Padded bytes per row for a well-formed bitmap of this depth and width.
inline int BmpRowBytes(int bitCount, int width) {
  return static_cast<int>(((int64_t{width} * bitCount + 31) / 32) * 4);
}

/// A complete bitmap file: headers, colour table, bitfield masks when
/// compression is 3, and pixel rows filled with a byte pattern (or `pixel`).
inline std::vector<uint8_t> MakeBmp(const BmpShape& s) {
  int entries = s.tableEntries;
  if (entries < 0) {
    if (s.bitCount <= 8) {
      entries = s.coloursUsed ? static_cast<int>(s.coloursUsed) : (1 << s.bitCount);
    } else {
      entries = 0;
    }
  }
  const size_t masks = s.compression == 3 ? 12 : 0;
  const int rows = std::abs(s.height);
  const int rowBytes = BmpRowBytes(s.bitCount, s.width);
  const size_t pixelStart = 14 + 40 + masks + 4 * static_cast<size_t>(entries);
  std::vector<uint8_t> out(pixelStart + static_cast<size_t>(rowBytes) * rows, 0);
  out[0] = 'B';
  out[1] = 'M';
  PutLe(&out, 2, static_cast<uint32_t>(out.size()), 4);
  PutLe(&out, 10, static_cast<uint32_t>(pixelStart), 4);
  PutLe(&out, 14, 40, 4);
  PutLe(&out, 18, static_cast<uint32_t>(s.width), 4);
  PutLe(&out, 22, static_cast<uint32_t>(s.height), 4);
  PutLe(&out, 26, 1, 2);
  PutLe(&out, 28, s.bitCount, 2);
  PutLe(&out, 30, s.compression, 4);
  PutLe(&out, 46, s.coloursUsed, 4);
  size_t at = 54;
  if (masks) {
    const bool wide = s.bitCount == 32;
    PutLe(&out, at, wide ? 0xFF0000 : 0xF800, 4);
    PutLe(&out, at + 4, wide ? 0x00FF00 : 0x07E0, 4);
    PutLe(&out, at + 8, wide ? 0x0000FF : 0x001F, 4);
    at += 12;
  }
  for (int i = 0; i < entries; ++i, at += 4) {
    PutLe(&out, at, static_cast<uint32_t>(i * 0x010101) & 0xFFFFFF, 4);
  }
  for (int r = 0; r < rows; ++r) {
    uint8_t* row = out.data() + pixelStart + static_cast<size_t>(r) * rowBytes;
    // Rows are stored bottom-up unless the height is negative.
    const int y = s.height > 0 ? rows - 1 - r : r;
    const int bytesPerPixel = s.bitCount / 8;
    if (s.pixel && (s.bitCount == 24 || s.bitCount == 32)) {
      for (int x = 0; x < s.width; ++x) {
        const uint32_t c = s.pixel(x, y);
        row[x * bytesPerPixel] = static_cast<uint8_t>(c >> 16);
        row[x * bytesPerPixel + 1] = static_cast<uint8_t>(c >> 8);
        row[x * bytesPerPixel + 2] = static_cast<uint8_t>(c);
      }
    } else {
      for (int b = 0; b < rowBytes; ++b) row[b] = static_cast<uint8_t>(r * 7 + b);
    }
  }
  return out;
}

}  // namespace testing
