#include "display/dib_image.h"

#include <QTemporaryDir>
#include <QtTest>
#include <climits>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bmp_builder.h"

Q_DECLARE_METATYPE(std::vector<uint8_t>)

namespace {

using testing::BmpShape;
using testing::MakeBmp;

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

bool IsEmpty(const DibImage& d) {
  return d.width == 0 && d.height == 0 && d.bitCount == 0 && d.rowBytes == 0 &&
         d.colourCount == 0 && d.memory.empty() && !d.header && !d.colourTable && !d.bits;
}

BmpShape Shape(int width, int height, int bitCount, uint32_t compression = 0,
               uint32_t coloursUsed = 0) {
  BmpShape s;
  s.width = width;
  s.height = height;
  s.bitCount = static_cast<uint16_t>(bitCount);
  s.compression = compression;
  s.coloursUsed = coloursUsed;
  return s;
}

// Overwrites a little-endian field of a file made by MakeBmp.
std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t at, uint32_t v, int size) {
  testing::PutLe(&bytes, at, v, size);
  return bytes;
}

}  // namespace

class DibImageTest : public QObject {
  Q_OBJECT

 private slots:
  void rowBytes_data() {
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("rowBytes");
    QTest::newRow("1 bit, 1 wide") << 1 << 1 << 4;
    QTest::newRow("1 bit, 32 wide") << 1 << 32 << 4;
    QTest::newRow("1 bit, 33 wide") << 1 << 33 << 8;
    QTest::newRow("4 bits, 8 wide") << 4 << 8 << 4;
    QTest::newRow("4 bits, 9 wide") << 4 << 9 << 8;
    QTest::newRow("8 bits, 4 wide") << 8 << 4 << 4;
    QTest::newRow("8 bits, 5 wide") << 8 << 5 << 8;
    QTest::newRow("16 bits, 3 wide") << 16 << 3 << 8;
    QTest::newRow("24 bits, 3 wide") << 24 << 3 << 12;
    QTest::newRow("24 bits, 4 wide") << 24 << 4 << 12;
    QTest::newRow("24 bits, 5 wide") << 24 << 5 << 16;
    QTest::newRow("32 bits, 3 wide") << 32 << 3 << 12;
  }
  void rowBytes() {
    QFETCH(int, bitCount);
    QFETCH(int, width);
    QFETCH(int, rowBytes);
    DibImage d;
    const std::vector<uint8_t> file = MakeBmp(Shape(width, 2, bitCount));
    QCOMPARE(d.LoadFromMemory(file.data(), file.size()), 1);
    QCOMPARE(d.rowBytes, rowBytes);
    QCOMPARE(d.width, width);
    QCOMPARE(d.height, 2);
    QCOMPARE(d.bitCount, bitCount);
  }

  void colourTableAndPixels_data() {
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<uint>("compression");
    QTest::addColumn<uint>("coloursUsed");
    QTest::addColumn<int>("colourCount");
    QTest::addColumn<int>("pixelOffset");  // from the block's start
    QTest::newRow("8 bits, used 0") << 8 << 0u << 0u << 256 << 1064;
    QTest::newRow("8 bits, used 10") << 8 << 0u << 10u << 10 << 80;
    QTest::newRow("4 bits, used 0") << 4 << 0u << 0u << 16 << 104;
    QTest::newRow("1 bit, used 0") << 1 << 0u << 0u << 2 << 48;
    QTest::newRow("16 bits") << 16 << 0u << 0u << 0 << 40;
    QTest::newRow("24 bits, used 5") << 24 << 0u << 5u << 0 << 40;
    QTest::newRow("32 bits") << 32 << 0u << 0u << 0 << 40;
    QTest::newRow("16 bits, bitfields") << 16 << 3u << 0u << 0 << 52;
    QTest::newRow("32 bits, bitfields") << 32 << 3u << 0u << 0 << 52;
  }
  void colourTableAndPixels() {
    QFETCH(int, bitCount);
    QFETCH(uint, compression);
    QFETCH(uint, coloursUsed);
    QFETCH(int, colourCount);
    QFETCH(int, pixelOffset);
    BmpShape shape = Shape(3, 2, bitCount, compression, coloursUsed);
    // The file holds the colour entries the reader expects, nothing more.
    shape.tableEntries = bitCount <= 8 ? colourCount : 0;
    const std::vector<uint8_t> file = MakeBmp(shape);
    DibImage d;
    QCOMPARE(d.LoadFromMemory(file.data(), file.size()), 1);
    QCOMPARE(d.colourCount, colourCount);
    QCOMPARE(d.bits - d.header, pixelOffset);
    QCOMPARE(d.colourTable, bitCount <= 8 ? d.header + 40 : nullptr);
    // The first stored pixel row is where the file put it.
    QCOMPARE(std::memcmp(d.bits, file.data() + 14 + pixelOffset, d.rowBytes), 0);
  }

  void load_keepsFileAfterItsFirst14BytesAndZeroTail() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("p.bmp").toStdString();
    const std::vector<uint8_t> file = MakeBmp(Shape(5, 3, 24));
    WriteFile(path, file);
    DibImage d;
    QCOMPARE(d.Load(path), 1);
    QCOMPARE(d.memory.size(), file.size());
    QCOMPARE(d.header, d.memory.data());
    QCOMPARE(std::memcmp(d.header, file.data() + 14, file.size() - 14), 0);
    for (size_t i = file.size() - 14; i < file.size(); ++i) QCOMPARE(d.memory[i], uint8_t{0});
  }

  void topDownBitmap_loadsWithNegativeHeight() {
    const std::vector<uint8_t> file = MakeBmp(Shape(4, -3, 24));
    DibImage d;
    QCOMPARE(d.LoadFromMemory(file.data(), file.size()), 1);
    QCOMPARE(d.height, -3);
    QCOMPARE(d.rowBytes, 12);
    QCOMPARE(d.bits - d.header, 40);
  }

  void bitmapEndingExactlyAtFileEnd_loads() {
    // A 3-pixel, 24-bit row needs 12 bytes; the file ends right after the last row.
    const std::vector<uint8_t> file = MakeBmp(Shape(3, 7, 24));
    QCOMPARE(file.size(), size_t{14 + 40 + 12 * 7});
    DibImage d;
    QCOMPARE(d.LoadFromMemory(file.data(), file.size()), 1);
  }

  void backslashPath_findsFileInSubfolder() {
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("stim"));
    const std::vector<uint8_t> file = MakeBmp(Shape(2, 2, 24));
    WriteFile(dir.filePath("stim/patch.bmp").toStdString(), file);
    DibImage d;
    QCOMPARE(d.Load(dir.path().toStdString() + "\\stim\\patch.bmp"), 1);
    QCOMPARE(d.width, 2);
  }

  void badFile_loadsNoPicture_data() {
    QTest::addColumn<std::vector<uint8_t>>("file");
    const std::vector<uint8_t> good = MakeBmp(Shape(4, 4, 24));
    const std::vector<uint8_t> good8 = MakeBmp(Shape(4, 4, 8));
    QTest::newRow("empty") << std::vector<uint8_t>{};
    QTest::newRow("13 bytes") << std::vector<uint8_t>(good.begin(), good.begin() + 13);
    QTest::newRow("file header only") << std::vector<uint8_t>(good.begin(), good.begin() + 14);
    QTest::newRow("information header cut")
        << std::vector<uint8_t>(good.begin(), good.begin() + 14 + 39);
    QTest::newRow("not BM") << Patched(good, 0, 'M' | 'B' << 8, 2);
    QTest::newRow("last pixel byte missing") << std::vector<uint8_t>(good.begin(), good.end() - 1);
    QTest::newRow("colour table cut")
        << std::vector<uint8_t>(good8.begin(), good8.begin() + 14 + 40 + 1000);
    QTest::newRow("pixels of colour table cut")
        << std::vector<uint8_t>(good8.begin(), good8.end() - 16);
    QTest::newRow("colours used beyond file") << Patched(good8, 46, 0xFFFFFFFF, 4);
    QTest::newRow("colours used a little beyond") << Patched(good8, 46, 257, 4);
    QTest::newRow("width 0") << Patched(good, 18, 0, 4);
    QTest::newRow("height 0") << Patched(good, 22, 0, 4);
    QTest::newRow("width negative") << Patched(good, 18, static_cast<uint32_t>(-4), 4);
    QTest::newRow("width huge") << Patched(good, 18, 16385, 4);
    QTest::newRow("height huge") << Patched(good, 22, 16385, 4);
    QTest::newRow("height hugely negative") << Patched(good, 22, static_cast<uint32_t>(-16385), 4);
    QTest::newRow("height INT_MIN") << Patched(good, 22, 0x80000000u, 4);
    QTest::newRow("height far beyond file") << Patched(good, 22, 5000, 4);
    QTest::newRow("0 bits") << Patched(good, 28, 0, 2);
    QTest::newRow("2 bits") << Patched(good, 28, 2, 2);
    QTest::newRow("64 bits") << Patched(good, 28, 64, 2);
    QTest::newRow("RLE8") << Patched(good8, 30, 1, 4);
    QTest::newRow("RLE4") << Patched(good8, 30, 2, 4);
    QTest::newRow("bitfields at 24 bits") << Patched(good, 30, 3, 4);
    QTest::newRow("bitfields at 8 bits") << Patched(good8, 30, 3, 4);
    QTest::newRow("JPEG") << Patched(good, 30, 4, 4);
    // Masks take 12 bytes, so the same pixel rows no longer fit.
    QTest::newRow("bitfields without room for masks")
        << Patched(MakeBmp(Shape(4, 4, 32)), 30, 3, 4);
  }
  void badFile_loadsNoPicture() {
    QFETCH(std::vector<uint8_t>, file);
    DibImage d;
    QCOMPARE(d.LoadFromMemory(file.data(), file.size()), 0);
    QVERIFY(IsEmpty(d));

    QTemporaryDir dir;
    const std::string path = dir.filePath("bad.bmp").toStdString();
    WriteFile(path, file);
    DibImage fromFile;
    QCOMPARE(fromFile.Load(path), 0);
    QVERIFY(IsEmpty(fromFile));
  }

  void missingFile_loadsNoPicture() {
    QTemporaryDir dir;
    DibImage d;
    QCOMPARE(d.Load(dir.filePath("none.bmp").toStdString()), 0);
    QVERIFY(IsEmpty(d));
  }

  void failedReload_leavesRecordEmpty_data() {
    QTest::addColumn<bool>("fileExists");
    QTest::newRow("missing") << false;
    QTest::newRow("not a bitmap") << true;
  }
  void failedReload_leavesRecordEmpty() {
    QFETCH(bool, fileExists);
    QTemporaryDir dir;
    const std::string good = dir.filePath("good.bmp").toStdString();
    const std::string second = dir.filePath("second.bmp").toStdString();
    WriteFile(good, MakeBmp(Shape(8, 8, 8)));
    if (fileExists) WriteFile(second, std::vector<uint8_t>(100, 'x'));
    DibImage d;
    QCOMPARE(d.Load(good), 1);
    QVERIFY(d.header);
    QCOMPARE(d.Load(second), 0);
    QVERIFY(IsEmpty(d));
  }

  void reload_replacesFirstPicture() {
    const std::vector<uint8_t> first = MakeBmp(Shape(8, 8, 8));
    const std::vector<uint8_t> second = MakeBmp(Shape(3, 5, 24));
    DibImage d;
    QCOMPARE(d.LoadFromMemory(first.data(), first.size()), 1);
    QCOMPARE(d.LoadFromMemory(second.data(), second.size()), 1);
    QCOMPARE(d.width, 3);
    QCOMPARE(d.colourCount, 0);
    QVERIFY(!d.colourTable);
    QCOMPARE(d.memory.size(), second.size());
  }

  void clear_emptiesRecord() {
    const std::vector<uint8_t> file = MakeBmp(Shape(8, 8, 4));
    DibImage d;
    QCOMPARE(d.LoadFromMemory(file.data(), file.size()), 1);
    d.Clear();
    QVERIFY(IsEmpty(d));
  }
};

QTEST_APPLESS_MAIN(DibImageTest)
#include "dib_image_test.moc"
