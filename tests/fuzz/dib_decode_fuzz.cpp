// Draws arbitrary bytes with the bitmap decoder twice: as a block of its own,
// header and table first with the pixels after them, and as a file through
// the loader, whose bitmaps the decoder must always draw. Exact-size inputs
// let ASan see any read past a bound.
#include <cstdint>
#include <vector>

#include "display/dib_image.h"
#include "fuzz_check.h"
#include "ui/dib_decode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint32_t> argb;
  int width = 0;
  int height = 0;
  ui::DibFormat format;
  const bool readable = ui::ReadDibFormat(data, size, &format);
  const size_t split = readable && format.TableEnd() <= size ? size_t(format.TableEnd()) : size / 2;
  const ui::DibBits block{data, split, data + split, size - split};
  if (ui::DecodeDib(block, &argb, &width, &height)) {
    FUZZ_CHECK(readable && width == format.width && height == format.rows);
    FUZZ_CHECK(argb.size() == size_t(width) * size_t(height));
    FUZZ_CHECK(format.pixelBytes <= size - split);
  }

  static DibImage image;
  if (!image.LoadFromMemory(data, size)) return 0;
  const ui::DibBits bits = image.Bits();
  FUZZ_CHECK(bits.info == image.header && bits.bits == image.bits);
  FUZZ_CHECK(bits.infoBytes + bits.bitsBytes == size - 14);
  FUZZ_CHECK(ui::DecodeDib(bits, &argb, &width, &height));
  FUZZ_CHECK(width == image.width && height == (image.height < 0 ? -image.height : image.height));
  return 0;
}
