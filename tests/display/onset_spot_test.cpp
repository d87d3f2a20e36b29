// The onset-spot search: a spot is where the new canvas shows one colour that
// the screen does not show already, mapped into the window.
#include "display/onset_spot.h"

#include <QTest>
#include <vector>

namespace {

// A canvas of one colour (0xRRGGBB), stored blue first, with a square of
// another colour at (sx, sy) of side `side` (none when side is 0).
std::vector<uint8_t> Canvas(int width, int height, uint32_t rgb, int sx = 0, int sy = 0,
                            int side = 0, uint32_t squareRgb = 0) {
  std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const bool in = x >= sx && x < sx + side && y >= sy && y < sy + side;
      const uint32_t c = in ? squareRgb : rgb;
      uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = c & 0xFF;
      p[1] = c >> 8 & 0xFF;
      p[2] = c >> 16 & 0xFF;
      p[3] = 0;
    }
  }
  return pixels;
}

}  // namespace

class OnsetSpotTest : public QObject {
  Q_OBJECT
 private slots:
  void findsSpot_data();
  void findsSpot();
  void mapsIntoTarget();
  void sameColourTolerance_data();
  void sameColourTolerance();
};

void OnsetSpotTest::findsSpot_data() {
  QTest::addColumn<bool>("shownIsCanvas");
  QTest::addColumn<uint32_t>("shownRgb");  // the fill, or the old canvas's colour
  QTest::addColumn<int>("side");           // of the new canvas's white square, 0: none
  QTest::addColumn<int>("targetWidth");
  QTest::addColumn<bool>("focusOnSquare");
  QTest::addColumn<bool>("valid");
  QTest::addColumn<uint32_t>("newRgb");
  QTest::addColumn<uint32_t>("oldRgb");
  QTest::newRow("grey over black fill")
      << false << 0x000000u << 0 << 64 << false << true << 0x808080u << 0x000000u;
  QTest::newRow("same as the fill") << false << 0x808080u << 0 << 64 << false << false << 0u << 0u;
  QTest::newRow("within tolerance of the fill")
      << false << 0x848488u << 0 << 64 << false << false << 0u << 0u;
  QTest::newRow("only the square differs")
      << false << 0x808080u << 10 << 64 << false << true << 0xFFFFFFu << 0x808080u;
  QTest::newRow("focus finds the square")
      << false << 0x808080u << 10 << 64 << true << true << 0xFFFFFFu << 0x808080u;
  QTest::newRow("square too small to be one colour")
      << false << 0x808080u << 3 << 64 << false << false << 0u << 0u;
  QTest::newRow("over an old canvas")
      << true << 0x202020u << 0 << 64 << false << true << 0x808080u << 0x202020u;
  QTest::newRow("same as the old canvas")
      << true << 0x808080u << 0 << 64 << false << false << 0u << 0u;
  QTest::newRow("empty target") << false << 0x000000u << 0 << 0 << false << false << 0u << 0u;
}

void OnsetSpotTest::findsSpot() {
  QFETCH(bool, shownIsCanvas);
  QFETCH(uint32_t, shownRgb);
  QFETCH(int, side);
  QFETCH(int, targetWidth);
  QFETCH(bool, focusOnSquare);
  QFETCH(bool, valid);
  QFETCH(uint32_t, newRgb);
  QFETCH(uint32_t, oldRgb);
  constexpr int kW = 32;
  constexpr int kH = 24;
  const ui::Rect target{0, 0, targetWidth, 48};
  const std::vector<uint8_t> canvas = Canvas(kW, kH, 0x808080u, 20, 10, side, 0xFFFFFFu);
  display::ShownFrame shown;
  if (shownIsCanvas) {
    const std::vector<uint8_t> old = Canvas(kW, kH, shownRgb);
    shown.KeepCanvas(old.data(), kW, kH, kW * 4, target);
  } else {
    shown.KeepFill(shownRgb);
  }
  const ui::Rect focus = focusOnSquare ? ui::Rect{20, 10, 30, 20} : ui::Rect{};
  const display::OnsetSpot spot =
      display::FindSpot(canvas.data(), kW, kH, kW * 4, target, focus, shown);
  QCOMPARE(spot.valid, valid);
  if (!valid) return;
  QCOMPARE(spot.newRgb, newRgb);
  QCOMPARE(spot.oldRgb, oldRgb);
}

// The spot is the window pixel over the canvas pixel, and a canvas shown in
// another place or size says nothing of what the screen shows.
void OnsetSpotTest::mapsIntoTarget() {
  constexpr int kW = 32;
  constexpr int kH = 24;
  const std::vector<uint8_t> canvas = Canvas(kW, kH, 0x000000u, 20, 10, 8, 0xFFFFFFu);
  const ui::Rect target{100, 50, 164, 98};  // twice the canvas
  display::ShownFrame shown;
  shown.KeepFill(0x000000u);
  const display::OnsetSpot spot =
      display::FindSpot(canvas.data(), kW, kH, kW * 4, target, ui::Rect{20, 10, 28, 18}, shown);
  QVERIFY(spot.valid);
  // The first point searched whose square is all white is canvas pixel (22, 12).
  QCOMPARE(spot.x, 100 + 45);
  QCOMPARE(spot.y, 50 + 25);
  const std::vector<uint8_t> old = Canvas(kW, kH, 0x000000u);
  shown.KeepCanvas(old.data(), kW, kH, kW * 4, ui::Rect{0, 0, 64, 48});
  QVERIFY(!display::FindSpot(canvas.data(), kW, kH, kW * 4, target, ui::Rect{}, shown).valid);
}

void OnsetSpotTest::sameColourTolerance_data() {
  QTest::addColumn<uint32_t>("a");
  QTest::addColumn<uint32_t>("b");
  QTest::addColumn<bool>("same");
  QTest::newRow("equal") << 0x123456u << 0x123456u << true;
  QTest::newRow("12 off in red") << 0x803040u << 0x8C3040u << true;
  QTest::newRow("13 off in red") << 0x803040u << 0x8D3040u << false;
  QTest::newRow("13 off in blue") << 0x803040u << 0x80304Du << false;
  QTest::newRow("13 off in green") << 0x803040u << 0x803D40u << false;
}

void OnsetSpotTest::sameColourTolerance() {
  QFETCH(uint32_t, a);
  QFETCH(uint32_t, b);
  QFETCH(bool, same);
  QCOMPARE(display::SameColour(a, b), same);
  QCOMPARE(display::SameColour(b, a), same);
}

QTEST_APPLESS_MAIN(OnsetSpotTest)
#include "onset_spot_test.moc"
