// Decoding of device-independent bitmaps (an information header, its colour
// table or colour masks, and padded pixel rows) into plain top-down pixels.
// Core only, so that it is tested without a display.
#pragma once

#include <cstdint>
#include <vector>

namespace ui {

/// Decodes the bitmap `info` (information header, colour table or masks) with
/// pixel rows `bits` into top-down 0xFFRRGGBB pixels. Handles 1, 4, 8, 16
/// (5-5-5 or masks), 24 and 32 bits per pixel, bottom-up and top-down; false
/// for anything else, leaving the outputs unchanged.
bool DecodeDib(const void* info, const void* bits, std::vector<uint32_t>* argb, int* width,
               int* height);

}  // namespace ui
