// Device-independent bitmap files held whole in memory, with the header
// values and pointers that drawing needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/dib_decode.h"

/// One bitmap file in memory; empty (all zero, null pointers) when no picture is held.
struct DibImage {
  int32_t width = 0;        ///< pixels per row
  int32_t height = 0;       ///< rows; negative for a top-down bitmap
  int32_t bitCount = 0;     ///< bits per pixel: 1, 4, 8, 16, 24 or 32
  int32_t rowBytes = 0;     ///< bytes per pixel row, padded to a multiple of 4
  int32_t colourCount = 0;  ///< 4-byte colour table entries
  /// The file from byte 14 on, followed by 14 zero bytes (as long as the file).
  std::vector<uint8_t> memory;
  uint8_t* header = nullptr;       ///< information header at the block's start
  uint8_t* colourTable = nullptr;  ///< colour table, or null above 8 bits per pixel
  uint8_t* bits = nullptr;         ///< first pixel row as stored

  DibImage() = default;
  DibImage(const DibImage&) = delete;  // the pointers point into `memory`
  DibImage& operator=(const DibImage&) = delete;

  /// Replaces the content with the bitmap file at `path`; 1 on success. On
  /// failure the record is empty. Backslashes in `path` separate folders.
  int Load(const std::string& path);
  /// As Load; when the file is refused unread (a symbolic link, not a
  /// regular file, too large), `*refused` gets the reason.
  int Load(const std::string& path, std::string* refused);
  /// The same for a file already in memory (`size` bytes at `data`).
  int LoadFromMemory(const uint8_t* data, size_t size);
  /// Frees the block and empties the record.
  void Clear();
  /// The header and pixels with the bytes of the file that lie at each, for
  /// drawing; all null for an empty record.
  ui::DibBits Bits() const;

 private:
  int Parse(uint32_t pixelOffset);
};

/// The cover picture of every patch ("stim\patch.bmp").
extern DibImage patchBitmap;
/// The picture of the opening screen ("stim\opening.bmp").
extern DibImage openingBitmap;
/// 1 once patchBitmap has loaded.
extern int patchBitmapLoaded;
/// 1 once openingBitmap has loaded.
extern int openingBitmapLoaded;
