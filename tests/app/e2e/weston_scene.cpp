#include "app/e2e/weston_scene.h"

#include <QProcess>
#include <cstdio>
#include <sstream>

namespace e2e {

namespace {

// "\t\tposition: (x1, y1) -> (x2, y2)"
bool ReadPosition(const std::string& line, QRect* rect) {
  int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  const size_t at = line.find("position: (");
  if (at == std::string::npos ||
      std::sscanf(line.c_str() + at, "position: (%d, %d) -> (%d, %d)", &x1, &y1, &x2, &y2) != 4) {
    return false;
  }
  *rect = QRect(x1, y1, x2 - x1, y2 - y1);
  return true;
}

}  // namespace

std::vector<TopWindow> ParseWestonScene(const std::string& sceneGraph) {
  std::vector<TopWindow> windows;
  std::istringstream lines(sceneGraph);
  std::string line;
  bool pending = false;  // a program window whose position comes on a later line
  while (std::getline(lines, line)) {
    if (line.find("View ") != std::string::npos && line.find("(role ") != std::string::npos) {
      const bool toplevel = line.find("(role xdg_toplevel,") != std::string::npos;
      const bool popup = line.find("(role xdg_popup,") != std::string::npos;
      pending = toplevel || popup;
      if (!pending) continue;
      TopWindow window;
      window.popup = popup;
      // "... top-level window 'Title' of app, 0x..."
      const std::string open = "window '";
      const size_t from = line.find(open);
      const size_t to = line.rfind("' of ");
      if (from != std::string::npos && to != std::string::npos && to >= from + open.size()) {
        window.title = line.substr(from + open.size(), to - from - open.size());
      }
      windows.push_back(window);
    } else if (pending && ReadPosition(line, &windows.back().rect)) {
      windows.back().frame = windows.back().rect;
      pending = false;
    }
  }
  return windows;
}

std::string WestonSceneGraph() {
  QProcess debug;
  debug.start(QStringLiteral("weston-debug"), {QStringLiteral("scene-graph")});
  if (!debug.waitForFinished(5000)) {
    debug.kill();
    debug.waitForFinished(1000);
    return std::string();
  }
  return debug.readAllStandardOutput().toStdString();
}

}  // namespace e2e
