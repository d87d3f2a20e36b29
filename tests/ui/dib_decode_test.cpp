#include "ui/dib_decode.h"

#include <QtTest>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

enum Format { kIndexed1, kIndexed4, kIndexed8, kRgb555, kMasks565, kRgb24, kRgb32, kMasks32 };

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiBitfields = 3;

void Put32(std::vector<uint8_t>* v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) (*v)[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

// A bitmap built byte by byte, and the top-down picture it should decode to.
struct Dib {
  std::vector<uint8_t> info;
  std::vector<uint8_t> bits;
  std::vector<uint32_t> expected;
};

std::vector<uint8_t> Header(int width, int height, int bitCount, uint32_t compression,
                            uint32_t coloursUsed, uint32_t headerBytes = 40) {
  std::vector<uint8_t> h(headerBytes, 0);
  Put32(&h, 0, headerBytes);
  Put32(&h, 4, static_cast<uint32_t>(width));
  Put32(&h, 8, static_cast<uint32_t>(height));
  h[12] = 1;  // planes
  h[14] = static_cast<uint8_t>(bitCount);
  Put32(&h, 16, compression);
  Put32(&h, 32, coloursUsed);
  return h;
}

// Scales a channel of `bits` bits to 8 bits, rounding.
uint32_t Scale(uint32_t v, int bits) {
  const double max = (1u << bits) - 1;
  return static_cast<uint32_t>(std::lround(v * 255.0 / max));
}

// Stores `value` (bitCount wide) as pixel x of a row: sub-byte pixels from
// the high bits of a byte down, wider ones little-endian.
void StorePixel(uint8_t* row, int x, int bitCount, uint32_t value) {
  if (bitCount < 8) {
    const int bit = x * bitCount;
    const int shift = 8 - bitCount - bit % 8;
    const uint8_t mask = static_cast<uint8_t>(((1u << bitCount) - 1) << shift);
    row[bit / 8] = static_cast<uint8_t>((row[bit / 8] & ~mask) | (value << shift));
  } else {
    for (int i = 0; i < bitCount / 8; ++i) row[x * bitCount / 8 + i] = uint8_t(value >> (8 * i));
  }
}

Dib Build(Format format, int width, int height, bool topDown) {
  static const int kBits[] = {1, 4, 8, 16, 16, 24, 32, 32};
  const int bitCount = kBits[format];
  const bool masks = format == kMasks565 || format == kMasks32;
  Dib dib;
  dib.info = Header(width, topDown ? -height : height, bitCount, masks ? kBiBitfields : kBiRgb, 0);

  std::vector<uint32_t> table;
  if (bitCount <= 8) {
    for (int i = 0; i < (1 << bitCount); ++i) {
      table.push_back((uint32_t(i * 37 % 256) << 16) | (uint32_t(255 - i) << 8) |
                      uint32_t(i * 11 % 256));
      const size_t at = dib.info.size();
      dib.info.resize(at + 4);
      Put32(&dib.info, at, table.back() | 0xEE000000u);  // reserved byte is junk
    }
  } else if (format == kMasks565) {
    for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) {
      const size_t at = dib.info.size();
      dib.info.resize(at + 4);
      Put32(&dib.info, at, m);
    }
  } else if (format == kMasks32) {
    // Channels in the high bytes, the low byte unused.
    for (uint32_t m : {0x0000FF00u, 0x00FF0000u, 0xFF000000u}) {
      const size_t at = dib.info.size();
      dib.info.resize(at + 4);
      Put32(&dib.info, at, m);
    }
  }

  const int rowBytes = (width * bitCount + 31) / 32 * 4;
  dib.bits.assign(static_cast<size_t>(rowBytes) * height, 0xAA);  // padding is junk too
  dib.expected.resize(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = dib.bits.data() + (topDown ? y : height - 1 - y) * rowBytes;
    for (int x = 0; x < width; ++x) {
      const uint32_t r = (x * 50 + y * 7) % 256, g = (y * 90 + 3) % 256, b = (x * y * 13 + 1) % 256;
      uint32_t raw = 0, colour = 0;
      switch (format) {
        case kIndexed1:
        case kIndexed4:
        case kIndexed8:
          raw = (x * 3 + y * 5) % (1u << bitCount);
          colour = table[raw];
          break;
        case kRgb555:
          raw = 0x8000 | (r >> 3) << 10 | (g >> 3) << 5 | (b >> 3);  // top bit unused
          colour = Scale(r >> 3, 5) << 16 | Scale(g >> 3, 5) << 8 | Scale(b >> 3, 5);
          break;
        case kMasks565:
          raw = (r >> 3) << 11 | (g >> 2) << 5 | (b >> 3);
          colour = Scale(r >> 3, 5) << 16 | Scale(g >> 2, 6) << 8 | Scale(b >> 3, 5);
          break;
        case kRgb24:
          raw = r << 16 | g << 8 | b;
          colour = raw;
          break;
        case kRgb32:
          raw = 0x5A000000u | r << 16 | g << 8 | b;
          colour = raw & 0xFFFFFF;
          break;
        case kMasks32:
          raw = b << 24 | g << 16 | r << 8 | 0x77;
          colour = r << 16 | g << 8 | b;
          break;
      }
      StorePixel(row, x, bitCount, raw);
      dib.expected[static_cast<size_t>(y) * width + x] = 0xFF000000u | colour;
    }
  }
  return dib;
}

}  // namespace

class DibDecodeTest : public QObject {
  Q_OBJECT

 private slots:
  void decode_matchesPicture_data() {
    QTest::addColumn<int>("format");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("topDown");
    const struct {
      const char* name;
      Format format;
    } formats[] = {{"1 bit", kIndexed1},
                   {"4 bits", kIndexed4},
                   {"8 bits", kIndexed8},
                   {"16 bits 5-5-5", kRgb555},
                   {"16 bits masks 5-6-5", kMasks565},
                   {"24 bits", kRgb24},
                   {"32 bits", kRgb32},
                   {"32 bits masks", kMasks32}};
    for (const auto& f : formats) {
      // 13 leaves a part byte and row padding at every depth; 33 crosses a
      // 4-byte boundary of 1-bit rows.
      for (int width : {1, 13, 33}) {
        for (bool topDown : {false, true}) {
          QTest::addRow("%s, %d wide, %s", f.name, width, topDown ? "top-down" : "bottom-up")
              << int(f.format) << width << topDown;
        }
      }
    }
  }

  void decode_matchesPicture() {
    QFETCH(int, format);
    QFETCH(int, width);
    QFETCH(bool, topDown);
    const int height = 5;
    const Dib dib = Build(Format(format), width, height, topDown);
    std::vector<uint32_t> argb;
    int w = 0, h = 0;
    QVERIFY(ui::DecodeDib(dib.info.data(), dib.bits.data(), &argb, &w, &h));
    QCOMPARE(w, width);
    QCOMPARE(h, height);
    QCOMPARE(argb.size(), dib.expected.size());
    for (size_t i = 0; i < argb.size(); ++i) {
      if (argb[i] != dib.expected[i]) {
        QFAIL(qPrintable(QString("pixel (%1, %2): %3, expected %4")
                             .arg(i % width)
                             .arg(i / width)
                             .arg(argb[i], 8, 16, QChar('0'))
                             .arg(dib.expected[i], 8, 16, QChar('0'))));
      }
    }
  }

  void decode_rejects_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<uint>("compression");
    QTest::addColumn<uint>("headerBytes");
    QTest::newRow("2 bits") << 4 << 4 << 2 << 0u << 40u;
    QTest::newRow("0 bits") << 4 << 4 << 0 << 0u << 40u;
    QTest::newRow("64 bits") << 4 << 4 << 64 << 0u << 40u;
    QTest::newRow("run-length 8 bits") << 4 << 4 << 8 << kBiRle8 << 40u;
    QTest::newRow("masks on 24 bits") << 4 << 4 << 24 << kBiBitfields << 40u;
    QTest::newRow("masks on 8 bits") << 4 << 4 << 8 << kBiBitfields << 40u;
    QTest::newRow("png inside") << 4 << 4 << 24 << 5u << 40u;
    QTest::newRow("zero width") << 0 << 4 << 24 << 0u << 40u;
    QTest::newRow("negative width") << -4 << 4 << 24 << 0u << 40u;
    QTest::newRow("zero height") << 4 << 0 << 24 << 0u << 40u;
    QTest::newRow("most negative height") << 4 << INT_MIN << 24 << 0u << 40u;
    QTest::newRow("absurd width") << (1 << 24) << 1 << 24 << 0u << 40u;
    QTest::newRow("absurd area") << 40000 << 40000 << 24 << 0u << 40u;
    QTest::newRow("12-byte core header") << 4 << 4 << 24 << 0u << 12u;
    QTest::newRow("header size junk") << 4 << 4 << 24 << 0u << 0xFFFFu;
  }

  void decode_rejects() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bitCount);
    QFETCH(uint, compression);
    QFETCH(uint, headerBytes);
    std::vector<uint8_t> info = Header(width, height, bitCount, compression, 0, 40);
    Put32(&info, 0, headerBytes);
    info.resize(40 + 1024, 0);  // room for any table or masks
    Put32(&info, 40, 0xF800);
    Put32(&info, 44, 0x07E0);
    Put32(&info, 48, 0x001F);
    const std::vector<uint8_t> bits(64, 0);
    std::vector<uint32_t> argb{1, 2, 3};
    int w = -7, h = -7;
    QVERIFY(!ui::DecodeDib(info.data(), bits.data(), &argb, &w, &h));
    QVERIFY(!ui::DibByteSizes(info.data(), nullptr, nullptr));
    // A refusal leaves the outputs as they were.
    QCOMPARE(argb, (std::vector<uint32_t>{1, 2, 3}));
    QCOMPARE(w, -7);
    QCOMPARE(h, -7);
  }

  void decodeNonContiguousMask_rejects() {
    std::vector<uint8_t> info = Header(2, 2, 16, kBiBitfields, 0);
    info.resize(52);
    Put32(&info, 40, 0xF00F);  // a gap in the middle
    Put32(&info, 44, 0x07E0);
    Put32(&info, 48, 0x001F);
    const std::vector<uint8_t> bits(16, 0);
    std::vector<uint32_t> argb;
    QVERIFY(!ui::DecodeDib(info.data(), bits.data(), &argb, nullptr, nullptr));
  }

  void decodeNullPointers_rejects() {
    const Dib dib = Build(kRgb24, 2, 2, false);
    std::vector<uint32_t> argb;
    QVERIFY(!ui::DecodeDib(nullptr, dib.bits.data(), &argb, nullptr, nullptr));
    QVERIFY(!ui::DecodeDib(dib.info.data(), nullptr, &argb, nullptr, nullptr));
    QVERIFY(!ui::DecodeDib(dib.info.data(), dib.bits.data(), nullptr, nullptr, nullptr));
  }

  void decodeShortColourTable_indexesPastItAreBlack() {
    // Colours used 2 on an 8-bit picture: index 5 has no entry.
    std::vector<uint8_t> info = Header(3, 1, 8, kBiRgb, 2);
    info.resize(48);
    Put32(&info, 40, 0x00112233);
    Put32(&info, 44, 0x00445566);
    const std::vector<uint8_t> bits{1, 0, 5, 0};
    std::vector<uint32_t> argb;
    QVERIFY(ui::DecodeDib(info.data(), bits.data(), &argb, nullptr, nullptr));
    QCOMPARE(argb, (std::vector<uint32_t>{0xFF445566u, 0xFF112233u, 0xFF000000u}));
  }

  void decodeLargerHeader_findsTableAfterIt() {
    // A 108-byte (version 4) header: the colour table follows the whole header.
    std::vector<uint8_t> info = Header(2, 1, 1, kBiRgb, 0, 108);
    info.resize(108 + 8);
    Put32(&info, 108, 0x00FF0000);
    Put32(&info, 112, 0x000000FF);
    const std::vector<uint8_t> bits{0x40, 0, 0, 0};  // pixels 0, 1
    std::vector<uint32_t> argb;
    QVERIFY(ui::DecodeDib(info.data(), bits.data(), &argb, nullptr, nullptr));
    QCOMPARE(argb, (std::vector<uint32_t>{0xFFFF0000u, 0xFF0000FFu}));
  }

  void byteSizes_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<uint>("compression");
    QTest::addColumn<uint>("coloursUsed");
    QTest::addColumn<qint64>("infoBytes");
    QTest::addColumn<qint64>("pixelBytes");
    QTest::newRow("1 bit, 1 wide") << 1 << 3 << 1 << 0u << 0u << qint64(48) << qint64(12);
    QTest::newRow("1 bit, 33 wide") << 33 << 2 << 1 << 0u << 0u << qint64(48) << qint64(16);
    QTest::newRow("4 bits, 16 colours") << 9 << 1 << 4 << 0u << 0u << qint64(104) << qint64(8);
    QTest::newRow("8 bits, 256 colours") << 4 << 2 << 8 << 0u << 0u << qint64(1064) << qint64(8);
    QTest::newRow("8 bits, 10 colours") << 4 << 2 << 8 << 0u << 10u << qint64(80) << qint64(8);
    QTest::newRow("16 bits") << 3 << 2 << 16 << 0u << 0u << qint64(40) << qint64(16);
    QTest::newRow("16 bits, masks") << 3 << 2 << 16 << 3u << 0u << qint64(52) << qint64(16);
    QTest::newRow("24 bits, 3 wide") << 3 << 1 << 24 << 0u << 0u << qint64(40) << qint64(12);
    QTest::newRow("24 bits, 4 wide") << 4 << 1 << 24 << 0u << 0u << qint64(40) << qint64(12);
    QTest::newRow("24 bits, 5 wide") << 5 << 1 << 24 << 0u << 0u << qint64(40) << qint64(16);
    QTest::newRow("24 bits, colours used ignored")
        << 5 << 1 << 24 << 0u << 7u << qint64(40) << qint64(16);
    QTest::newRow("32 bits, top-down") << 5 << -3 << 32 << 0u << 0u << qint64(40) << qint64(60);
  }

  void byteSizes() {
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bitCount);
    QFETCH(uint, compression);
    QFETCH(uint, coloursUsed);
    QFETCH(qint64, infoBytes);
    QFETCH(qint64, pixelBytes);
    const std::vector<uint8_t> info = Header(width, height, bitCount, compression, coloursUsed);
    std::vector<uint8_t> withMasks = info;
    withMasks.resize(52);
    Put32(&withMasks, 40, 0x7C00);
    Put32(&withMasks, 44, 0x03E0);
    Put32(&withMasks, 48, 0x001F);
    int64_t gotInfo = 0, gotPixels = 0;
    QVERIFY(ui::DibByteSizes(withMasks.data(), &gotInfo, &gotPixels));
    QCOMPARE(gotInfo, infoBytes);
    QCOMPARE(gotPixels, pixelBytes);
  }
};

QTEST_APPLESS_MAIN(DibDecodeTest)
#include "dib_decode_test.moc"
