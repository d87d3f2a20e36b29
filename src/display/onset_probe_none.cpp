// Builds without the headers of a windowing system get no probe for it.
#include "display/onset_probe.h"

namespace display {

#ifndef DORVANE_HAVE_X11_PROBE
std::unique_ptr<OnsetProbe> MakeX11OnsetProbe(QWindow*) {
  return nullptr;
}
void AskX11ToBypassCompositor(QWindow*) {}
#endif
#ifndef DORVANE_HAVE_WAYLAND_PROBE
std::unique_ptr<OnsetProbe> MakeWaylandOnsetProbe(QWindow*) {
  return nullptr;
}
#endif

}  // namespace display
