#include "display/onset_probe.h"

#include <QGuiApplication>

namespace display {

// Each windowing system's probe; null where it cannot confirm frames.
std::unique_ptr<OnsetProbe> MakeX11OnsetProbe(QWindow* window);
std::unique_ptr<OnsetProbe> MakeWaylandOnsetProbe(QWindow* window);

void AskX11ToBypassCompositor(QWindow* window);

void AskToBypassCompositor(QWindow* window) {
  if (window && QGuiApplication::platformName() == QLatin1String("xcb")) {
    AskX11ToBypassCompositor(window);
  }
}

std::unique_ptr<OnsetProbe> MakeOnsetProbe(QWindow* window) {
  if (!window) return nullptr;
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("xcb")) return MakeX11OnsetProbe(window);
  if (platform.startsWith(QLatin1String("wayland"))) return MakeWaylandOnsetProbe(window);
  return nullptr;
}

}  // namespace display
