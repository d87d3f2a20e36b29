#include "display/surfaces.h"

#include <QtTest>
#include <array>
#include <climits>
#include <cstring>
#include <vector>

#include "fake_presenter.h"
#include "recording_dc.h"

// Each entry: screen x, screen y, canvas x, canvas y.
using Mappings = std::vector<std::array<int, 4>>;
Q_DECLARE_METATYPE(Mappings)
Q_DECLARE_METATYPE(ui::Rect)

namespace {

const ui::WindowHandle kWindow = reinterpret_cast<ui::WindowHandle>(0x1234);

uint32_t PixelAt(const SurfaceRecord& s, int x, int y) {
  uint32_t v;
  std::memcpy(&v, s.buffer.data() + y * s.pitch + 4 * x, 4);
  return v;
}

void PutPixel(SurfaceRecord* s, int x, int y, uint32_t v) {
  std::memcpy(s->buffer.data() + y * s->pitch + 4 * x, &v, 4);
}

// A value unique to each pixel of a patch, never 0.
uint32_t Pattern(int x, int y) {
  return 0x01000000u + static_cast<uint32_t>(y * 1000 + x);
}

}  // namespace

class SurfacesTest : public QObject {
  Q_OBJECT

 private:
  testing::RecordingUi* ui_ = nullptr;
  testing::PresenterLog* log_ = nullptr;
  testing::FakePresenterFactory* factory_ = nullptr;

  void Start(int screenW = 1920, int screenH = 1080) {
    ui_->screenWidth = screenW;
    ui_->screenHeight = screenH;
    QCOMPARE(InitDisplay(kWindow), 1);
  }

 private slots:
  void init() {
    ui_ = new testing::RecordingUi;
    log_ = new testing::PresenterLog;
    factory_ = new testing::FakePresenterFactory(log_);
  }
  void cleanup() {
    ShutDownDisplay();
    delete factory_;
    delete log_;
    delete ui_;
  }

  void presentRectAndMapping_data() {
    QTest::addColumn<int>("screenW");
    QTest::addColumn<int>("screenH");
    QTest::addColumn<ui::Rect>("rect");
    QTest::addColumn<Mappings>("mappings");
    QTest::newRow("1024x768 identity")
        << 1024 << 768 << ui::Rect{0, 0, 1024, 768}
        << Mappings{{0, 0, 0, 0}, {1023, 767, 1023, 767}, {512, 384, 512, 384}, {-1, -1, -1, -1}};
    // 1440 wide: a canvas pixel is 1.40625 screen pixels.
    QTest::newRow("1920x1080 wider")
        << 1920 << 1080 << ui::Rect{240, 0, 1680, 1080}
        << Mappings{{240, 0, 0, 0},          {1679, 1079, 1023, 767}, {960, 540, 512, 384},
                    {1680, 1080, 1024, 768}, {239, 0, 0, 0},  // -0.71 truncates to 0
                    {238, 0, -1, 0},         {0, 0, -170, 0}};
    QTest::newRow("1280x1024 narrower") << 1280 << 1024 << ui::Rect{0, 32, 1280, 992}
                                        << Mappings{{0, 32, 0, 0},
                                                    {1279, 991, 1023, 767},
                                                    {0, 31, 0, 0},  // -0.8 truncates to 0
                                                    {0, 0, 0, -25},
                                                    {640, 1023, 512, 792}};
    QTest::newRow("1600x1200 4:3")
        << 1600 << 1200 << ui::Rect{0, 0, 1600, 1200}
        << Mappings{{0, 0, 0, 0}, {1599, 1199, 1023, 767}, {800, 600, 512, 384}};
    // 1024 x 767 / 768 = 1022.67 rounds up; (1366 - 1023) / 2 = 171.5 halves down.
    QTest::newRow("1366x767 rounds width")
        << 1366 << 767 << ui::Rect{171, 0, 1194, 767} << Mappings{{171, 0, 0, 0}};
    // 768 x 1001 / 1024 = 750.75 rounds up; (900 - 751) / 2 = 74.5 halves down.
    QTest::newRow("1001x900 rounds height")
        << 1001 << 900 << ui::Rect{0, 74, 1001, 825} << Mappings{{0, 74, 0, 0}};
  }
  void presentRectAndMapping() {
    QFETCH(int, screenW);
    QFETCH(int, screenH);
    QFETCH(ui::Rect, rect);
    QFETCH(Mappings, mappings);
    QVERIFY(ComputePresentRect(screenW, screenH) == rect);
    Start(screenW, screenH);
    QVERIFY(displayState.PresentRect == rect);
    QVERIFY((displayState.CanvasRect == ui::Rect{0, 0, 1024, 768}));
    for (const auto& m : mappings) {
      int cx = 99999;
      int cy = 99999;
      MapScreenToCanvas(m[0], m[1], &cx, &cy);
      QCOMPARE(QPoint(cx, cy), QPoint(m[2], m[3]));
    }
  }

  void initDisplay_measuresScreenAndMakesPresenterForWindow() {
    Start(1280, 1024);
    QCOMPARE(displayState.screenWidth, 1280);
    QCOMPARE(displayState.screenHeight, 1024);
    QCOMPARE(displayState.canvas.width, 1024);
    QCOMPARE(displayState.canvas.height, 768);
    QCOMPARE(displayState.window, kWindow);
    QCOMPARE(log_->madeFor, std::vector<ui::WindowHandle>{kWindow});
    QVERIFY(displayState.SurfaceTable.empty());
  }

  void initDisplay_withoutPresenter_fails_data() {
    QTest::addColumn<bool>("factoryInstalled");
    QTest::newRow("factory makes none") << true;
    QTest::newRow("no factory") << false;
  }
  void initDisplay_withoutPresenter_fails() {
    QFETCH(bool, factoryInstalled);
    log_->canMake = false;
    const display::PresenterFactory previous =
        factoryInstalled ? display::PresenterFactory{} : display::SetPresenterFactory(nullptr);
    QCOMPARE(InitDisplay(kWindow), 0);
    QCOMPARE(Present(), 0);
    if (!factoryInstalled) display::SetPresenterFactory(previous);
  }

  void badIds_fail_data() {
    QTest::addColumn<int>("id");
    QTest::newRow("count") << 2;
    QTest::newRow("beyond count") << 7;
    QTest::newRow("-3") << -3;
    QTest::newRow("INT_MIN") << INT_MIN;
  }
  void badIds_fail() {
    QFETCH(int, id);
    Start();
    QCOMPARE(CreatePatchSurface(), 0);
    QCOMPARE(CreatePatchSurface(), 1);
    DcHolder holder;
    QVERIFY(!FindSurface(id));
    QCOMPARE(ColourFill(id, 0), 0);
    QCOMPARE(Lock(id), 0);
    QCOMPARE(Unlock(id), 0);
    QCOMPARE(GetSurfaceDC(id, &holder), 0);
    QCOMPARE(ReleaseSurfaceDC(id, &holder), 0);
    QCOMPARE(CopyToCanvas(0, 0, id), 0);
    QVERIFY(ui_->dcLog.dcs.empty());
  }

  void doubleLock_failsAndKeepsFirstLock() {
    QCOMPARE(CreatePatchSurface(), 0);
    QCOMPARE(Lock(0), 1);
    uint8_t* const pixels = FindSurface(0)->pixels;
    QVERIFY(pixels);
    QCOMPARE(Lock(0), 0);
    QCOMPARE(FindSurface(0)->locked, 1);
    QCOMPARE(FindSurface(0)->pixels, pixels);
    QCOMPARE(Unlock(0), 1);
    QVERIFY(!FindSurface(0)->pixels);
    QCOMPARE(Unlock(0), 0);
    QCOMPARE(Lock(0), 1);
  }

  void ids_restartAtZeroAfterRelease() {
    QCOMPARE(CreatePatchSurface(), 0);
    QCOMPARE(CreatePatchSurface(), 1);
    QCOMPARE(CreatePatchSurface(), 2);
    ReleasePatchSurfaces();
    QVERIFY(!FindSurface(0));
    QCOMPARE(CreatePatchSurface(), 0);
  }

  void patchSurface_isBlack120Square() {
    QCOMPARE(CreatePatchSurface(), 0);
    const SurfaceRecord& s = *FindSurface(0);
    QCOMPARE(s.width, 120);
    QCOMPARE(s.height, 120);
    QVERIFY(s.pitch >= 480);
    QCOMPARE(s.locked, 0);
    for (uint8_t b : s.buffer) QCOMPARE(b, uint8_t{0});
  }

  void lockedPixels_stayValidWhileTableGrows() {
    QCOMPARE(CreatePatchSurface(), 0);
    QCOMPARE(Lock(0), 1);
    uint8_t* const pixels = FindSurface(0)->pixels;
    for (int i = 1; i < 40; ++i) QCOMPARE(CreatePatchSurface(), i);
    QCOMPARE(FindSurface(0)->pixels, pixels);
    QCOMPARE(FindSurface(0)->buffer.data(), pixels);
  }

  void surfaceTable_refusesBeyondItsLimit() {
    for (int i = 0; i < kMaxPatchSurfaces; ++i) QCOMPARE(CreatePatchSurface(), i);
    QCOMPARE(CreatePatchSurface(), -1);
    QCOMPARE(displayState.SurfaceTable.size(), size_t{kMaxPatchSurfaces});
  }

  void shutDownTwice_isHarmlessAndInitWorksAgain() {
    Start();
    QCOMPARE(CreatePatchSurface(), 0);
    ShutDownDisplay();
    ShutDownDisplay();
    QCOMPARE(log_->destroyed, 1);
    QVERIFY(!displayState.window);
    QVERIFY(!displayState.presenter);
    QVERIFY(displayState.SurfaceTable.empty());
    QCOMPARE(Present(), 0);
    QCOMPARE(ColourFill(CANVAS_SURFACE, 0), 0);
    Start();
    QCOMPARE(CreatePatchSurface(), 0);
    QCOMPARE(Present(), 1);
  }

  void colourFill_writesBlueGreenRedZero() {
    Start();
    QCOMPARE(CreatePatchSurface(), 0);
    QCOMPARE(ColourFill(0, 0xFF112233), 1);
    const SurfaceRecord& s = *FindSurface(0);
    for (int y : {0, 119}) {
      for (int x : {0, 119}) {
        const uint8_t* p = s.buffer.data() + y * s.pitch + 4 * x;
        QCOMPARE(p[0], uint8_t{0x11});
        QCOMPARE(p[1], uint8_t{0x22});
        QCOMPARE(p[2], uint8_t{0x33});
        QCOMPARE(p[3], uint8_t{0});
      }
    }
    // Row padding beyond the 120 pixels is not the surface's.
    QCOMPARE(s.buffer[4 * 120], uint8_t{0});
    QCOMPARE(ColourFill(CANVAS_SURFACE, 0x00445566), 1);
    QCOMPARE(PixelAt(displayState.canvas, 1023, 767), 0x00665544u);
  }

  void colourFillOfScreen_asksPresenter() {
    Start();
    QCOMPARE(ColourFill(SCREEN_SURFACE, 0), 1);
    QCOMPARE(log_->fills, std::vector<uint32_t>{0});
    log_->succeeds = false;
    QCOMPARE(ColourFill(SCREEN_SURFACE, 0x0000FF), 0);
  }

  void copyToCanvas_placesPixels_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("patch cell") << 137 << 9;
    QTest::newRow("origin") << 0 << 0;
    QTest::newRow("last whole position") << 904 << 648;
    QTest::newRow("over left and top") << -10 << -20;
    QTest::newRow("over right and bottom") << 1000 << 700;
    QTest::newRow("right of canvas") << 1024 << 0;
    QTest::newRow("above canvas") << 0 << -120;
    QTest::newRow("far away") << INT_MAX << INT_MIN;
  }
  void copyToCanvas_placesPixels() {
    QFETCH(int, x);
    QFETCH(int, y);
    Start();
    QCOMPARE(CreatePatchSurface(), 0);
    SurfaceRecord* patch = FindSurface(0);
    for (int py = 0; py < 120; ++py) {
      for (int px = 0; px < 120; ++px) PutPixel(patch, px, py, Pattern(px, py));
    }
    QCOMPARE(CopyToCanvas(x, y, 0), 1);
    const SurfaceRecord& canvas = displayState.canvas;
    for (int cy = 0; cy < 768; ++cy) {
      for (int cx = 0; cx < 1024; ++cx) {
        const int64_t px = int64_t{cx} - x;
        const int64_t py = int64_t{cy} - y;
        const bool inside = px >= 0 && px < 120 && py >= 0 && py < 120;
        const uint32_t expected = inside ? Pattern(int(px), int(py)) : 0;
        if (PixelAt(canvas, cx, cy) != expected) {
          QFAIL(qPrintable(QString("canvas pixel (%1, %2)").arg(cx).arg(cy)));
        }
      }
    }
  }

  void copyToCanvas_onlyFromPatchSurfaces() {
    Start();
    QCOMPARE(CopyToCanvas(0, 0, CANVAS_SURFACE), 0);
    QCOMPARE(CopyToCanvas(0, 0, SCREEN_SURFACE), 0);
  }

  void present_showsCanvasInPresentRect() {
    Start(1920, 1080);
    QCOMPARE(Present(), 1);
    QCOMPARE(log_->frames.size(), size_t{1});
    const testing::PresenterLog::Frame& f = log_->frames[0];
    QCOMPARE(f.pixels, displayState.canvas.buffer.data());
    QCOMPARE(f.width, 1024);
    QCOMPARE(f.height, 768);
    QCOMPARE(f.pitch, displayState.canvas.pitch);
    QVERIFY((f.target == ui::Rect{240, 0, 1680, 1080}));
    log_->succeeds = false;
    QCOMPARE(Present(), 0);
  }

  void waitAndBind_reachPresenter() {
    Start();
    WaitVerticalBlank();
    WaitVerticalBlank();
    const ui::WindowHandle other = reinterpret_cast<ui::WindowHandle>(0x5678);
    BindClipperToWindow(other);
    BindClipperToWindow(displayState.window);
    QCOMPARE(log_->waits, 2);
    QCOMPARE(log_->bound, (std::vector<ui::WindowHandle>{other, kWindow}));
  }

  void beforeInit_nothingBreaks() {
    ShutDownDisplay();
    displayState.PresentRect = {};
    WaitVerticalBlank();
    BindClipperToWindow(kWindow);
    QCOMPARE(Present(), 0);
    QCOMPARE(ColourFill(SCREEN_SURFACE, 0), 0);
    int cx = 0;
    int cy = 0;
    MapScreenToCanvas(100, 100, &cx, &cy);
    QCOMPARE(QPoint(cx, cy), QPoint(-1, -1));
  }

  void deviceContext_drawsOnSurfacePixels() {
    QCOMPARE(CreatePatchSurface(), 0);
    QCOMPARE(CreatePatchSurface(), 1);
    DcHolder holder;
    QCOMPARE(GetSurfaceDC(1, &holder), 1);
    QVERIFY(holder.dc);
    const testing::DcLog::Dc& dc = ui_->dcLog.dcs.at(0);
    QCOMPARE(dc.pixels, FindSurface(1)->buffer.data());
    QCOMPARE(dc.width, 120);
    QCOMPARE(dc.height, 120);
    QCOMPARE(dc.pitch, FindSurface(1)->pitch);
    QCOMPARE(ReleaseSurfaceDC(1, &holder), 1);
    QVERIFY(!holder.dc);
    QVERIFY(ui_->dcLog.dcs.at(0).released);
  }

  void deviceContext_refusedWhileBusy() {
    QCOMPARE(CreatePatchSurface(), 0);
    QCOMPARE(CreatePatchSurface(), 1);
    DcHolder first;
    DcHolder second;
    QCOMPARE(Lock(0), 1);
    QCOMPARE(GetSurfaceDC(0, &first), 0);  // locked
    QCOMPARE(Unlock(0), 1);
    QCOMPARE(GetSurfaceDC(0, &first), 1);
    QCOMPARE(GetSurfaceDC(0, &second), 0);     // a second context
    QCOMPARE(Lock(0), 0);                      // locked by the context
    QCOMPARE(GetSurfaceDC(1, &first), 0);      // holder in use
    QCOMPARE(ReleaseSurfaceDC(1, &first), 0);  // not this surface's
    QCOMPARE(ReleaseSurfaceDC(0, &second), 0);
    QCOMPARE(ReleaseSurfaceDC(0, &first), 1);
    QCOMPARE(ReleaseSurfaceDC(0, &first), 0);
    QCOMPARE(Lock(0), 1);
    QCOMPARE(ui_->dcLog.dcs.size(), size_t{1});
  }

  void deviceContext_unavailable_fails() {
    ui_->giveDc = false;
    QCOMPARE(CreatePatchSurface(), 0);
    DcHolder holder;
    QCOMPARE(GetSurfaceDC(0, &holder), 0);
    QCOMPARE(Lock(0), 1);  // nothing left held
  }
};

QTEST_APPLESS_MAIN(SurfacesTest)
#include "surfaces_test.moc"
