#include "display/onset_probe.h"

#include <QGuiApplication>
#include <cstdlib>

namespace display {

// Each windowing system's probe; null where it cannot confirm frames.
std::unique_ptr<OnsetProbe> MakeX11OnsetProbe(QWindow* window);
std::unique_ptr<OnsetProbe> MakeWaylandOnsetProbe(QWindow* window);

bool SameColour(uint32_t a, uint32_t b) {
  // A 16-bit screen keeps 5 or 6 bits of a channel; a scaler may round by one.
  constexpr int kTolerance = 12;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(ca - cb) > kTolerance) return false;
  }
  return true;
}

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
