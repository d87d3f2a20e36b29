#include "ui/services.h"

#include <cstdio>
#include <cstdlib>

namespace ui {
namespace {
Services* g_services = nullptr;
std::string g_appName = "dorvane";
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

void SetApplicationNameFromPath(const std::string& executablePath) {
  std::string name = executablePath;
  const auto slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  if (!name.empty()) g_appName = name;
}

int AppMessageBox(const std::string& text, unsigned type) {
  Services& s = Ui();
  return s.MessageBox(s.MainWindow(), text, g_appName, type);
}

}  // namespace ui

ScreenDimensions ScreenSize;
