#include "ui/surface_dc.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QtTest>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kGreen = 0x00FF00;  // 0x00BBGGRR
const char* const kGothic = "ＭＳ Ｐゴシック";

// A 32-bit surface with spare bytes at the end of each row and guard rows
// below, so that writes outside the picture show.
struct Surface {
  int width, height, pitch;
  std::vector<uint8_t> bytes;

  Surface(int w, int h, int padding = 12)
      : width(w),
        height(h),
        pitch(4 * w + padding),
        bytes(static_cast<size_t>(pitch) * (h + 2), 0xC3) {}

  // Every pixel blue, green, red from a 0x00BBGGRR colour, then `fourth`.
  void Fill(uint32_t colour, uint8_t fourth) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        uint8_t* p = &bytes[static_cast<size_t>(y) * pitch + 4 * x];
        p[0] = uint8_t(colour >> 16);
        p[1] = uint8_t(colour >> 8);
        p[2] = uint8_t(colour);
        p[3] = fourth;
      }
    }
  }
  // The four bytes of a pixel as a little-endian word: 0xXXRRGGBB.
  uint32_t At(int x, int y) const {
    uint32_t v;
    std::memcpy(&v, &bytes[static_cast<size_t>(y) * pitch + 4 * x], 4);
    return v;
  }
  ui::SurfaceDC Dc() { return ui::SurfaceDC(bytes.data(), width, height, pitch); }
};

// Smallest rectangle holding every pixel that differs from `before`.
QRect Changed(const Surface& before, const Surface& after) {
  QRect box;
  for (int y = 0; y < after.height; ++y) {
    for (int x = 0; x < after.width; ++x) {
      if (before.At(x, y) != after.At(x, y)) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

// A 24-bit bitmap whose pixel (x, y), counted from the top, is Colour(x, y).
struct Bitmap {
  std::vector<uint8_t> info = std::vector<uint8_t>(40, 0);
  std::vector<uint8_t> bits;
  static uint32_t Colour(int x, int y) {
    return uint32_t(x % 256) << 16 | uint32_t(y % 256) << 8 | 0x40;
  }

  Bitmap(int w, int h, bool topDown) {
    const int32_t storedHeight = topDown ? -h : h;
    const uint32_t header[] = {40, uint32_t(w), uint32_t(storedHeight)};
    std::memcpy(info.data(), header, sizeof header);
    info[12] = 1;
    info[14] = 24;
    const int rowBytes = (3 * w + 3) / 4 * 4;
    bits.assign(static_cast<size_t>(rowBytes) * h, 0);
    for (int y = 0; y < h; ++y) {
      uint8_t* row = &bits[static_cast<size_t>(topDown ? y : h - 1 - y) * rowBytes];
      for (int x = 0; x < w; ++x) {
        const uint32_t c = Colour(x, y);  // 0xRRGGBB
        row[3 * x] = uint8_t(c);
        row[3 * x + 1] = uint8_t(c >> 8);
        row[3 * x + 2] = uint8_t(c >> 16);
      }
    }
  }
};

}  // namespace

class SurfaceDcTest : public QObject {
  Q_OBJECT

 private slots:
  void fontSubstitution_resolvesToIpaGothic_data() {
    QTest::addColumn<QString>("face");
    QTest::newRow("full-width Japanese name") << QString::fromUtf8(kGothic);
    QTest::newRow("romanised name") << QString("MS PGothic");
    QTest::newRow("dialog alias") << QString("MS Shell Dlg");
  }

  void fontSubstitution_resolvesToIpaGothic() {
    QFETCH(QString, face);
    const QFont font = ui::FontFor(ui::FontSpec{90, 400, face.toStdString()});
    QCOMPARE(QFontInfo(font).family(), QString("IPAPGothic"));
  }

  void fontFor_cellHeightIsRequested_data() {
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("height");
    for (int h : {12, 16, 24, 45, 90, 200}) {
      QTest::addRow("gothic %d", h) << QString::fromUtf8(kGothic) << h;
      QTest::addRow("default face %d", h) << QString() << h;
    }
  }

  void fontFor_cellHeightIsRequested() {
    QFETCH(QString, face);
    QFETCH(int, height);
    const QFont font = ui::FontFor(ui::FontSpec{height, 400, face.toStdString()});
    const QFontMetrics metrics(font);
    // Ascent and descent round apart, so a cell can be a pixel off; never more.
    QVERIFY2(qAbs(metrics.ascent() + metrics.descent() - height) <= 1,
             qPrintable(QString::number(metrics.ascent() + metrics.descent())));
    QCOMPARE(QFontInfo(font).weight(), int(QFont::Normal));
  }

  void drawSeven_isCentredInPatch() {
    Surface before(120, 120);
    before.Fill(kWhite, 0);
    Surface surface = before;
    ui::SurfaceDC dc = surface.Dc();
    dc.SetTextColor(kBlack);
    dc.SetBkMode(ui::kBkTransparent);
    const ui::FontSpec font{90, 400, kGothic};
    dc.SelectFont(&font);
    const int height = dc.DrawText("7", ui::Rect{0, 0, 120, 120},
                                   ui::kDtCenter | ui::kDtVCenter | ui::kDtSingleLine);
    QCOMPARE(height, 90);
    const QRect ink = Changed(before, surface);
    QVERIFY(!ink.isEmpty());
    const QPointF centre = QRectF(ink).center();
    QVERIFY2(qAbs(centre.x() - 60) <= 4 && qAbs(centre.y() - 60) <= 5,
             qPrintable(QString("ink (%1, %2) %3 x %4")
                            .arg(ink.x())
                            .arg(ink.y())
                            .arg(ink.width())
                            .arg(ink.height())));
    // A digit stands between the baseline and about the cap height.
    QVERIFY2(ink.height() >= 55 && ink.height() <= 80, qPrintable(QString::number(ink.height())));
    QVERIFY2(ink.width() >= 25 && ink.width() <= 60, qPrintable(QString::number(ink.width())));
  }

  void drawText_backgroundMode_data() {
    QTest::addColumn<int>("mode");
    QTest::newRow("transparent") << ui::kBkTransparent;
    QTest::newRow("opaque") << ui::kBkOpaque;
  }

  void drawText_backgroundMode() {
    QFETCH(int, mode);
    Surface before(120, 120);
    before.Fill(0x0000FF, 0);  // red, with the unused byte 0 as the surfaces keep it
    Surface surface = before;
    ui::SurfaceDC dc = surface.Dc();
    dc.SetTextColor(kWhite);
    dc.SetBkColor(kGreen);
    dc.SetBkMode(mode);
    const ui::FontSpec font{90, 400, kGothic};
    dc.SelectFont(&font);
    dc.DrawText("7", ui::Rect{0, 0, 120, 120}, ui::kDtCenter | ui::kDtVCenter | ui::kDtSingleLine);

    int green = 0;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 120; ++x) green += (surface.At(x, y) & 0xFFFFFF) == 0x00FF00;
    }
    const QRect changed = Changed(before, surface);
    if (mode == ui::kBkTransparent) {
      QCOMPARE(green, 0);
      // Top-left corner of the text cell, which the glyph does not reach.
      QCOMPARE(surface.At(changed.left(), 16), before.At(changed.left(), 16));
    } else {
      // The cell box, one advance wide and 90 high, is filled behind the glyph.
      QCOMPARE(changed.top(), 15);
      QCOMPARE(changed.bottom(), 104);
      QVERIFY(green > changed.width() * 90 / 2);
      QCOMPARE(surface.At(changed.left(), 15) & 0xFFFFFF, 0x00FF00u);
    }
    // Outside what was painted every byte, the unused one too, is as it was.
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 120; ++x) {
        if (!changed.contains(x, y)) QCOMPARE(surface.At(x, y), before.At(x, y));
      }
    }
  }

  void drawText_defaultFontLeftTopSingleLine() {
    Surface before(300, 40);
    before.Fill(0x0000FF, 0);
    Surface surface = before;
    ui::SurfaceDC dc = surface.Dc();
    dc.SetBkColor(kBlack);
    dc.SetTextColor(kWhite);
    const int height = dc.DrawText("** (2/8)", ui::Rect{0, 0, 300, 40}, ui::kDtSingleLine);
    QCOMPARE(height, 16);
    // Opaque by default: the cell from the rect's corner is black, below it untouched.
    QCOMPARE(surface.At(0, 0) & 0xFFFFFF, 0u);
    QCOMPARE(Changed(before, surface).top(), 0);
    QCOMPARE(Changed(before, surface).left(), 0);
    QCOMPARE(Changed(before, surface).bottom(), 15);
    QVERIFY(Changed(before, surface).right() < 150);
  }

  void drawText_clippedToRect() {
    Surface before(120, 120);
    before.Fill(kBlack, 0);
    Surface surface = before;
    ui::SurfaceDC dc = surface.Dc();
    dc.SetTextColor(kWhite);
    dc.SetBkColor(kGreen);
    const ui::FontSpec font{90, 400, kGothic};
    dc.SelectFont(&font);
    dc.DrawText("WWW", ui::Rect{20, 30, 70, 80},
                ui::kDtCenter | ui::kDtVCenter | ui::kDtSingleLine);
    QCOMPARE(Changed(before, surface), QRect(20, 30, 50, 50));
  }

  void stretchDIBits_ownSize_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("topDown");
    QTest::newRow("100, bottom-up") << 100 << false;
    QTest::newRow("100, top-down") << 100 << true;
    QTest::newRow("200, bottom-up") << 200 << false;
    QTest::newRow("200, top-down") << 200 << true;
  }

  void stretchDIBits_ownSize() {
    QFETCH(int, size);
    QFETCH(bool, topDown);
    const Bitmap bitmap(size, size, topDown);
    Surface before(120, 120);
    before.Fill(kBlack, 0);
    Surface surface = before;
    ui::SurfaceDC dc = surface.Dc();
    const ui::Rect whole{0, 0, size, size};
    QCOMPARE(dc.StretchDIBits(whole, whole, bitmap.bits.data(), bitmap.info.data()), size);

    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 120; ++x) {
        if (x < size && y < size) {
          QCOMPARE(surface.At(x, y) & 0xFFFFFF, Bitmap::Colour(x, y));
        } else {
          QCOMPARE(surface.At(x, y), before.At(x, y));  // the black L, every byte
        }
      }
    }
    // Row padding and the rows below the surface are never written.
    for (int y = 0; y < 122; ++y) {
      for (int i = 4 * 120; i < surface.pitch; ++i) {
        QCOMPARE(surface.bytes[static_cast<size_t>(y) * surface.pitch + i], uint8_t(0xC3));
      }
    }
    for (size_t i = static_cast<size_t>(surface.pitch) * 120; i < surface.bytes.size(); ++i) {
      QCOMPARE(surface.bytes[i], uint8_t(0xC3));
    }
  }

  void stretchDIBits_scalesWithoutSmoothing() {
    // Four pixels stretched to 100 x 100 at (10, 10): four flat quadrants.
    const Bitmap bitmap(2, 2, false);
    Surface before(120, 120);
    before.Fill(kBlack, 0);
    Surface surface = before;
    ui::SurfaceDC dc = surface.Dc();
    QCOMPARE(dc.StretchDIBits(ui::Rect{10, 10, 110, 110}, ui::Rect{0, 0, 2, 2}, bitmap.bits.data(),
                              bitmap.info.data()),
             2);
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 120; ++x) {
        if (x >= 10 && x < 110 && y >= 10 && y < 110) {
          QCOMPARE(surface.At(x, y) & 0xFFFFFF, Bitmap::Colour((x - 10) / 50, (y - 10) / 50));
        } else {
          QCOMPARE(surface.At(x, y), before.At(x, y));
        }
      }
    }
  }

  void stretchDIBits_badInput_drawsNothing_data() {
    QTest::addColumn<int>("bitCount");
    QTest::addColumn<int>("destWidth");
    QTest::addColumn<bool>("nullBits");
    QTest::newRow("unsupported depth") << 2 << 10 << false;
    QTest::newRow("empty destination") << 24 << 0 << false;
    QTest::newRow("no pixels") << 24 << 10 << true;
  }

  void stretchDIBits_badInput_drawsNothing() {
    QFETCH(int, bitCount);
    QFETCH(int, destWidth);
    QFETCH(bool, nullBits);
    Bitmap bitmap(4, 4, false);
    bitmap.info[14] = uint8_t(bitCount);
    Surface before(20, 20);
    before.Fill(kBlack, 0);
    Surface surface = before;
    ui::SurfaceDC dc = surface.Dc();
    QCOMPARE(dc.StretchDIBits(ui::Rect{0, 0, destWidth, 10}, ui::Rect{0, 0, 4, 4},
                              nullBits ? nullptr : bitmap.bits.data(), bitmap.info.data()),
             0);
    QCOMPARE(surface.bytes, before.bytes);
  }

  void setters_returnPreviousValues() {
    Surface surface(4, 4);
    ui::SurfaceDC dc = surface.Dc();
    QCOMPARE(dc.SetTextColor(0x123456), kBlack);
    QCOMPARE(dc.SetTextColor(0), 0x123456u);
    QCOMPARE(dc.SetBkColor(0x654321), kWhite);
    QCOMPARE(dc.SetBkColor(0), 0x654321u);
    QCOMPARE(dc.SetBkMode(ui::kBkTransparent), ui::kBkOpaque);
    QCOMPARE(dc.SetBkMode(7), 0);  // refused, mode kept
    QCOMPARE(dc.SetBkMode(ui::kBkOpaque), ui::kBkTransparent);
  }
};

QTEST_MAIN(SurfaceDcTest)
#include "surface_dc_test.moc"
