// The display without a screen, its images painted by the real Qt device context.
#include <QtTest>
#include <climits>
#include <cstring>
#include <fstream>

#include "bmp_builder.h"
#include "display/dib_image.h"
#include "display/layout.h"
#include "display/null_presenter.h"
#include "display/surfaces.h"
#include "support/fake_ui.h"
#include "ui/surface_dc.h"

using testing::MakeBmp;
using Bytes = std::vector<uint8_t>;
using V = QVector<int>;
Q_DECLARE_METATYPE(Bytes)

namespace {

struct PaintingUi : testing::FakeUi {
  std::unique_ptr<ui::DeviceContext> CreateSurfaceDC(uint8_t* p, int w, int h, int pitch) override {
    return std::make_unique<ui::SurfaceDC>(p, w, h, pitch);
  }
};

// As 0x00RRGGBB: the painter may set the fourth byte.
uint32_t PixelAt(SurfaceId id, int x, int y) {
  uint32_t v;
  std::memcpy(&v, &FindSurface(id)->buffer[y * FindSurface(id)->pitch + 4 * x], 4);
  return v & 0xFFFFFF;
}

// Lays out trial 0 with `patches` patches after `taken` patch surfaces.
int LayOut(uint32_t start, int patches, int taken = 0) {
  ResetTest();
  testState.trials[0].NItems = patches;
  ReleasePatchSurfaces();
  for (int i = 0; i < taken; ++i) CreatePatchSurface();
  SRand(start);
  return LayOutTrial(0);
}

}  // namespace

class DisplayTest : public QObject {
  Q_OBJECT
  PaintingUi ui_;  // installs itself

 private slots:
  void init() {
    display::SetPresenterFactory(
        [](ui::WindowHandle) { return std::make_unique<display::NullPresenter>(); });
  }
  void cleanup() { ShutDownDisplay(); }

  void dib_load_data() {
    QTest::addColumn<Bytes>("file");  // empty: no file at all
    QTest::addColumn<V>("loaded");    // row bytes, colours, pixels' start from the header; none
    // Width, bits per pixel, colours used; what it loads with.
    const int good[][6] = {{1, 1, 0, 4, 2, 48},   {33, 1, 0, 8, 2, 48},    {3, 24, 5, 12, 0, 40},
                           {4, 24, 0, 12, 0, 40}, {3, 8, 0, 4, 256, 1064}, {3, 8, 10, 4, 10, 80},
                           {3, 4, 0, 4, 16, 104}, {3, 16, 0, 8, 0, 40}};
    for (const auto& [w, bits, used, rowBytes, colours, start] : good)
      QTest::addRow("%d bits, %d wide, %d used", bits, w, used)
          << MakeBmp({w, 2, uint16_t(bits), uint32_t(used)}) << V{rowBytes, colours, start};
    const Bytes good24 = MakeBmp({4, 2, 24}), good8 = MakeBmp({4, 2, 8});
    QTest::newRow("missing") << Bytes{} << V{};
    QTest::newRow("13 bytes") << Bytes(good24.begin(), good24.begin() + 13) << V{};
    QTest::newRow("last pixel byte missing") << Bytes(good24.begin(), good24.end() - 1) << V{};
    // 8 bits (else 24), offset, value, bytes: not "BM", table past the end, colours used absurd,
    // rows past the end, width 0, height 0, height INT_MIN, 2 bits, RLE8.
    const uint32_t bad[][4] = {{0, 0, 'M' | 'B' << 8, 2}, {1, 46, 300, 4}, {1, 46, 0xFFFFFFFF, 4},
                               {0, 22, 5000, 4},          {0, 18, 0, 4},   {0, 22, 0, 4},
                               {0, 22, 0x80000000u, 4},   {0, 28, 2, 2},   {1, 30, 1, 4}};
    for (const auto& [eight, at, value, bytes] : bad) {
      Bytes file = eight ? good8 : good24;
      testing::PutLe(&file, at, value, int(bytes));
      QTest::addRow("%d bits, offset %u = %u", eight ? 8 : 24, at, value) << file << V{};
    }
    // From version 4 on the pixels start where the file header says.
    using testing::BmpLayout;
    const std::tuple<const char*, BmpLayout, V> sized[] = {
        {"version 4, 24 bits, pixels 20 bytes on", {4, 2, 24, 0, {}, 108, 20}, {12, 0, 128}},
        {"version 5, 24 bits", {4, 2, 24, 0, {}, 124}, {12, 0, 124}},
        {"version 5, 8 bits, 2 colours, pixels 8 bytes on", {3, 2, 8, 2, {}, 124, 8}, {4, 2, 140}},
        {"56 bytes, 8 bits, 10 colours", {3, 2, 8, 10, {}, 56}, {4, 10, 96}},
        {"52 bytes, 16 bits, masks inside", {3, 2, 16, 0, {}, 52, 0, 3}, {8, 0, 52}},
        {"40 bytes, 32 bits, masks after", {3, 2, 32, 0, {}, 40, 0, 3}, {12, 0, 52}}};
    for (const auto& [name, layout, at] : sized) QTest::newRow(name) << MakeBmp(layout) << at;
    // Header size fields that lie: 124 puts the table past the end, 63 is no size at all.
    Bytes small = MakeBmp({1, 1, 8, 1});
    testing::PutLe(&small, 14, 124, 4);
    QTest::newRow("header size 124 past the end") << small << V{};
    testing::PutLe(&small, 14, 63, 4);
    QTest::newRow("header size 63") << small << V{};
    Bytes v5 = MakeBmp({4, 2, 24, 0, {}, 124});
    testing::PutLe(&v5, 10, 14 + 120, 4);
    QTest::newRow("version 5, pixels said inside the header") << v5 << V{};
    testing::PutLe(&v5, 10, uint32_t(v5.size()) - 23, 4);
    QTest::newRow("version 5, pixels said to run past the end") << v5 << V{};
    Bytes used = MakeBmp({3, 2, 1, 2, {}, 124, 8});
    testing::PutLe(&used, 46, 0xFC000000u, 4);  // far more colours than the file holds
    QTest::newRow("version 5, colour table said to run past the pixels") << used << V{};
    Bytes holes = MakeBmp({3, 2, 16, 0, {}, 40, 0, 3});
    testing::PutLe(&holes, 54, 0x7C1F, 4);  // red and blue bits in one mask
    QTest::newRow("mask not a run of bits, which drawing refuses") << holes << V{};
  }
  void dib_load() {
    QFETCH(Bytes, file);
    QFETCH(V, loaded);
    QTemporaryDir dir;
    const std::string path = dir.filePath("b.bmp").toStdString();
    if (!file.empty())
      std::ofstream(path, std::ios::binary).write((const char*)file.data(), file.size());
    // A failed reload must leave nothing of the picture before.
    const Bytes first = MakeBmp({8, 8, 8});
    DibImage a, b;
    for (DibImage* d : {&a, &b}) QVERIFY(d->LoadFromMemory(first.data(), first.size()));
    QCOMPARE(V({a.Load(path), b.LoadFromMemory(file.data(), file.size())}),
             V(2, !loaded.isEmpty()));
    for (const DibImage* d : {&a, &b}) {
      QCOMPARE(d->width ? V({d->rowBytes, d->colourCount, int(d->bits - d->header)}) : V{}, loaded);
      QVERIFY(d->width || (!(d->height | d->bitCount | d->rowBytes | d->colourCount) &&
                           d->memory.empty() && !d->header && !d->colourTable && !d->bits));
    }
  }

  void surfaces_presentRectAndCornerMapping_data() {
    // Screen size, window size (0: the screen's); PresentRect; where screen (0, 0) lies on the
    // canvas. A window manager may size the test window otherwise: picture and hits follow it.
    QTest::addColumn<V>("v");
    for (const V& v : {V{1024, 768, 0, 0, 0, 0, 1024, 768, 0, 0},
                       V{1920, 1080, 0, 0, 240, 0, 1680, 1080, -170, 0},
                       V{1280, 1024, 0, 0, 0, 32, 1280, 992, 0, -25},
                       V{1600, 1200, 0, 0, 0, 0, 1600, 1200, 0, 0},
                       V{1920, 1080, 1280, 1024, 0, 32, 1280, 992, 0, -25}})
      QTest::addRow("%dx%d, window %dx%d", v[0], v[1], v[2], v[3]) << v;
  }
  void surfaces_presentRectAndCornerMapping() {
    QFETCH(V, v);
    ui_.screenWidth = v[0];
    ui_.screenHeight = v[1];
    display::NullPresenter* presenter = nullptr;
    display::SetPresenterFactory([&presenter](ui::WindowHandle) {
      auto made = std::make_unique<display::NullPresenter>();
      presenter = made.get();
      return made;
    });
    QVERIFY(InitDisplay(nullptr));
    presenter->windowWidth = v[2];
    presenter->windowHeight = v[3];
    QVERIFY(Present());
    const ui::Rect r = displayState.PresentRect;
    QCOMPARE(presenter->drawnInto, r);
    V got{v[0], v[1], v[2], v[3], r.left, r.top, r.right, r.bottom};
    // Then the rectangle's first and last pixel: the canvas's first and last.
    for (const QPoint p : {QPoint(), QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)}) {
      got << 0 << 0;
      MapScreenToCanvas(p.x(), p.y(), &got[got.size() - 2], &got.last());
    }
    QCOMPARE(got, v + V({0, 0, 1023, 767}));
    presenter->windowWidth = 0;  // bound to a window of unknown size again: the screen's
    BindClipperToWindow(nullptr);
    if (v[2]) QCOMPARE(displayState.PresentRect, (ui::Rect{240, 0, 1680, 1080}));
  }

  void surfaces_idsLocksShutdownCopyAndMissingPresenter() {
    QCOMPARE(V({InitDisplay(nullptr), CreatePatchSurface(), CreatePatchSurface()}), V({1, 0, 1}));
    for (const SurfaceId id : {2, -3, INT_MIN}) {
      QVERIFY(!FindSurface(id));
      QCOMPARE(ColourFill(id, 0) + Lock(id) + Unlock(id) + CopyToCanvas(0, 0, id), 0);
    }
    QVERIFY(Lock(1));
    uint8_t* const pixels = FindSurface(1)->pixels;
    QVERIFY(!Lock(1) && pixels && FindSurface(1)->locked && FindSurface(1)->pixels == pixels);
    ReleasePatchSurfaces();
    QCOMPARE(V({FindSurface(0) != nullptr, CreatePatchSurface()}), V({0, 0}));
    // Copies clipped to the canvas: a patch cell, over the left and top edges, over the others.
    for (const QPoint at : {QPoint(137, 9), QPoint(-10, -20), QPoint(1000, 700)}) {
      QVERIFY(ColourFill(CANVAS_SURFACE, 0));
      SurfaceRecord& patch = *FindSurface(0);
      for (size_t i = 0; i < patch.buffer.size(); ++i) patch.buffer[i] = uint8_t(i % 251 + 1);
      QCOMPARE(CopyToCanvas(at.x(), at.y(), 0), 1);
      int wrong = 0;
      for (int i = 0; i < 1024 * 768; ++i) {
        const QPoint p = QPoint(i % 1024, i / 1024) - at;
        const uint32_t want = QRect(0, 0, 120, 120).contains(p) ? PixelAt(0, p.x(), p.y()) : 0;
        wrong += PixelAt(CANVAS_SURFACE, i % 1024, i / 1024) != want;
      }
      QCOMPARE(wrong, 0);
    }
    for (int i = 0; i < 2; ++i) ShutDownDisplay();  // harmless when repeated
    QCOMPARE(V({Present(), InitDisplay(nullptr), Present()}), V({0, 1, 1}));
    display::SetPresenterFactory(nullptr);
    QCOMPARE(V({InitDisplay(nullptr), Present()}), V({0, 0}));
  }

  void disc_pixelsRowsAndColourBytes() {
    QVERIFY(CreatePatchSurface() == 0 && Lock(0));
    FillDisc(0, 0xAA332211);  // the high byte is not a colour
    int lit = 0;
    for (int i = 0; i < 120 * 120; ++i) lit += PixelAt(0, i % 120, i / 120) != 0;
    QCOMPARE(lit, 11157);
    for (int i = 0; i < 120; ++i) QVERIFY(!PixelAt(0, i, 0) && !PixelAt(0, 0, i));
    const int rows[][3] = {{1, 53, 67},  {2, 47, 73},  {10, 28, 92}, {30, 9, 111},
                           {59, 1, 119}, {60, 1, 119}, {61, 1, 119}, {119, 53, 67}};
    for (const auto& [y, first, last] : rows) {
      QVERIFY2(PixelAt(0, first, y) && PixelAt(0, last, y) && !PixelAt(0, first - 1, y) &&
                   (last == 119 || !PixelAt(0, last + 1, y)),
               qPrintable(QString("row %1").arg(y)));
    }
    QCOMPARE(QByteArray((const char*)&FindSurface(0)->buffer[60 * FindSurface(0)->pitch + 240], 4),
             QByteArray("\x33\x22\x11\x00", 4));
  }

  void disc_spanClipping_data() {
    QTest::addColumn<V>("v");  // x, y, count; first and last column written (-1: none)
    for (const V& v :
         {V{0, -1, 10, -1, -1}, V{0, 120, 10, -1, -1}, V{0, 119, 2, 0, 1}, V{-5, 5, 10, 0, 4},
          V{115, 5, 10, 115, 119}, V{120, 5, 1, -1, -1}, V{-3, 5, 500, 0, 119},
          V{INT_MAX, 5, INT_MAX, -1, -1}, V{INT_MIN, 5, INT_MAX, -1, -1}})
      QTest::addRow("x %d, y %d, count %d", v[0], v[1], v[2]) << v;
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

  void layout_cellsImagesFontAndRunningOutOfSurfaces() {
    // SRand(7) draws 61, 17422, 15215, 7040: row 5 * (61 * 32767 + 17422) / 2^30 -> 0, column 2.
    QCOMPARE(LayOut(7, 1), 1);
    QCOMPARE(QPoint(PatchLayout[0].x, PatchLayout[0].y), QPoint(137 + 2 * 150, 9));
    // SRand(6): row 0 column 4, then the same cell again (all four draws go), then row 1
    // column 0; the next draw, still unread, is 2904.
    QCOMPARE(LayOut(6, 2), 1);
    QCOMPARE(V({PatchLayout[0].x, PatchLayout[0].y, PatchLayout[1].x, PatchLayout[1].y, Rand()}),
             V({137 + 4 * 150, 9, 137, 9 + 150, 2904}));
    QCOMPARE(LayOut(1, 20), 1);
    QSet<QPoint> cells;
    for (int i = 0; i < 20; ++i) {
      const PatchEntry& p = PatchLayout[i];
      const int column = (p.x - 137) / 150, row = (p.y - 9) / 150;
      QVERIFY(QRect(0, 0, 5, 5).contains(column, row) && p.x == 137 + 150 * column &&
              p.y == 9 + 150 * row);
      cells << QPoint(p.x, p.y);
      // Ids in creation order; above the number a white, red and green disc.
      V got;
      for (SurfaceId id : {p.numberedImage, p.errorImage, p.finalImage})
        got << id << int(PixelAt(id, 60, 5));
      QCOMPARE(got, V({3 * i, 0xFFFFFF, 3 * i + 1, 0xFF0000, 3 * i + 2, 0x00FF00}));
    }
    QCOMPARE(V({int(cells.size()), coverImage}), V({20, 60}));
    QCOMPARE(LayOut(1, 3, kMaxPatchSurfaces - 5), 0);  // 10 surfaces needed, 5 left
  }

  void cover_showsBitmapAtItsOwnSize_data() {
    QTest::addColumn<int>("size");        // 0: no bitmap loaded
    QTest::addColumn<int>("headerSize");  // and the pixels 20 bytes on from version 4
    QTest::addColumn<bool>("drawable");   // else the block is spoilt after loading
    QTest::addColumn<bool>("disc");       // a white disc shown instead
    QTest::newRow("100 x 100") << 100 << 40 << true << false;
    QTest::newRow("200 x 200") << 200 << 40 << true << false;
    QTest::newRow("version 4 header") << 100 << 108 << true << false;
    QTest::newRow("version 5 header") << 100 << 124 << true << false;
    QTest::newRow("no bitmap") << 0 << 40 << true << true;
    QTest::newRow("bitmap the drawing refuses") << 100 << 40 << false << true;
  }

  void cover_showsBitmapAtItsOwnSize() {
    QFETCH(int, size);
    QFETCH(int, headerSize);
    QFETCH(bool, drawable);
    QFETCH(bool, disc);
    // Never black, and the same read either way round: red and blue both x.
    auto picture = [](int x, int y) { return uint32_t((x | 0x80) * 0x010001 | (y | 0x80) << 8); };
    const Bytes file =
        MakeBmp({size, size, 24, 0, picture, uint32_t(headerSize), headerSize > 40 ? 20u : 0u});
    patchBitmapLoaded = size > 0 && patchBitmap.LoadFromMemory(file.data(), file.size());
    QCOMPARE(patchBitmapLoaded, size > 0 ? 1 : 0);
    if (!drawable) patchBitmap.header[14] = 2;  // 2 bits per pixel
    // A reference disc on surface 4, after the patch's three images and the cover.
    QCOMPARE(V({LayOut(1, 1), CreatePatchSurface(), Lock(4)}), V({1, 4, 1}));
    FillDisc(4, 0xFFFFFF);
    int wrong = 0;
    const int perRow = FindSurface(coverImage)->pitch / 4;  // the row padding stays black too
    for (int i = 0; i < perRow * 120; ++i) {
      const int x = i % perRow, y = i / perRow;
      const uint32_t shown = x < qMin(size, 120) && y < size ? picture(x, y) : 0;
      wrong += PixelAt(coverImage, x, y) != (disc ? PixelAt(4, x, y) : shown);
    }
    QVERIFY2(!wrong, qPrintable(QString("%1 wrong pixels").arg(wrong)));
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
      // PCM, mono, 44100 Hz, 88200 bytes a second, 2 bytes a sample, 16 bits.
      QCOMPARE(b.left(4) + b.mid(8, 8) + b.mid(20, 16).toHex() + b.mid(36, 4),
               QByteArray("RIFFWAVEfmt 0100010044ac00008858010002001000data"));
      QCOMPARE(qFromLittleEndian<quint32>(b.constData() + 40), uint(b.size() - 44));
    }
  }
};

QTEST_MAIN(DisplayTest)
#include "display_test.moc"
