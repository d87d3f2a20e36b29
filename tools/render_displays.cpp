// Renders the canvas of three trial displays to PNG files, so that a person
// can look at what the subject sees: a 5-patch memorisation display, the same
// layout covered, and an error display (patch 3 touched out of order).
//
//   QT_QPA_PLATFORM=offscreen render_displays <stim folder> <output folder>

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

#include "display/dib_image.h"
#include "display/layout.h"
#include "display/null_presenter.h"
#include "display/surfaces.h"
#include "procedure/staircase.h"
#include "procedure/trial_run.h"
#include "ui/qt_services.h"

namespace {

bool SaveCanvas(const QString& path) {
  const SurfaceRecord& c = displayState.canvas;
  const QImage image(c.buffer.data(), c.width, c.height, c.pitch, QImage::Format_RGB32);
  return image.save(path);
}

void Compose(int n, SurfaceId PatchEntry::*image, int errorPatch) {
  ColourFill(CANVAS_SURFACE, 0);
  for (int k = 0; k < n; ++k) {
    SurfaceId id = image ? PatchLayout[k].*image : coverImage;
    if (k == errorPatch) id = PatchLayout[k].errorImage;
    CopyToCanvas(PatchLayout[k].x, PatchLayout[k].y, id);
  }
  DcHolder holder;
  if (GetSurfaceDC(CANVAS_SURFACE, &holder)) {
    holder.dc->SetBkColor(0);
    holder.dc->SetTextColor(0xFFFFFF);
    holder.dc->DrawText(ProgressText(2, 4), ui::Rect{0, 0, 100, 80}, ui::kDtSingleLine);
    ReleaseSurfaceDC(CANVAS_SURFACE, &holder);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QGuiApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: render_displays <stim folder> <output folder>\n");
    return 2;
  }
  ui::QtServices services;
  ui::SetUi(&services);
  display::SetPresenterFactory(
      [](ui::WindowHandle) { return std::make_unique<display::NullPresenter>(); });
  if (!InitDisplay(nullptr)) return 1;
  patchBitmapLoaded = patchBitmap.Load(std::string(argv[1]) + "/patch.bmp");
  QDir().mkpath(argv[2]);
  const QString out = QString::fromLocal8Bit(argv[2]);

  SRand(2026);
  ResetTest();
  testState.trials[0].NItems = 5;
  LayOutTrial(0);
  const int n = 5;
  bool ok = true;
  Compose(n, &PatchEntry::numberedImage, -1);
  ok &= SaveCanvas(out + "/memorisation.png");
  Compose(n, nullptr, -1);
  ok &= SaveCanvas(out + "/covered.png");
  Compose(n, nullptr, 2);
  ok &= SaveCanvas(out + "/error.png");
  Compose(n, &PatchEntry::finalImage, -1);
  ok &= SaveCanvas(out + "/completed.png");
  ShutDownDisplay();
  ui::SetUi(nullptr);
  std::printf("%s\n", ok ? "written" : "failed");
  return ok ? 0 : 1;
}
