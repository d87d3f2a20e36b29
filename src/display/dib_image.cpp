#include "display/dib_image.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "fileio/safe_file.h"

DibImage patchBitmap;
DibImage openingBitmap;
int patchBitmapLoaded = 0;
int openingBitmapLoaded = 0;

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kV4HeaderSize = 108;
constexpr uint64_t kMaxFileSize = std::numeric_limits<int32_t>::max();

int32_t ReadInt32(const uint8_t* p) {
  const uint32_t v =
      uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  int32_t s;
  std::memcpy(&s, &v, sizeof s);
  return s;
}

uint32_t ReadUint32(const uint8_t* p) {
  return static_cast<uint32_t>(ReadInt32(p));
}

bool IsBm(const uint8_t* fileHeader) {
  return fileHeader[0] == 'B' && fileHeader[1] == 'M';
}

// Allocates the zero-filled block of the file's length; false when it cannot be had.
bool Allocate(std::vector<uint8_t>* memory, size_t length) {
  try {
    memory->assign(length, 0);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

void DibImage::Clear() {
  std::vector<uint8_t>().swap(memory);
  width = height = bitCount = rowBytes = colourCount = 0;
  header = colourTable = bits = nullptr;
}

int DibImage::Load(const std::string& path) {
  return Load(path, nullptr);
}

int DibImage::Load(const std::string& path, std::string* refused) {
  Clear();
  std::string localPath = path;
  for (char& c : localPath) {
    if (c == '\\') c = '/';
  }
  std::string bytes;
  std::string reason;
  const file_io::ReadStatus status =
      file_io::ReadRegularFile(localPath, file_io::kMaxStimulusBytes, &bytes, &reason);
  if (status == file_io::ReadStatus::kRefused && refused) *refused = reason;
  if (status != file_io::ReadStatus::kDone) return 0;
  return LoadFromMemory(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

int DibImage::LoadFromMemory(const uint8_t* data, size_t size) {
  Clear();
  if (!data || size < kFileHeaderSize || size > kMaxFileSize || !IsBm(data)) return 0;
  if (!Allocate(&memory, size)) return 0;
  std::memcpy(memory.data(), data + kFileHeaderSize, size - kFileHeaderSize);
  return Parse(ReadUint32(data + 10));
}

ui::DibBits DibImage::Bits() const {
  if (!header || !bits) return {};
  const size_t available = memory.size() - kFileHeaderSize;
  const size_t before = static_cast<size_t>(bits - header);
  return {header, before, bits, available - before};
}

// Reads the header values from the block and refuses any bitmap that the
// drawing decoder would refuse or whose parts would lie beyond the file's
// bytes, so that drawing never reads past them.
int DibImage::Parse(uint32_t pixelOffset) {
  // The block is as long as the file, but only its first length - 14 bytes came from it.
  const uint64_t available = memory.size() - kFileHeaderSize;
  uint8_t* block = memory.data();
  ui::DibFormat format;
  if (!ui::ReadDibFormat(block, available, &format)) {
    Clear();
    return 0;
  }
  const uint32_t coloursUsed = ReadUint32(block + 32);
  uint64_t colours = 0;
  if (coloursUsed != 0) {
    colours = format.bitCount <= 8 ? coloursUsed : 0;
  } else if (format.bitCount <= 8) {
    colours = uint64_t{1} << format.bitCount;
  }
  // Version 4 and 5 headers are what image editors write, and their files
  // say where the pixels start; for the older ones they follow the table.
  uint64_t pixelStart = format.tableOffset + 4 * colours;
  if (format.headerBytes >= kV4HeaderSize) {
    // The whole table the header declares lies before the pixels, as it
    // does for the older headers.
    if (pixelOffset < kFileHeaderSize + std::max(format.TableEnd(), pixelStart)) {
      Clear();
      return 0;
    }
    pixelStart = pixelOffset - kFileHeaderSize;
  }
  if (pixelStart > available || format.pixelBytes > available - pixelStart) {
    Clear();
    return 0;
  }

  width = ReadInt32(block + 4);
  height = ReadInt32(block + 8);
  bitCount = format.bitCount;
  rowBytes = static_cast<int32_t>(format.rowBytes);
  colourCount = static_cast<int32_t>(colours);
  header = block;
  colourTable = bitCount <= 8 ? block + format.tableOffset : nullptr;
  bits = block + pixelStart;
  return 1;
}
