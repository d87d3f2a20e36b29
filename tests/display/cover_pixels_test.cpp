#include <QtTest>
#include <cstring>
#include <memory>
#include <vector>

#include "bmp_builder.h"
#include "display/dib_image.h"
#include "display/layout.h"
#include "display/surfaces.h"
#include "support/fake_ui.h"
#include "ui/surface_dc.h"

namespace {

// FakeUi with the real Qt device contexts.
class PaintingUi : public testing::FakeUi {
 public:
  std::unique_ptr<ui::DeviceContext> CreateSurfaceDC(uint8_t* pixels, int width, int height,
                                                     int pitch) override {
    return std::make_unique<ui::SurfaceDC>(pixels, width, height, pitch);
  }
};

// Blue, green and red of a pixel; the painter may set the fourth byte.
uint32_t PixelAt(SurfaceId id, int x, int y) {
  const SurfaceRecord& s = *FindSurface(id);
  uint32_t v;
  std::memcpy(&v, s.buffer.data() + y * s.pitch + 4 * x, 4);
  return v & 0x00FFFFFF;
}

// A colour (0x00BBGGRR) that differs at every pixel of the top-left 128 x 128 and is never black.
uint32_t Picture(int x, int y) {
  return 0x800000u | static_cast<uint32_t>(y & 0x7F) << 8 | static_cast<uint32_t>(x & 0x7F);
}

// The same colour as it lies in surface memory: blue, green, red, 0.
uint32_t InMemory(uint32_t colour) {
  return (colour >> 16 & 0xFF) | (colour >> 8 & 0xFF) << 8 | (colour & 0xFF) << 16;
}

}  // namespace

class CoverPixelsTest : public QObject {
  Q_OBJECT

 private:
  PaintingUi* ui_ = nullptr;

 private slots:
  void init() {
    ui_ = new PaintingUi;
    ResetTest();
    ReleasePatchSurfaces();
  }
  void cleanup() {
    ReleasePatchSurfaces();
    patchBitmap.Clear();
    patchBitmapLoaded = 0;
    delete ui_;
  }

  void cover_showsBitmapAtOwnSize_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("100 x 100: black L on right and bottom") << 100 << 100;
    QTest::newRow("100 x 100 top-down") << 100 << -100;
    QTest::newRow("200 x 200: top-left 120 x 120") << 200 << 200;
  }
  void cover_showsBitmapAtOwnSize() {
    QFETCH(int, width);
    QFETCH(int, height);
    testing::BmpShape shape;
    shape.width = width;
    shape.height = height;
    shape.pixel = Picture;
    const std::vector<uint8_t> file = testing::MakeBmp(shape);
    QCOMPARE(patchBitmap.LoadFromMemory(file.data(), file.size()), 1);
    patchBitmapLoaded = 1;
    testState.trials[0].NItems = 1;
    SRand(1);
    QCOMPARE(LayOutTrial(0), 1);
    const int rows = std::abs(height);
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 120; ++x) {
        const uint32_t expected = x < width && y < rows ? InMemory(Picture(x, y)) : 0u;
        if (PixelAt(coverImage, x, y) != expected) {
          QFAIL(qPrintable(QString("cover pixel (%1, %2) is %3, not %4")
                               .arg(x)
                               .arg(y)
                               .arg(PixelAt(coverImage, x, y), 8, 16, QChar('0'))
                               .arg(expected, 8, 16, QChar('0'))));
        }
      }
    }
  }

  void number_isBlackAndCentredOnDisc() {
    testState.trials[0].NItems = 1;
    SRand(1);
    QCOMPARE(LayOutTrial(0), 1);
    const SurfaceId id = PatchLayout[0].numberedImage;
    // Black pixels inside the disc (within 50 of the centre) are the number's.
    int left = 120, right = -1, top = 120, bottom = -1, count = 0;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 120; ++x) {
        const int dx = x - 60;
        const int dy = y - 60;
        if (dx * dx + dy * dy > 50 * 50 || PixelAt(id, x, y) != 0) continue;
        ++count;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
    QVERIFY(count > 100);
    QVERIFY(qAbs((left + right) / 2 - 60) <= 8);
    QVERIFY(qAbs((top + bottom) / 2 - 60) <= 8);
    QVERIFY(bottom - top >= 40);  // a 90-pixel cell gives a digit well over 40 high
  }
};

QTEST_MAIN(CoverPixelsTest)
#include "cover_pixels_test.moc"
