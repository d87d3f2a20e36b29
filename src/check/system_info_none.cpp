// Builds without the X libraries: nothing to ask an X server, and the
// scripted subject uses the input queue.
#include "check/scripted_subject.h"
#include "check/system_info.h"

namespace check {

bool X11Facts(bool*, bool*, bool*) {
  return false;
}

std::unique_ptr<ScriptedSubject> MakeX11Subject(QWindow*) {
  return nullptr;
}

}  // namespace check
