#include "ui/qt_services.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QFileInfo>
#include <QGridLayout>
#include <QInputDevice>
#include <QInputMethod>
#include <QKeyEvent>
#include <QPaintDeviceWindow>
#include <QScreen>
#include <QShowEvent>
#include <QSoundEffect>
#include <QSpacerItem>
#include <QThread>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "ui/stim_folder.h"
#include "ui/surface_dc.h"
#include "ui/window_placement.h"

namespace ui {
namespace {

// The keys whose state is kept, as virtual keys.
int VirtualKeyOf(int qtKey) {
  switch (qtKey) {
    case Qt::Key_Escape:
      return kVkEscape;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 0x0D;
    case Qt::Key_Space:
      return 0x20;
    default:
      return 0;
  }
}

// Input that DiscardInput throws away: keyboard and mouse presses and moves.
// Releases are let through on purpose: a window that saw the press before the
// discard and never sees the release would keep the key or the button down
// for good, and the trial waits for every contact to be lifted. Touch events
// always pass: an update may carry the release of one contact among others,
// and the touch list itself forgets the presses made before a discard.
bool IsDiscardable(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::HoverMove:
    case QEvent::Wheel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
      return true;
    default:
      return false;
  }
}

// A message box centred over its owner once it has taken its size, which
// QMessageBox settles only as it shows.
class CentredMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    if (!event->spontaneous()) CentreOverOwner(this);
  }
};

// Delivers what is pending: posted events first, then what the window
// system has queued.
void DeliverPending() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

}  // namespace

WindowHandle HandleOf(QWidget* widget) {
  if (!widget) return nullptr;
  QWidget* top = widget->window();
  if (!top->windowHandle()) top->winId();  // creates the native window
  return top->windowHandle();
}

QWindow* WindowOf(WindowHandle handle) {
  return static_cast<QWindow*>(handle);
}

QWidget* WidgetOf(WindowHandle handle) {
  QWindow* window = WindowOf(handle);
  if (!window) return nullptr;
  for (QWidget* top : QApplication::topLevelWidgets()) {
    if (top->windowHandle() == window) return top;
  }
  return nullptr;
}

QMessageBox::Icon MessageBoxIcon(unsigned type) {
  switch (type & kMbIconMask) {
    case kMbIconHand:
      return QMessageBox::Critical;
    case kMbIconQuestion:
      return QMessageBox::Question;
    case kMbIconWarning:
      return QMessageBox::Warning;
    case kMbIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QtServices::QtServices() {
  InstallFontSubstitutions();
  if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
}

QtServices::~QtServices() {
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
  if (cursorCount_ < 0) QGuiApplication::restoreOverrideCursor();
}

void QtServices::SetMainWindow(QWidget* widget) {
  mainWindow_ = widget;
}

int QtServices::MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                           unsigned type) {
  const std::string& title = caption.empty() ? ApplicationName() : caption;
  const bool cancel = (type & kMbTypeMask) == kMbOkCancel;
  CentredMessageBox box(
      MessageBoxIcon(type), QString::fromStdString(title), QString::fromStdString(text),
      cancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, WidgetOf(owner));
  // Cancel is the safe answer; Escape and the close box give it too.
  if (cancel) box.setDefaultButton(QMessageBox::Cancel);
  // In the program's language, not in the one Qt's own translation would pick.
  box.button(QMessageBox::Ok)->setText(QCoreApplication::translate("MessageBox", "OK"));
  if (cancel)
    box.button(QMessageBox::Cancel)->setText(QCoreApplication::translate("MessageBox", "Cancel"));
  // Texts can carry a subject's identifier: never read them as markup.
  box.setTextFormat(Qt::PlainText);
  // The owner may be a topmost full-screen window; the box must not hide behind it.
  box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  // A short text ("Score is 4.50") would leave the caption no room in the title bar.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
    grid->addItem(new QSpacerItem(CaptionWidth(box.windowTitle()), 0, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
  }
  const int answer = box.exec();
  return cancel && answer != QMessageBox::Ok ? kIdCancel : kIdOk;
}

WindowHandle QtServices::MainWindow() {
  return HandleOf(mainWindow_.data());
}

void QtServices::PlaceTopmost(WindowHandle handle, int width, int height) {
  QWindow* window = WindowOf(handle);
  if (!window) return;
  const QRect screen = ScreenRect(width, height);
  // The hint goes straight to the native window: changing a shown widget's
  // flags the ordinary way hides it first, and the full-screen frame flickers.
  const Qt::WindowFlags flags = window->flags() | Qt::WindowStaysOnTopHint;
  if (QWidget* widget = WidgetOf(handle)) {
    if (!(widget->windowFlags() & Qt::WindowStaysOnTopHint)) {
      widget->overrideWindowFlags(widget->windowFlags() | Qt::WindowStaysOnTopHint);
      window->setFlags(flags);
    }
    CoverScreen(widget, screen);
    widget->update();
    return;
  }
  window->setFlags(flags);
  window->setGeometry(screen);
  window->show();
  window->raise();
  window->requestActivate();
  if (auto* painted = qobject_cast<QPaintDeviceWindow*>(window)) {
    painted->update();
  } else {
    window->requestUpdate();
  }
}

void QtServices::EndTopmost(WindowHandle handle) {
  QWindow* window = WindowOf(handle);
  if (!window || !(window->flags() & Qt::WindowStaysOnTopHint)) return;
  // Straight to the native window, as PlaceTopmost set it: the window stays
  // shown, and the window manager drops its "above" state.
  if (QWidget* widget = WidgetOf(handle)) {
    widget->overrideWindowFlags(widget->windowFlags() & ~Qt::WindowStaysOnTopHint);
  }
  window->setFlags(window->flags() & ~Qt::WindowStaysOnTopHint);
}

int QtServices::ScreenWidth() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? static_cast<int>(
                      std::lround(screen->geometry().width() * screen->devicePixelRatio()))
                : 0;
}

int QtServices::ScreenHeight() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? static_cast<int>(
                      std::lround(screen->geometry().height() * screen->devicePixelRatio()))
                : 0;
}

bool QtServices::DigitizerReady() {
  const auto devices = QInputDevice::devices();
  return std::any_of(devices.begin(), devices.end(), [](const QInputDevice* d) {
    return d->type() == QInputDevice::DeviceType::TouchScreen;
  });
}

int16_t QtServices::GetAsyncKeyState(int virtualKey) {
  // Key state here comes from events, not from the hardware: deliver what is
  // queued first, so that a loop polling for a release gets to see it.
  DeliverPending();
  auto it = keys_.find(virtualKey);
  if (it == keys_.end()) return 0;
  KeyState& key = it->second;
  const uint16_t state = (key.down ? 0x8000 : 0) | (key.pressedSincePoll ? 0x0001 : 0);
  key.pressedSincePoll = false;
  return static_cast<int16_t>(state);
}

int QtServices::ShowCursor(bool show) {
  const int before = cursorCount_;
  cursorCount_ += show ? 1 : -1;
  if (before == 0 && cursorCount_ == -1) {
    QGuiApplication::setOverrideCursor(Qt::BlankCursor);
  } else if (before == -1 && cursorCount_ == 0) {
    QGuiApplication::restoreOverrideCursor();
  }
  return cursorCount_;
}

bool QtServices::PumpMessages() {
  const unsigned long before = eventsSeen_;
  DeliverPending();
  return eventsSeen_ != before;
}

void QtServices::DiscardInput() {
  ++discarding_;
  DeliverPending();
  --discarding_;
}

void QtServices::Sleep(int milliseconds) {
  if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

QSoundEffect* QtServices::SoundFor(const std::string& path) {
  const QFileInfo file(QString::fromStdString(InStimulusFolder(path, StimulusFolder())));
  // A missing file loads nothing; nor does a link, a FIFO or a device,
  // which another user may have left, nor a file no sound of ours reaches.
  constexpr qint64 kMaxSoundBytes = 64 * 1024 * 1024;
  if (file.isSymLink() || !file.isFile() || file.size() > kMaxSoundBytes) return nullptr;
  const std::string key = file.absoluteFilePath().toStdString();
  auto it = sounds_.find(key);
  if (it == sounds_.end()) {
    auto effect = std::make_unique<QSoundEffect>();
    effect->setSource(QUrl::fromLocalFile(file.absoluteFilePath()));
    it = sounds_.emplace(key, std::move(effect)).first;
  }
  return it->second.get();
}

void QtServices::PreloadSound(const std::string& path) {
  SoundFor(path);
}

void QtServices::PlaySound(const std::string& path, unsigned flags) {
  // Always asynchronous, and there is no default sound to fall back on, so
  // neither flag changes anything here.
  (void)flags;
  QSoundEffect* effect = SoundFor(path);
  if (!effect || effect->status() == QSoundEffect::Error) return;
  // One sound at a time, as on the platform: a new sound cuts the previous one.
  for (auto& [name, other] : sounds_) {
    if (other.get() != effect && other->isPlaying()) other->stop();
  }
  effect->play();
}

// An input method (ibus, fcitx) composes keystrokes into text for the focus
// widget only while that widget accepts input-method events. "Off" means no
// composition: key presses reach the window as plain keys and no candidate
// window opens over the test.
void QtServices::SetInputMethodOpen(WindowHandle window, bool open) {
  QWidget* widget = WidgetOf(window);
  QInputMethod* inputMethod = QGuiApplication::inputMethod();
  if (!open) {
    inputMethod->reset();
    inputMethod->hide();
    if (widget) {
      for (QWidget* target : {widget, widget->focusWidget()}) {
        if (target && target->testAttribute(Qt::WA_InputMethodEnabled)) {
          target->setAttribute(Qt::WA_InputMethodEnabled, false);
          imeDisabled_.emplace_back(target);
        }
      }
    }
  } else {
    auto reopened = std::remove_if(imeDisabled_.begin(), imeDisabled_.end(),
                                   [widget](const QPointer<QWidget>& w) {
                                     if (!w) return true;
                                     if (widget && w->window() != widget) return false;
                                     w->setAttribute(Qt::WA_InputMethodEnabled, true);
                                     return true;
                                   });
    imeDisabled_.erase(reopened, imeDisabled_.end());
  }
  inputMethod->update(Qt::ImEnabled);
}

std::unique_ptr<DeviceContext> QtServices::CreateSurfaceDC(uint8_t* pixels, int width, int height,
                                                           int pitch) {
  if (!pixels || width <= 0 || height <= 0 || pitch < 4 * width || pitch % 4 != 0) return nullptr;
  return std::make_unique<SurfaceDC>(pixels, width, height, pitch);
}

bool QtServices::eventFilter(QObject* watched, QEvent* event) {
  ++eventsSeen_;
  const QEvent::Type type = event->type();
  if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
    // The same event may pass here more than once (window, then widget, then
    // its parents); recording it is idempotent.
    const auto* keyEvent = static_cast<const QKeyEvent*>(event);
    if (const int vk = VirtualKeyOf(keyEvent->key())) {
      KeyState& key = keys_[vk];
      if (type == QEvent::KeyPress) {
        key.down = true;
        if (!keyEvent->isAutoRepeat()) key.pressedSincePoll = true;
      } else if (!keyEvent->isAutoRepeat()) {
        key.down = false;
      }
    }
  } else if (type == QEvent::ApplicationStateChange) {
    // A release while another application has the keyboard never reaches us;
    // forget held keys rather than keep one down for good.
    const auto* change = static_cast<const QApplicationStateChangeEvent*>(event);
    if (change->applicationState() != Qt::ApplicationActive) {
      for (auto& [vk, key] : keys_) key.down = false;
    }
  }
  if (discarding_ > 0 && IsDiscardable(type)) {
    event->accept();  // accepted: no shortcut fires, no mouse event is made from a touch
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace ui
