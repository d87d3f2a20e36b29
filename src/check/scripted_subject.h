// The timing check's subject: presses the left button at given places of
// the test window at known moments, through the windowing system where it
// allows that (XTest on X11), else into the program's own input queue.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class QWindow;

namespace check {

/// When a press was made: the windowing system took it between these two
/// moments of the monotonic clock.
struct PressTruth {
  int64_t notBeforeNs = 0;
  int64_t notAfterNs = 0;
  int64_t MiddleNs() const { return notBeforeNs + (notAfterNs - notBeforeNs) / 2; }
};

/// Presses on one window; every call may come from any thread.
class ScriptedSubject {
 public:
  virtual ~ScriptedSubject() = default;
  /// "XTest", or "the program's input queue".
  virtual std::string Injection() const = 0;
  /// Presses at window pixel (x, y) (physical), holds `holdMs`, releases.
  virtual bool Tap(int x, int y, int holdMs, PressTruth* truth) = 0;
  /// Presses and releases Escape, which ends a trial that waits in vain.
  virtual void PressEscape() = 0;
};

/// XTest where the platform is X11 and the server has it, else the input queue.
std::unique_ptr<ScriptedSubject> MakeScriptedSubject(QWindow* window);

/// The input-queue subject: events posted to `window` with their own stamps.
std::unique_ptr<ScriptedSubject> MakeQueueSubject(QWindow* window);

}  // namespace check
