// Loads arbitrary bytes as a bitmap file and reads every byte that the loaded
// record claims (header, colour table, every pixel row), so that a claim
// reaching past the file's bytes shows up as a failed check or under ASan.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "display/dib_image.h"
#include "fuzz_check.h"

namespace {

// Keeps the reads from being optimised away.
volatile uint8_t sink;

void Touch(const uint8_t* p, size_t n) {
  uint8_t x = 0;
  for (size_t i = 0; i < n; ++i) x ^= p[i];
  sink = x;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static DibImage image;
  if (!image.LoadFromMemory(data, size)) {
    FUZZ_CHECK(!image.header && !image.bits && !image.colourTable && image.memory.empty());
    FUZZ_CHECK(image.width == 0 && image.height == 0 && image.rowBytes == 0);
    return 0;
  }
  FUZZ_CHECK(image.memory.size() == size);
  // Only the first size - 14 bytes of the block came from the file.
  const uint8_t* const begin = image.memory.data();
  const uint8_t* const end = begin + (size - 14);
  FUZZ_CHECK(image.header == begin);
  FUZZ_CHECK(image.width > 0 && image.height != 0 && image.rowBytes > 0);
  FUZZ_CHECK(image.rowBytes % 4 == 0 &&
             image.rowBytes >= (int64_t{image.width} * image.bitCount + 7) / 8);
  FUZZ_CHECK(image.colourCount >= 0);
  const uint32_t headerSize = uint32_t(image.header[0]) | uint32_t(image.header[1]) << 8 |
                              uint32_t(image.header[2]) << 16 | uint32_t(image.header[3]) << 24;
  FUZZ_CHECK(headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
             headerSize == 124);
  Touch(image.header, headerSize);
  if (image.bitCount <= 8) {
    FUZZ_CHECK(image.colourTable == begin + headerSize);
    // From version 4 on the pixels may start further on, where the file says.
    const size_t table = 4 * size_t(image.colourCount);
    FUZZ_CHECK(headerSize >= 108 ? image.bits >= image.colourTable
                                 : image.bits == image.colourTable + table);
    const size_t reachable = size_t(1) << image.bitCount;
    Touch(image.colourTable, 4 * (image.colourCount < int64_t(reachable) ? table / 4 : reachable));
  } else {
    FUZZ_CHECK(!image.colourTable && image.colourCount == 0);
  }
  const size_t rows = size_t(image.height < 0 ? -int64_t{image.height} : image.height);
  const size_t rowBytes = size_t(image.rowBytes);
  FUZZ_CHECK(image.bits >= begin + headerSize && image.bits <= end);
  FUZZ_CHECK(rows * rowBytes <= size_t(end - image.bits));
  for (size_t r = 0; r < rows; ++r) Touch(image.bits + r * rowBytes, rowBytes);
  return 0;
}
