// Decoding of device-independent bitmaps (an information header, its colour
// table or colour masks, and padded pixel rows) into plain top-down pixels.
// Core only, so that it is tested without a display. The bitmap loader reads
// its files with ReadDibFormat too, so that it keeps exactly the bitmaps that
// DecodeDib draws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ui {

/// A device-independent bitmap in memory, and how far each of its parts may
/// be read.
struct DibBits {
  const void* info = nullptr;  ///< information header, then colour masks and table
  size_t infoBytes = 0;        ///< bytes that may be read from `info`
  const void* bits = nullptr;  ///< first pixel row as stored
  size_t bitsBytes = 0;        ///< bytes that may be read from `bits`
};

/// Where the parts of a bitmap lie and how its pixels read, from its header.
struct DibFormat {
  uint32_t headerBytes = 0;  ///< the header's size field: 40, 52, 56, 108 or 124
  int width = 0;
  int rows = 0;  ///< always positive
  bool topDown = false;
  int bitCount = 0;
  uint32_t compression = 0;  ///< 0 (none) or 3 (colour masks)
  int64_t rowBytes = 0;      ///< padded to a multiple of 4
  uint64_t pixelBytes = 0;   ///< rowBytes × rows
  /// Offset from the header's start of the colour table (after the masks that
  /// follow a 40-byte header); where the pixels start when there is none.
  uint32_t tableOffset = 0;
  /// Colour table entries that pixel values can reach and that are read.
  int tableEntries = 0;
  uint32_t masks[3] = {0, 0, 0};  ///< red, green, blue for 16 and 32 bits

  /// Offset from the header's start just past everything read before the pixels.
  uint64_t TableEnd() const { return tableOffset + 4 * uint64_t(tableEntries); }
};

/// Reads the header of the bitmap at `info`, of which `infoBytes` may be read:
/// header, masks and the table entries pixels reach must all lie within them.
/// False for anything DecodeDib cannot draw: other header sizes, bit counts or
/// compressions, masks that are not runs of bits, sides of 0 or beyond 16384,
/// more than 2^26 pixels.
bool ReadDibFormat(const void* info, size_t infoBytes, DibFormat* format);

/// Decodes the bitmap into top-down 0xFFRRGGBB pixels. Handles 1, 4, 8, 16
/// (5-5-5 or masks), 24 and 32 bits per pixel, bottom-up and top-down; false,
/// leaving the outputs unchanged, for what ReadDibFormat refuses and for pixel
/// rows longer than `bitsBytes`. Reads nothing beyond the given bounds.
bool DecodeDib(const DibBits& dib, std::vector<uint32_t>* argb, int* width, int* height);

}  // namespace ui
