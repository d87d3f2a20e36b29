#include <QtTest>
#include <climits>
#include <cstring>

#include "display/layout.h"
#include "display/surfaces.h"

namespace {

uint32_t PixelAt(const SurfaceRecord& s, int x, int y) {
  uint32_t v;
  std::memcpy(&v, s.buffer.data() + y * s.pitch + 4 * x, 4);
  return v;
}

// Columns of row y that are not 0, as first and last (-1, -1 when none);
// false when they are not one run.
bool RowRun(const SurfaceRecord& s, int y, int* first, int* last) {
  *first = *last = -1;
  for (int x = 0; x < s.width; ++x) {
    if (!PixelAt(s, x, y)) continue;
    if (*first < 0) *first = x;
    if (*last >= 0 && *last != x - 1) return false;
    *last = x;
  }
  return true;
}

// Bytes in the row padding, beyond the surface's width.
bool PaddingClear(const SurfaceRecord& s) {
  for (int y = 0; y < s.height; ++y) {
    for (int b = 4 * s.width; b < s.pitch; ++b) {
      if (s.buffer[y * s.pitch + b]) return false;
    }
  }
  return true;
}

}  // namespace

class DiscTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    ReleasePatchSurfaces();
    QCOMPARE(CreatePatchSurface(), 0);
    QCOMPARE(Lock(0), 1);
  }
  void cleanup() { ReleasePatchSurfaces(); }

  void disc_coversExpectedPixels() {
    FillDisc(0, 0xFFFFFF);
    const SurfaceRecord& s = *FindSurface(0);
    int count = 0;
    for (int y = 0; y < 120; ++y) {
      for (int x = 0; x < 120; ++x) count += PixelAt(s, x, y) ? 1 : 0;
    }
    QCOMPARE(count, 11157);
    QVERIFY(PaddingClear(s));
    for (int i = 0; i < 120; ++i) {
      QCOMPARE(PixelAt(s, i, 0), 0u);
      QCOMPARE(PixelAt(s, 0, i), 0u);
    }
    for (int y = 1; y < 120; ++y) {
      for (int x = 1; x < 120; ++x) {
        QCOMPARE(PixelAt(s, x, y), PixelAt(s, 120 - x, y));
        QCOMPARE(PixelAt(s, x, y), PixelAt(s, x, 120 - y));
      }
    }
  }

  void discRows_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("row 0") << 0 << -1 << -1;
    QTest::newRow("row 1") << 1 << 53 << 67;
    QTest::newRow("row 2") << 2 << 47 << 73;
    QTest::newRow("row 10") << 10 << 28 << 92;
    QTest::newRow("row 30") << 30 << 9 << 111;
    QTest::newRow("row 59") << 59 << 1 << 119;
    QTest::newRow("row 60") << 60 << 1 << 119;
    QTest::newRow("row 61") << 61 << 1 << 119;
    QTest::newRow("row 119") << 119 << 53 << 67;
  }
  void discRows() {
    QFETCH(int, row);
    QFETCH(int, first);
    QFETCH(int, last);
    FillDisc(0, 0x00FF00);
    int f = 0;
    int l = 0;
    QVERIFY(RowRun(*FindSurface(0), row, &f, &l));
    QCOMPARE(f, first);
    QCOMPARE(l, last);
  }

  void discColour_bytesAreBlueGreenRedZero_data() {
    QTest::addColumn<uint>("colour");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("white") << 0xFFFFFFu << QByteArray("\xFF\xFF\xFF\x00", 4);
    QTest::newRow("red") << 0x0000FFu << QByteArray("\x00\x00\xFF\x00", 4);
    QTest::newRow("green") << 0x00FF00u << QByteArray("\x00\xFF\x00\x00", 4);
    QTest::newRow("high byte ignored") << 0xAA112233u << QByteArray("\x11\x22\x33\x00", 4);
  }
  void discColour_bytesAreBlueGreenRedZero() {
    QFETCH(uint, colour);
    QFETCH(QByteArray, bytes);
    FillDisc(0, colour);
    const SurfaceRecord& s = *FindSurface(0);
    const char* centre = reinterpret_cast<const char*>(s.buffer.data() + 60 * s.pitch + 4 * 60);
    QCOMPARE(QByteArray(centre, 4), bytes);
  }

  void unlockedSurface_getsNothing() {
    QCOMPARE(Unlock(0), 1);
    FillDisc(0, 0xFFFFFF);
    FillSpan(0, 0, 5, 120, 0xFFFFFF);
    for (uint8_t b : FindSurface(0)->buffer) QCOMPARE(b, uint8_t{0});
  }

  void spanClipping_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("first");  // -1: nothing written
    QTest::addColumn<int>("last");
    QTest::newRow("inside") << 10 << 5 << 3 << 10 << 12;
    QTest::newRow("row -1") << 0 << -1 << 10 << -1 << -1;
    QTest::newRow("row 120") << 0 << 120 << 10 << -1 << -1;
    QTest::newRow("row 119") << 0 << 119 << 2 << 0 << 1;
    QTest::newRow("over left") << -5 << 5 << 10 << 0 << 4;
    QTest::newRow("ends at left") << -10 << 5 << 10 << -1 << -1;
    QTest::newRow("over right") << 115 << 5 << 10 << 115 << 119;
    QTest::newRow("ends at right") << 110 << 5 << 10 << 110 << 119;
    QTest::newRow("last column") << 119 << 5 << 1 << 119 << 119;
    QTest::newRow("right of surface") << 120 << 5 << 1 << -1 << -1;
    QTest::newRow("both sides") << -3 << 5 << 500 << 0 << 119;
    QTest::newRow("count 0") << 5 << 5 << 0 << -1 << -1;
    QTest::newRow("count negative") << 5 << 5 << -4 << -1 << -1;
    QTest::newRow("huge x and count") << INT_MAX << 5 << INT_MAX << -1 << -1;
    QTest::newRow("INT_MIN x") << INT_MIN << 5 << INT_MAX << -1 << -1;
  }
  void spanClipping() {
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(int, count);
    QFETCH(int, first);
    QFETCH(int, last);
    FillSpan(0, x, y, count, 0xFFFFFF);
    const SurfaceRecord& s = *FindSurface(0);
    QVERIFY(PaddingClear(s));
    for (int row = 0; row < 120; ++row) {
      int f = 0;
      int l = 0;
      QVERIFY(RowRun(s, row, &f, &l));
      const bool written = row == y && first >= 0;
      QCOMPARE(f, written ? first : -1);
      QCOMPARE(l, written ? last : -1);
    }
  }
};

QTEST_APPLESS_MAIN(DiscTest)
#include "disc_test.moc"
