#include "check/scripted_subject.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>
#include <thread>

#include "timing/tick_clock.h"

namespace check {

// Each windowing system's subject; null where it cannot inject.
std::unique_ptr<ScriptedSubject> MakeX11Subject(QWindow* window);

namespace {

constexpr int64_t kNsPerMs = 1000000;

// Events stamped as the windowing system stamps them (milliseconds of the
// monotonic clock) and posted to the window, which handles them in the
// trial's next pump. The path from the device to the program is left out.
class QueueSubject : public ScriptedSubject {
 public:
  explicit QueueSubject(QWindow* window) : window_(window) {}

  std::string Injection() const override { return "the program's input queue"; }

  bool Tap(int x, int y, int holdMs, PressTruth* truth) override {
    QWindow* window = window_.data();
    if (!window) return false;
    const qreal ratio = window->devicePixelRatio();
    const QPointF at(x / ratio, y / ratio);
    const int64_t now = tick_clock::NowNs();
    auto* press = new QMouseEvent(QEvent::MouseButtonPress, at, at, Qt::LeftButton, Qt::LeftButton,
                                  Qt::NoModifier);
    press->setTimestamp(static_cast<quint64>(now / kNsPerMs));
    QCoreApplication::postEvent(window, press);
    // The stamp keeps whole milliseconds: the press is within the one it names.
    truth->notBeforeNs = now / kNsPerMs * kNsPerMs;
    truth->notAfterNs = truth->notBeforeNs + kNsPerMs;
    std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    auto* release = new QMouseEvent(QEvent::MouseButtonRelease, at, at, Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier);
    release->setTimestamp(static_cast<quint64>(tick_clock::NowNs() / kNsPerMs));
    QCoreApplication::postEvent(window, release);
    return true;
  }

  void PressEscape() override {
    if (QWindow* window = window_.data()) {
      QCoreApplication::postEvent(window,
                                  new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
      QCoreApplication::postEvent(
          window, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
    }
  }

 private:
  QPointer<QWindow> window_;
};

}  // namespace

std::unique_ptr<ScriptedSubject> MakeQueueSubject(QWindow* window) {
  return std::make_unique<QueueSubject>(window);
}

std::unique_ptr<ScriptedSubject> MakeScriptedSubject(QWindow* window) {
  if (QGuiApplication::platformName() == QLatin1String("xcb")) {
    if (auto x11 = MakeX11Subject(window)) return x11;
  }
  return MakeQueueSubject(window);
}

}  // namespace check
