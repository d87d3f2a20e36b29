#include "display/dib_image.h"

#include <cstring>
#include <fstream>
#include <limits>
#include <new>

DibImage patchBitmap;
DibImage openingBitmap;
int patchBitmapLoaded = 0;
int openingBitmapLoaded = 0;

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr size_t kInfoHeaderSize = 40;
constexpr size_t kBitfieldMasksSize = 12;
// Far beyond any stimulus, small enough that no size computed below overflows.
constexpr int64_t kMaxDimension = 16384;
constexpr uint64_t kMaxFileSize = std::numeric_limits<int32_t>::max();

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

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

int ReadUint16(const uint8_t* p) {
  return p[0] | p[1] << 8;
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
  Clear();
  std::string localPath = path;
  for (char& c : localPath) {
    if (c == '\\') c = '/';
  }
  std::ifstream file(localPath, std::ios::binary);
  if (!file) return 0;
  file.seekg(0, std::ios::end);
  const std::streamoff end = file.tellg();
  file.seekg(0, std::ios::beg);
  if (end < 0 || static_cast<uint64_t>(end) > kMaxFileSize) return 0;
  const size_t length = static_cast<size_t>(end);

  uint8_t fileHeader[kFileHeaderSize];
  file.read(reinterpret_cast<char*>(fileHeader), kFileHeaderSize);
  if (file.gcount() != static_cast<std::streamsize>(kFileHeaderSize) || !IsBm(fileHeader)) {
    return 0;
  }
  if (!Allocate(&memory, length)) return 0;
  const size_t rest = length - kFileHeaderSize;
  file.read(reinterpret_cast<char*>(memory.data()), static_cast<std::streamsize>(rest));
  if (file.gcount() != static_cast<std::streamsize>(rest)) {
    Clear();
    return 0;
  }
  return Parse();
}

int DibImage::LoadFromMemory(const uint8_t* data, size_t size) {
  Clear();
  if (!data || size < kFileHeaderSize || size > kMaxFileSize || !IsBm(data)) return 0;
  if (!Allocate(&memory, size)) return 0;
  std::memcpy(memory.data(), data + kFileHeaderSize, size - kFileHeaderSize);
  return Parse();
}

// Reads the header values from the block and refuses any bitmap whose parts
// would lie beyond the file's bytes, so that drawing never reads past them.
int DibImage::Parse() {
  // The block is as long as the file, but only its first length - 14 bytes came from it.
  const uint64_t available = memory.size() - kFileHeaderSize;
  if (available < kInfoHeaderSize) {
    Clear();
    return 0;
  }
  uint8_t* block = memory.data();
  const int32_t w = ReadInt32(block + 4);
  const int32_t h = ReadInt32(block + 8);
  const int bpp = ReadUint16(block + 14);
  const uint32_t compression = ReadUint32(block + 16);
  const uint32_t coloursUsed = ReadUint32(block + 32);

  const int64_t rows = h < 0 ? -int64_t{h} : int64_t{h};
  const bool sizeOk = w > 0 && w <= kMaxDimension && rows > 0 && rows <= kMaxDimension;
  const bool depthOk = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
  const bool masks = compression == kBiBitfields;
  const bool compressionOk = compression == kBiRgb || (masks && (bpp == 16 || bpp == 32));
  if (!sizeOk || !depthOk || !compressionOk) {
    Clear();
    return 0;
  }

  int64_t rowLength = 0;  // unpadded
  switch (bpp) {
    case 1:
      rowLength = (w - 1) / 8 + 1;
      break;
    case 4:
      rowLength = (w - 1) / 2 + 1;
      break;
    case 8:
      rowLength = w;
      break;
    case 16:
      rowLength = 2 * int64_t{w};
      break;
    case 24:
      rowLength = 3 * int64_t{w};
      break;
    default:
      rowLength = 4 * int64_t{w};
      break;
  }
  const int64_t padded = ((rowLength - 1) / 4) * 4 + 4;

  uint64_t colours = 0;
  if (coloursUsed != 0) {
    colours = bpp <= 8 ? coloursUsed : 0;
  } else if (bpp <= 8) {
    colours = uint64_t{1} << bpp;
  }
  const uint64_t tableStart = kInfoHeaderSize + (masks ? kBitfieldMasksSize : 0);
  const uint64_t pixelStart = tableStart + 4 * colours;
  const uint64_t pixelBytes = static_cast<uint64_t>(padded) * static_cast<uint64_t>(rows);
  if (pixelStart > available || pixelBytes > available - pixelStart) {
    Clear();
    return 0;
  }

  width = w;
  height = h;
  bitCount = bpp;
  rowBytes = static_cast<int32_t>(padded);
  colourCount = static_cast<int32_t>(colours);
  header = block;
  colourTable = bpp <= 8 ? block + tableStart : nullptr;
  bits = block + pixelStart;
  return 1;
}
