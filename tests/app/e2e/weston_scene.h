// What weston shows, as its debug scene graph lists it: on weston the X
// server sees only the compositor's output window, so the windows of the
// program are found through weston itself (started with --debug).
#pragma once

#include <string>
#include <vector>

#include "app/e2e/x_screen.h"

namespace e2e {

/// The program windows (xdg toplevels and pop-ups) in a scene graph as
/// `weston-debug scene-graph` prints it, topmost first.
std::vector<TopWindow> ParseWestonScene(const std::string& sceneGraph);

/// The scene graph of the weston named by WAYLAND_DISPLAY; empty when it
/// does not answer.
std::string WestonSceneGraph();

}  // namespace e2e
