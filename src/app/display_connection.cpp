#include "app/display_connection.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

const char kNoDisplayMessage[] =
    "Dorvane needs a graphical display: start it in a desktop session, or set DISPLAY (X11) or "
    "WAYLAND_DISPLAY (Wayland) to a running one.";

namespace {

// The platforms that need a display server; the default platform is one.
bool NeedsServer(const QByteArray& platform) {
  return platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
}

void SayNoDisplay() {
  std::fprintf(stderr, "%s\n", kNoDisplayMessage);
  std::fflush(stderr);
}

// What Qt says while it connects: kept, and passed on once it has connected.
struct HeldMessage {
  QtMsgType type;
  std::string category;
  QString text;
};
std::vector<HeldMessage> held;

void HoldMessage(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    // No platform could connect. Qt would abort after this message.
    SayNoDisplay();
    std::_Exit(kNoDisplayExitCode);
  }
  held.push_back({type, context.category ? context.category : "", text});
}

}  // namespace

std::unique_ptr<QApplication> OpenDisplay(int& argc, char** argv) {
  if (NeedsServer(qgetenv("QT_QPA_PLATFORM")) && qEnvironmentVariableIsEmpty("DISPLAY") &&
      qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
    SayNoDisplay();
    return nullptr;
  }
  const QtMessageHandler previous = qInstallMessageHandler(HoldMessage);
  auto application = std::make_unique<QApplication>(argc, argv);
  qInstallMessageHandler(previous);
  for (const HeldMessage& m : held) {
    const QMessageLogContext context(nullptr, 0, nullptr, m.category.c_str());
    qt_message_output(m.type, context, m.text);
  }
  held.clear();
  return application;
}
