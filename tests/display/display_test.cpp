// The display without a screen: bitmap files, surfaces, the disc raster, the
// trial layout with its images painted by the real Qt device context, and the
// committed stimuli.
#include <QFontInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>
#include <climits>
#include <cstring>
#include <fstream>
#include <set>

#include "bmp_builder.h"
#include "display/dib_image.h"
#include "display/layout.h"
#include "display/surfaces.h"
#include "support/fake_ui.h"
#include "ui/surface_dc.h"

using testing::MakeBmp;
using Bytes = std::vector<uint8_t>;
using V = QVector<int>;
Q_DECLARE_METATYPE(Bytes)

namespace {

std::vector<ui::FontSpec> fontsAsked;

struct RecordingDc : ui::SurfaceDC {
  using SurfaceDC::SurfaceDC;
  void SelectFont(const ui::FontSpec* font) override {
    if (font) fontsAsked.push_back(*font);
    SurfaceDC::SelectFont(font);
  }
};

struct PaintingUi : testing::FakeUi {
  std::unique_ptr<ui::DeviceContext> CreateSurfaceDC(uint8_t* p, int w, int h, int pitch) override {
    return std::make_unique<RecordingDc>(p, w, h, pitch);
  }
};

struct NullPresenter : display::Presenter {
  void BindWindow(ui::WindowHandle) override {}
  void WaitVerticalBlank() override {}
  bool FillScreen(uint32_t) override { return true; }
  bool Present(const uint8_t*, int, int, int, const ui::Rect&) override { return true; }
};

// Blue, green and red of a pixel read as 0x00RRGGBB; the painter may set the fourth byte.
uint32_t PixelAt(SurfaceId id, int x, int y) {
  const SurfaceRecord& s = *FindSurface(id);
  uint32_t v;
  std::memcpy(&v, s.buffer.data() + y * s.pitch + 4 * x, 4);
  return v & 0xFFFFFF;
}

int Count(SurfaceId id, uint32_t value) {
  int n = 0;
  for (int i = 0; i < 120 * 120; ++i) n += PixelAt(id, i % 120, i / 120) == value;
  return n;
}

Bytes Patched(Bytes b, size_t at, uint32_t v, int bytes = 4) {
  testing::PutLe(&b, at, v, bytes);
  return b;
}

void WriteFile(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

bool IsEmpty(const DibImage& d) {
  return !d.width && !d.height && !d.bitCount && !d.rowBytes && !d.colourCount &&
         d.memory.empty() && !d.header && !d.colourTable && !d.bits;
}

int LayOut(uint32_t start, int patches) {
  ResetTest();
  testState.trials[0].NItems = patches;
  ReleasePatchSurfaces();
  SRand(start);
  return LayOutTrial(0);
}

}  // namespace

class DisplayTest : public QObject {
  Q_OBJECT
  PaintingUi ui_;  // installs itself

 private slots:
  void initTestCase() {
    display::SetPresenterFactory(
        [](ui::WindowHandle) { return std::make_unique<NullPresenter>(); });
  }
  void cleanup() {
    ShutDownDisplay();
    patchBitmap.Clear();
    patchBitmapLoaded = 0;
  }

  void dib_load_data() {
    // The file, and the row bytes, colour count and start of the pixels (from
    // the information header) it loads with; nothing for no picture.
    QTest::addColumn<Bytes>("file");  // empty: no file at all
    QTest::addColumn<V>("loaded");
    QTest::newRow("1 bit, 1 wide") << MakeBmp({1, 2, 1}) << V{4, 2, 48};
    QTest::newRow("1 bit, 33 wide") << MakeBmp({33, 2, 1}) << V{8, 2, 48};
    QTest::newRow("24 bits, 3 wide, 5 colours used") << MakeBmp({3, 2, 24, 5}) << V{12, 0, 40};
    QTest::newRow("24 bits, 4 wide") << MakeBmp({4, 2, 24}) << V{12, 0, 40};
    QTest::newRow("24 bits, 5 wide") << MakeBmp({5, 2, 24}) << V{16, 0, 40};
    QTest::newRow("8 bits, 0 colours used") << MakeBmp({3, 2, 8}) << V{4, 256, 1064};
    QTest::newRow("8 bits, 10 colours used") << MakeBmp({3, 2, 8, 10}) << V{4, 10, 80};
    QTest::newRow("4 bits") << MakeBmp({3, 2, 4}) << V{4, 16, 104};
    QTest::newRow("16 bits") << MakeBmp({3, 2, 16}) << V{8, 0, 40};
    const Bytes good = MakeBmp({4, 2, 24}), good8 = MakeBmp({4, 2, 8});
    auto cut = [](const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + n); };
    QTest::newRow("missing") << Bytes{} << V{};
    QTest::newRow("13 bytes") << cut(good, 13) << V{};
    QTest::newRow("not BM") << Patched(good, 0, 'M' | 'B' << 8, 2) << V{};
    QTest::newRow("last pixel byte missing") << cut(good, good.size() - 1) << V{};
    QTest::newRow("colour table past the end") << Patched(good8, 46, 300) << V{};
    QTest::newRow("colours used absurd") << Patched(good8, 46, 0xFFFFFFFF) << V{};
    QTest::newRow("pixel rows past the end") << Patched(good, 22, 5000) << V{};
    QTest::newRow("width 0") << Patched(good, 18, 0) << V{};
    QTest::newRow("height 0") << Patched(good, 22, 0) << V{};
    QTest::newRow("height INT_MIN") << Patched(good, 22, 0x80000000u) << V{};
    QTest::newRow("2 bits") << Patched(good, 28, 2, 2) << V{};
    QTest::newRow("RLE8") << Patched(good8, 30, 1) << V{};
  }
  void dib_load() {
    QFETCH(Bytes, file);
    QFETCH(V, loaded);
    QTemporaryDir dir;
    const std::string firstPath = dir.filePath("first.bmp").toStdString();
    const std::string path = dir.filePath("second.bmp").toStdString();
    const Bytes first = MakeBmp({8, 8, 8});
    WriteFile(firstPath, first);
    if (!file.empty()) WriteFile(path, file);
    // Each holds another picture first: a failed reload must leave nothing of it.
    DibImage a, b;
    QVERIFY(a.Load(firstPath) && b.LoadFromMemory(first.data(), first.size()));
    QCOMPARE(a.Load(path), int(!loaded.isEmpty()));
    QCOMPARE(b.LoadFromMemory(file.data(), file.size()), int(!loaded.isEmpty()));
    for (const DibImage* d : {&a, &b}) {
      QVERIFY(loaded.isEmpty() ? IsEmpty(*d) : d->width > 0);
      if (d->width) QCOMPARE(V({d->rowBytes, d->colourCount, int(d->bits - d->header)}), loaded);
    }
  }

  void surfaces_presentRectAndCornerMapping_data() {
    // Screen width and height; PresentRect; where screen (0, 0) lies on the canvas.
    QTest::addColumn<V>("v");
    QTest::newRow("1024x768") << V{1024, 768, 0, 0, 1024, 768, 0, 0};
    QTest::newRow("1920x1080") << V{1920, 1080, 240, 0, 1680, 1080, -170, 0};
    QTest::newRow("1280x1024") << V{1280, 1024, 0, 32, 1280, 992, 0, -25};
    QTest::newRow("1600x1200") << V{1600, 1200, 0, 0, 1600, 1200, 0, 0};
  }
  void surfaces_presentRectAndCornerMapping() {
    QFETCH(V, v);
    const ui::Rect rect{v[2], v[3], v[4], v[5]};
    ui_.screenWidth = v[0];
    ui_.screenHeight = v[1];
    QVERIFY(InitDisplay(nullptr));
    QVERIFY(displayState.PresentRect == rect);
    const QPoint screen[] = {{rect.left, rect.top}, {rect.right - 1, rect.bottom - 1}, {0, 0}};
    QVector<QPoint> canvas(3);
    for (int i = 0; i < 3; ++i)
      MapScreenToCanvas(screen[i].x(), screen[i].y(), &canvas[i].rx(), &canvas[i].ry());
    QCOMPARE(canvas, (QVector<QPoint>{{0, 0}, {1023, 767}, {v[6], v[7]}}));
  }

  void surfaces_badIdsDoubleLockReleaseShutdownAndMissingPresenter() {
    QVERIFY(InitDisplay(nullptr));
    QCOMPARE(CreatePatchSurface(), 0);
    QCOMPARE(CreatePatchSurface(), 1);
    for (const SurfaceId id : {2, -3, INT_MIN}) {
      QVERIFY(!FindSurface(id));
      QCOMPARE(ColourFill(id, 0) + Lock(id) + Unlock(id) + CopyToCanvas(0, 0, id), 0);
    }
    QCOMPARE(Lock(1), 1);
    uint8_t* const pixels = FindSurface(1)->pixels;
    QCOMPARE(Lock(1), 0);
    QVERIFY(pixels && FindSurface(1)->locked && FindSurface(1)->pixels == pixels);
    ReleasePatchSurfaces();
    QVERIFY(!FindSurface(0));
    QCOMPARE(CreatePatchSurface(), 0);
    ShutDownDisplay();
    ShutDownDisplay();
    QCOMPARE(Present(), 0);
    QVERIFY(InitDisplay(nullptr));
    QCOMPARE(Present(), 1);
    const display::PresenterFactory previous = display::SetPresenterFactory(nullptr);
    const bool started = InitDisplay(nullptr);
    display::SetPresenterFactory(previous);
    QVERIFY(!started);
    QCOMPARE(Present(), 0);
  }

  void surfaces_copyToCanvas_placesPixels_data() {
    QTest::addColumn<QPoint>("at");
    QTest::newRow("patch cell") << QPoint(137, 9);
    QTest::newRow("over left and top") << QPoint(-10, -20);
    QTest::newRow("over right and bottom") << QPoint(1000, 700);
  }
  void surfaces_copyToCanvas_placesPixels() {
    QFETCH(QPoint, at);
    QVERIFY(InitDisplay(nullptr));
    QCOMPARE(CreatePatchSurface(), 0);
    SurfaceRecord& patch = *FindSurface(0);
    for (size_t i = 0; i < patch.buffer.size(); ++i) patch.buffer[i] = uint8_t(i % 251 + 1);
    QCOMPARE(CopyToCanvas(at.x(), at.y(), 0), 1);
    const uint8_t black[4] = {};
    int wrong = 0;
    for (int i = 0; i < 1024 * 768; ++i) {
      const QPoint p = QPoint(i % 1024, i / 1024) - at;
      const bool inside = QRect(0, 0, 120, 120).contains(p);
      const uint8_t* from = inside ? &patch.buffer[p.y() * patch.pitch + 4 * p.x()] : black;
      wrong += std::memcmp(&displayState.canvas.buffer[4 * i], from, 4) != 0;
    }
    QCOMPARE(wrong, 0);
  }

  void disc_pixelsRowsAndColourBytes() {
    QVERIFY(CreatePatchSurface() == 0 && Lock(0));
    FillDisc(0, 0xAA332211);  // the high byte is not a colour
    QCOMPARE(120 * 120 - Count(0, 0), 11157);
    for (int i = 0; i < 120; ++i) QVERIFY(!PixelAt(0, i, 0) && !PixelAt(0, 0, i));
    const int rows[][3] = {{1, 53, 67},  {2, 47, 73},  {10, 28, 92}, {30, 9, 111},
                           {59, 1, 119}, {60, 1, 119}, {61, 1, 119}, {119, 53, 67}};
    for (const auto& [y, first, last] : rows) {
      QVERIFY2(PixelAt(0, first, y) && PixelAt(0, last, y) && !PixelAt(0, first - 1, y) &&
                   (last == 119 || !PixelAt(0, last + 1, y)),
               qPrintable(QString("row %1").arg(y)));
    }
    const SurfaceRecord& s = *FindSurface(0);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(&s.buffer[60 * s.pitch + 4 * 60]), 4),
             QByteArray("\x33\x22\x11\x00", 4));
  }

  void disc_spanClipping_data() {
    QTest::addColumn<V>("v");  // x, y, count; first and last column written (-1: none)
    QTest::newRow("inside") << V{10, 5, 3, 10, 12};
    QTest::newRow("row -1") << V{0, -1, 10, -1, -1};
    QTest::newRow("row 120") << V{0, 120, 10, -1, -1};
    QTest::newRow("row 119") << V{0, 119, 2, 0, 1};
    QTest::newRow("over left") << V{-5, 5, 10, 0, 4};
    QTest::newRow("over right") << V{115, 5, 10, 115, 119};
    QTest::newRow("right of surface") << V{120, 5, 1, -1, -1};
    QTest::newRow("both sides") << V{-3, 5, 500, 0, 119};
    QTest::newRow("huge x and count") << V{INT_MAX, 5, INT_MAX, -1, -1};
    QTest::newRow("INT_MIN x") << V{INT_MIN, 5, INT_MAX, -1, -1};
  }
  void disc_spanClipping() {
    QFETCH(V, v);
    QVERIFY(CreatePatchSurface() == 0 && Lock(0));
    const SurfaceRecord& s = *FindSurface(0);
    Bytes expected(s.buffer.size(), 0);  // row padding included
    for (int x = v[3]; x >= 0 && x <= v[4]; ++x)
      std::memset(&expected[v[1] * s.pitch + 4 * x], 0xFF, 3);
    FillSpan(0, v[0], v[1], v[2], 0xFFFFFF);
    QVERIFY(s.buffer == expected);
  }

  void layout_knownStartValues_giveKnownCells() {
    // After SRand(7) the draws are 61, 17422, 15215, 7040:
    // row 5 * (61 * 32767 + 17422) / 2^30 = 0.009 -> 0,
    // column 5 * (15215 * 32767 + 7040) / 2^30 = 2.32 -> 2.
    QCOMPARE(LayOut(7, 1), 1);
    QCOMPARE(QPoint(PatchLayout[0].x, PatchLayout[0].y), QPoint(137 + 2 * 150, 9));
    // After SRand(6): 58, 6673, 30119, 15745 give row 0, column 4; 5206, 2589,
    // 27040, 14722 the same cell, so all four go; 11216, 26492, 4966, 28365
    // give row 1, column 0; the next draw, still unread, is 2904.
    QCOMPARE(LayOut(6, 2), 1);
    QCOMPARE(QPoint(PatchLayout[0].x, PatchLayout[0].y), QPoint(137 + 4 * 150, 9));
    QCOMPARE(QPoint(PatchLayout[1].x, PatchLayout[1].y), QPoint(137, 9 + 150));
    QCOMPARE(Rand(), 2904);
  }

  void layout_twentyPatches_distinctCellsImagesInCreationOrderGothicNumbers() {
    fontsAsked.clear();
    QCOMPARE(LayOut(1, 20), 1);
    std::set<std::pair<int, int>> cells;
    for (int i = 0; i < 20; ++i) {
      const PatchEntry& p = PatchLayout[i];
      QVERIFY((p.x - 137) % 150 == 0 && p.x >= 137 && p.x <= 737);
      QVERIFY((p.y - 9) % 150 == 0 && p.y >= 9 && p.y <= 609);
      cells.insert({p.x, p.y});
      QCOMPARE(V({p.numberedImage, p.errorImage, p.finalImage}), V({3 * i, 3 * i + 1, 3 * i + 2}));
      // Above the number: white, red and green disc.
      QCOMPARE(QVector<uint32_t>({PixelAt(p.numberedImage, 60, 5), PixelAt(p.errorImage, 60, 5),
                                  PixelAt(p.finalImage, 60, 5)}),
               QVector<uint32_t>({0xFFFFFF, 0xFF0000, 0x00FF00}));
    }
    QCOMPARE(cells.size(), size_t{20});
    QCOMPARE(coverImage, 60);
    QCOMPARE(QFontInfo(ui::FontFor(fontsAsked.at(0))).family(), QString("IPAPGothic"));
  }

  void layout_noPatchSurfaceLeft_fails() {
    for (int i = 0; i < kMaxPatchSurfaces - 5; ++i) CreatePatchSurface();
    ResetTest();
    testState.trials[0].NItems = 3;  // 10 surfaces needed, 5 left
    QCOMPARE(LayOutTrial(0), 0);
  }

  void cover_showsBitmapAtItsOwnSize_data() {
    QTest::addColumn<int>("size");
    QTest::newRow("100 x 100: black L right and below") << 100;
    QTest::newRow("200 x 200: its top-left 120 x 120") << 200;
    QTest::newRow("no bitmap: white disc without number") << 0;
  }
  void cover_showsBitmapAtItsOwnSize() {
    QFETCH(int, size);
    // Never black, and the same read either way round: red and blue both x.
    auto picture = [](int x, int y) { return uint32_t((x | 0x80) * 0x010001 | (y | 0x80) << 8); };
    const Bytes file = MakeBmp({size, size, 24, 0, picture});
    patchBitmapLoaded = size > 0 && patchBitmap.LoadFromMemory(file.data(), file.size());
    QCOMPARE(LayOut(1, 1), 1);
    if (!size) {
      QCOMPARE(Count(coverImage, 0xFFFFFF), 11157);
      QCOMPARE(Count(coverImage, 0), 120 * 120 - 11157);
    }
    int wrong = 0;
    for (int i = 0; size && i < 120 * 120; ++i) {
      const int x = i % 120, y = i / 120;
      wrong += PixelAt(coverImage, x, y) != (x < size && y < size ? picture(x, y) : 0);
    }
    QCOMPARE(wrong, 0);
  }

  void stimuli_loadWithTheirFormats() {
    for (const auto& [name, size] : {std::pair{"patch.bmp", 120}, std::pair{"opening.bmp", 512}}) {
      DibImage image;
      QCOMPARE(image.Load(std::string(DORVANE_STIM_DIR "\\") + name), 1);
      QCOMPARE(V({image.width, image.height, image.bitCount}), V({size, size, 24}));
    }
    for (const char* name : {"click.wav", "error.wav"}) {
      QFile f(QString(DORVANE_STIM_DIR "/") + name);
      const QByteArray b = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
      QVERIFY(b.size() >= 44);
      QCOMPARE(b.left(4) + b.mid(8, 8) + b.mid(36, 4), QByteArray("RIFFWAVEfmt data"));
      // PCM, mono, 44100 Hz, 88200 bytes a second, 2 bytes a sample, 16 bits.
      QCOMPARE(b.mid(20, 16).toHex(), QByteArray("0100010044ac00008858010002001000"));
      QCOMPARE(qFromLittleEndian<quint32>(b.constData() + 40), uint(b.size() - 44));
    }
  }
};

QTEST_MAIN(DisplayTest)
#include "display_test.moc"
