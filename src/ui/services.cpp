#include "ui/services.h"

#include <cstdio>
#include <cstdlib>

namespace ui {
namespace {
Services* g_services = nullptr;
// The title of every message box, whatever the executable is called.
const std::string g_appName = "Dorvane";
}  // namespace

Services& Ui() {
  if (!g_services) {
    std::fputs("dorvane: no user interface services installed\n", stderr);
    std::abort();
  }
  return *g_services;
}

Services* SetUi(Services* services) {
  Services* previous = g_services;
  g_services = services;
  return previous;
}

const std::string& ApplicationName() { return g_appName; }

int AppMessageBox(const std::string& text, unsigned type) {
  Services& s = Ui();
  return s.MessageBox(s.MainWindow(), text, g_appName, type);
}

}  // namespace ui

ScreenDimensions ScreenSize;
