#include "display/layout.h"

#include <QtTest>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

#include "bmp_builder.h"
#include "display/dib_image.h"
#include "display/surfaces.h"
#include "recording_dc.h"

namespace {

uint32_t PixelAt(SurfaceId id, int x, int y) {
  const SurfaceRecord& s = *FindSurface(id);
  uint32_t v;
  std::memcpy(&v, s.buffer.data() + y * s.pitch + 4 * x, 4);
  return v;
}

int CountPixels(SurfaceId id, uint32_t value) {
  int n = 0;
  for (int y = 0; y < 120; ++y) {
    for (int x = 0; x < 120; ++x) n += PixelAt(id, x, y) == value ? 1 : 0;
  }
  return n;
}

// Pixel values as they lie in memory (blue, green, red, 0 read little-endian).
constexpr uint32_t kWhitePixel = 0x00FFFFFF;
constexpr uint32_t kRedPixel = 0x00FF0000;
constexpr uint32_t kGreenPixel = 0x0000FF00;

int LayOut(int nItems) {
  ResetTest();
  testState.trials[0].NItems = nItems;
  ReleasePatchSurfaces();
  return LayOutTrial(0);
}

std::vector<std::pair<int, int>> Positions(int n) {
  std::vector<std::pair<int, int>> v;
  for (int i = 0; i < n; ++i) v.emplace_back(PatchLayout[i].x, PatchLayout[i].y);
  return v;
}

}  // namespace

class LayoutTest : public QObject {
  Q_OBJECT

 private:
  testing::RecordingUi* ui_ = nullptr;

 private slots:
  void init() {
    ui_ = new testing::RecordingUi;
    patchBitmap.Clear();
    patchBitmapLoaded = 0;
    ReleasePatchSurfaces();
  }
  void cleanup() {
    ReleasePatchSurfaces();
    patchBitmap.Clear();
    patchBitmapLoaded = 0;
    delete ui_;
  }

  void rand_followsGenerator() {
    SRand(1);
    const std::vector<int> fromOne{41, 18467, 6334, 26500, 19169, 15724, 11478};
    for (int expected : fromOne) QCOMPARE(Rand(), expected);
    // State 0 steps to 2531011, whose bits 16 to 30 are 38.
    SRand(0);
    QCOMPARE(Rand(), 38);
    QCOMPARE(Rand(), 7719);
  }

  void gridCell_data() {
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("cell");
    QTest::newRow("16384, 0: 2.4998") << 16384 << 0 << 2;
    QTest::newRow("32767, 32767: 4.9999") << 32767 << 32767 << 4;
    QTest::newRow("0, 32767") << 0 << 32767 << 0;
    QTest::newRow("0, 0") << 0 << 0 << 0;
    // 2^30 / 5 = 214748364.8 = 6553 * 32767 + 26213.8
    QTest::newRow("just below 1") << 6553 << 26213 << 0;
    QTest::newRow("just at 1") << 6553 << 26214 << 1;
  }
  void gridCell() {
    QFETCH(int, high);
    QFETCH(int, low);
    QFETCH(int, cell);
    QCOMPARE(GridCell(high, low), cell);
  }

  void firstCell_comesFromFirstFourDraws() {
    // After SRand(7) the draws are 61, 17422, 15215, 7040:
    // row = 5 * (61 * 32767 + 17422) / 2^30 = 10081045 / 1073741824 = 0.009 -> 0
    // column = 5 * (15215 * 32767 + 7040) / 2^30 = 2492784725 / 1073741824 = 2.32 -> 2
    SRand(7);
    QCOMPARE(LayOut(1), 1);
    QCOMPARE(PatchLayout[0].x, 2 * 150 + 137);
    QCOMPARE(PatchLayout[0].y, 0 * 150 + 9);
  }

  void collidingCandidate_isDiscardedWhole() {
    // After SRand(6) the draws are
    //   58, 6673, 30119, 15745    row 9535795 * 5 / 2^30 -> 0, column 4934625090 / 2^30 -> 4
    //   5206, 2589, 27040, 14722  row 852937955 / 2^30 -> 0, column 4430172010 / 2^30 -> 4
    //   11216, 26492, 4966, 28365 row 1837705820 / 2^30 -> 1, column 813746435 / 2^30 -> 0
    //   2904 ...
    // The second candidate repeats the first cell and goes with all four of its
    // draws, so patch 2 takes the third candidate and the 13th draw is still unread.
    SRand(6);
    QCOMPARE(LayOut(2), 1);
    QCOMPARE(PatchLayout[0].x, 4 * 150 + 137);
    QCOMPARE(PatchLayout[0].y, 9);
    QCOMPARE(PatchLayout[1].x, 137);
    QCOMPARE(PatchLayout[1].y, 150 + 9);
    QCOMPARE(Rand(), 2904);
  }

  void sameStart_givesSameLayouts() {
    std::vector<std::vector<std::pair<int, int>>> first;
    SRand(12345);
    for (int n = 1; n <= 8; ++n) {
      QCOMPARE(LayOut(n), 1);
      first.push_back(Positions(n));
    }
    SRand(12345);
    for (int n = 1; n <= 8; ++n) {
      QCOMPARE(LayOut(n), 1);
      QCOMPARE(Positions(n), first[n - 1]);
    }
  }

  void cells_areDistinctGridPositions_data() {
    QTest::addColumn<int>("nItems");
    QTest::addColumn<uint>("start");
    QTest::newRow("1 patch") << 1 << 3u;
    QTest::newRow("5 patches") << 5 << 99u;
    QTest::newRow("12 patches") << 12 << 2024u;
    QTest::newRow("20 patches") << 20 << 1u;
    QTest::newRow("20 patches, other start") << 20 << 0xDEADBEEFu;
  }
  void cells_areDistinctGridPositions() {
    QFETCH(int, nItems);
    QFETCH(uint, start);
    SRand(start);
    QCOMPARE(LayOut(nItems), 1);
    std::set<std::pair<int, int>> cells;
    for (const auto& [x, y] : Positions(nItems)) {
      QVERIFY((x - 137) % 150 == 0 && x >= 137 && x <= 737);
      QVERIFY((y - 9) % 150 == 0 && y >= 9 && y <= 609);
      cells.insert({x, y});
    }
    QCOMPARE(int(cells.size()), nItems);
  }

  void singlePatch_reachesEveryCell() {
    SRand(42);
    std::set<std::pair<int, int>> cells;
    for (int k = 0; k < 400 && cells.size() < 25; ++k) {
      QCOMPARE(LayOut(1), 1);
      cells.insert({PatchLayout[0].x, PatchLayout[0].y});
    }
    QCOMPARE(int(cells.size()), 25);
  }

  void ids_followCreationOrder() {
    SRand(5);
    QCOMPARE(LayOut(4), 1);
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(PatchLayout[i].numberedImage, 3 * i);
      QCOMPARE(PatchLayout[i].errorImage, 3 * i + 1);
      QCOMPARE(PatchLayout[i].finalImage, 3 * i + 2);
    }
    QCOMPARE(coverImage, 12);
    QCOMPARE(displayState.SurfaceTable.size(), size_t{13});
    QCOMPARE(LayOut(2), 1);  // after the release, ids start at 0 again
    QCOMPARE(PatchLayout[0].numberedImage, 0);
    QCOMPARE(coverImage, 6);
  }

  void patchCount_isClampedToTable_data() {
    QTest::addColumn<int>("nItems");
    QTest::addColumn<int>("surfaces");
    QTest::newRow("0: cover only") << 0 << 1;
    QTest::newRow("negative: cover only") << -3 << 1;
    QTest::newRow("21: twenty patches") << 21 << 61;
    QTest::newRow("1000: twenty patches") << 1000 << 61;
  }
  void patchCount_isClampedToTable() {
    QFETCH(int, nItems);
    QFETCH(int, surfaces);
    SRand(8);
    QCOMPARE(LayOut(nItems), 1);
    QCOMPARE(int(displayState.SurfaceTable.size()), surfaces);
    QCOMPARE(coverImage, surfaces - 1);
  }

  void badTrialIndex_fails() {
    ResetTest();
    QCOMPARE(LayOutTrial(-1), 0);
    QCOMPARE(LayOutTrial(kMaxTrials), 0);
    QVERIFY(displayState.SurfaceTable.empty());
  }

  void surfaceFailure_failsLayout() {
    for (int i = 0; i < kMaxPatchSurfaces - 5; ++i) QCOMPARE(CreatePatchSurface(), i);
    ResetTest();  // 3 patches need 10 surfaces, 5 are left
    QCOMPARE(LayOutTrial(0), 0);
  }

  void images_areBlackWithDiscOfTheirColour() {
    SRand(3);
    QCOMPARE(LayOut(2), 1);
    const std::pair<SurfaceId, uint32_t> images[] = {{PatchLayout[1].numberedImage, kWhitePixel},
                                                     {PatchLayout[1].errorImage, kRedPixel},
                                                     {PatchLayout[1].finalImage, kGreenPixel},
                                                     {coverImage, kWhitePixel}};
    for (const auto& [id, colour] : images) {
      QCOMPARE(PixelAt(id, 60, 60), colour);
      QCOMPARE(PixelAt(id, 0, 0), 0u);
      QCOMPARE(PixelAt(id, 119, 0), 0u);
      QCOMPARE(CountPixels(id, colour), 11157);
      QCOMPARE(CountPixels(id, 0), 120 * 120 - 11157);
      QCOMPARE(FindSurface(id)->locked, 0);
      QCOMPARE(FindSurface(id)->dcHeld, 0);
    }
  }

  void numbers_drawnThroughOneContextPerImage() {
    SRand(3);
    QCOMPARE(LayOut(3), 1);
    const auto& dcs = ui_->dcLog.dcs;
    QCOMPARE(dcs.size(), size_t{9});  // the white-disc cover has no number
    for (int k = 0; k < 9; ++k) {
      const int row = k / 3;
      const SurfaceId id = k % 3 == 0   ? PatchLayout[row].numberedImage
                           : k % 3 == 1 ? PatchLayout[row].errorImage
                                        : PatchLayout[row].finalImage;
      QCOMPARE(dcs[k].pixels, FindSurface(id)->buffer.data());
      QCOMPARE(dcs[k].width, 120);
      QCOMPARE(dcs[k].height, 120);
      QCOMPARE(dcs[k].pitch, FindSurface(id)->pitch);
      QVERIFY(dcs[k].released);
      const std::vector<std::string> expected{
          "SetTextColor 0", "SetBkMode 1", "SelectFont 90 400 ＭＳ Ｐゴシック",
          "DrawText " + std::to_string(row + 1) + " 0,0,120,120 37", "SelectFont default"};
      QCOMPARE(dcs[k].calls, expected);
    }
  }

  void noDeviceContext_layoutGoesOnWithoutNumbers() {
    ui_->giveDc = false;
    SRand(3);
    QCOMPARE(LayOut(3), 1);
    QCOMPARE(displayState.SurfaceTable.size(), size_t{10});
    QCOMPARE(CountPixels(PatchLayout[2].errorImage, kRedPixel), 11157);
    QCOMPARE(FindSurface(PatchLayout[2].errorImage)->dcHeld, 0);
  }

  void coverWithBitmap_drawnAtOwnSizeFromOrigin_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("100 x 100") << 100 << 100;
    QTest::newRow("200 x 200") << 200 << 200;
    QTest::newRow("top-down 50 x 30") << 50 << -30;
  }
  void coverWithBitmap_drawnAtOwnSizeFromOrigin() {
    QFETCH(int, width);
    QFETCH(int, height);
    testing::BmpShape shape;
    shape.width = width;
    shape.height = height;
    const std::vector<uint8_t> file = testing::MakeBmp(shape);
    QCOMPARE(patchBitmap.LoadFromMemory(file.data(), file.size()), 1);
    patchBitmapLoaded = 1;
    SRand(3);
    QCOMPARE(LayOut(1), 1);
    const auto& dcs = ui_->dcLog.dcs;
    QCOMPARE(dcs.size(), size_t{4});
    QCOMPARE(dcs[3].pixels, FindSurface(coverImage)->buffer.data());
    QCOMPARE(dcs[3].calls, std::vector<std::string>{"StretchDIBits"});
    QVERIFY(dcs[3].released);
    QCOMPARE(ui_->dcLog.stretches.size(), size_t{1});
    const testing::DcLog::Stretch& s = ui_->dcLog.stretches[0];
    const ui::Rect whole{0, 0, width, std::abs(height)};
    QVERIFY(s.dest == whole);
    QVERIFY(s.src == whole);
    QCOMPARE(s.bits, static_cast<const void*>(patchBitmap.bits));
    QCOMPARE(s.info, static_cast<const void*>(patchBitmap.header));
    // Only the bitmap is drawn: no disc under it.
    QCOMPARE(CountPixels(coverImage, 0), 120 * 120);
  }

  void coverWithoutBitmap_isWhiteDisc() {
    testing::BmpShape shape;
    const std::vector<uint8_t> file = testing::MakeBmp(shape);
    QCOMPARE(patchBitmap.LoadFromMemory(file.data(), file.size()), 1);
    patchBitmapLoaded = 0;  // held but not loaded at start-up
    SRand(3);
    QCOMPARE(LayOut(1), 1);
    QVERIFY(ui_->dcLog.stretches.empty());
    QCOMPARE(CountPixels(coverImage, kWhitePixel), 11157);
  }
};

QTEST_APPLESS_MAIN(LayoutTest)
#include "layout_test.moc"
