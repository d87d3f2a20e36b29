#include "check/system_info.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QScreen>

#include "ui/services.h"

namespace check {
namespace {

std::string GlRenderer(bool* software) {
  *software = false;
  QOpenGLContext context;
  if (!context.create()) return "none";
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!context.makeCurrent(&surface)) return "none";
  const auto* text = context.functions()->glGetString(GL_RENDERER);
  const std::string renderer = text ? reinterpret_cast<const char*>(text) : "unknown";
  context.doneCurrent();
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
    if (renderer.find(name) != std::string::npos) *software = true;
  }
  return renderer;
}

}  // namespace

SystemFacts ReadSystemFacts() {
  SystemFacts s;
  const QString platform = QGuiApplication::platformName();
  bool compositor = false;
  bool virtualServer = false;
  bool xwayland = false;
  if (platform == QLatin1String("xcb")) {
    if (X11Facts(&compositor, &virtualServer, &xwayland)) {
      s.displayServer = xwayland ? "X11 on Wayland (Xwayland)" : "X11";
      s.compositor = xwayland ? "running" : compositor ? "running" : "none";
    } else {
      s.displayServer = "X11";
      s.compositor = "unknown";
    }
  } else if (platform.startsWith(QLatin1String("wayland"))) {
    s.displayServer = "Wayland";
    s.compositor = "running";  // a Wayland display is its compositor
  } else {
    s.displayServer = platform.toStdString();
    s.compositor = "unknown";
    virtualServer = platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
  }
  s.virtualDisplay = virtualServer;
  s.glRenderer = GlRenderer(&s.softwareRendering);
  s.screenWidth = ScreenSize.width;
  s.screenHeight = ScreenSize.height;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    s.nominalRefreshHz = screen->refreshRate();
    if (s.screenWidth <= 0) {
      s.screenWidth = screen->geometry().width();
      s.screenHeight = screen->geometry().height();
    }
  }
  s.governor = CpuGovernor();
  return s;
}

}  // namespace check
