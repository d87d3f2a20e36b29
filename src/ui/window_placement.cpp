#include "ui/window_placement.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>

namespace ui {
namespace {

// A window manager answers a placement by moving or reframing the window;
// this many answers are followed per request, against one that never settles.
constexpr int kPlacementRounds = 4;
// Title bars keep room for an icon and up to four buttons beside the caption,
// and their font is often larger than the program's.
constexpr int kTitleBarButtons = 160;

QMargins FrameOf(const QWidget* window) {
  const QWindow* handle = window->windowHandle();
  return handle ? handle->frameMargins() : QMargins();
}

// A window of fixed size keeps it fixed at its new size.
void Place(QWidget* window, const QRect& client) {
  if (window->minimumSize() == window->maximumSize()) window->setFixedSize(client.size());
  window->setGeometry(client);
}

// Fits a window's client to what its frame leaves of the screen, again each
// time the window manager maps, moves or reframes it: the frame is known only
// once the window is mapped, and a window manager may then move the client
// (one keeps an invisible border on the screen) or change the frame.
class ScreenCover : public QObject {
 public:
  explicit ScreenCover(QWidget* window) : QObject(window), window_(window) {}

  void Request(const QRect& screen) {
    screen_ = screen;
    roundsLeft_ = kPlacementRounds;
    QWindow* handle = window_->windowHandle();
    if (handle != watched_) {
      if (watched_) watched_->removeEventFilter(this);
      if (handle) handle->installEventFilter(this);
      watched_ = handle;
    }
    Fit();
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type == QEvent::Expose || type == QEvent::Move || type == QEvent::Resize) Fit();
    return false;
  }

 private:
  void Fit() {
    const QWindow* handle = window_->windowHandle();
    if (!handle || !handle->isExposed() || roundsLeft_ <= 0) return;
    const QRect client = ClientRectCovering(screen_, FrameOf(window_));
    // The native window's geometry: it follows the window manager's answers first.
    if (handle->geometry() == client) return;
    --roundsLeft_;
    Place(window_, client);
  }

  QWidget* window_;
  QPointer<QWindow> watched_;
  QRect screen_;
  int roundsLeft_ = 0;
};

// Centres every showing of its dialog.
class OwnerCentring : public QObject {
 public:
  explicit OwnerCentring(QWidget* dialog) : QObject(dialog) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == parent() && event->type() == QEvent::Show && !event->spontaneous()) {
      CentreOverOwner(static_cast<QWidget*>(watched));
    }
    return false;
  }
};

}  // namespace

bool PlatformPlacesWindows(const QString& platformName) {
  return !platformName.startsWith(QLatin1String("wayland"));
}

QRect ScreenRect(int width, int height) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return QRect(0, 0, width, height);
  const double ratio = screen->devicePixelRatio();
  return QRect(screen->geometry().topLeft(), QSize(static_cast<int>(std::ceil(width / ratio)),
                                                   static_cast<int>(std::ceil(height / ratio))));
}

QRect ClientRectCovering(const QRect& screen, const QMargins& frame) {
  return screen.marginsRemoved(frame);
}

QPoint CentredFramePosition(const QRect& owner, const QSize& size, const QRect& screen) {
  int x = owner.x() + (owner.width() - size.width()) / 2;
  int y = owner.y() + (owner.height() - size.height()) / 2;
  // Inside the screen, and the caption rather than the bottom when it cannot all fit.
  x = std::max(std::min(x, screen.x() + screen.width() - size.width()), screen.x());
  y = std::max(std::min(y, screen.y() + screen.height() - size.height()), screen.y());
  return QPoint(x, y);
}

void CoverScreen(QWidget* window, const QRect& screen) {
  if (!PlatformPlacesWindows(QGuiApplication::platformName())) {
    // The compositor places windows; full screen is the one request that
    // covers the screen, panels included.
    window->showFullScreen();
    window->raise();
    window->activateWindow();
    return;
  }
  if (!window->isVisible()) {
    // Mapped well inside the screen: a window manager may take a window that
    // does not fit with its frame for a maximised one, and frame it without
    // borders for good.
    Place(window, QRect(screen.topLeft() + QPoint(screen.width() / 8, screen.height() / 8),
                        screen.size() * 3 / 4));
    window->show();
  }
  ScreenCover* cover = nullptr;
  for (QObject* child : window->children()) {
    if (!cover) cover = dynamic_cast<ScreenCover*>(child);
  }
  if (!cover) cover = new ScreenCover(window);
  cover->Request(screen);
  window->raise();
  window->activateWindow();
}

void CentreOverOwner(QWidget* window) {
  QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
  if (!owner) return;
  if (PlatformPlacesWindows(QGuiApplication::platformName())) {
    // Before its first mapping a window's own frame is unknown; the owner's,
    // from the same window manager, stands in for it.
    QMargins frame = FrameOf(window);
    if (frame.isNull()) frame = FrameOf(owner);
    const QScreen* screen = owner->screen();
    // Clear of the desktop's panels, which the owner covers as a full-screen window.
    const QRect area = screen ? screen->availableGeometry() : owner->frameGeometry();
    const QPoint corner =
        CentredFramePosition(owner->frameGeometry(), window->size().grownBy(frame), area);
    // As a client position: Qt cannot yet turn a frame position into one.
    window->setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), window->size()));
  }
  // Without a window manager nobody else hands the new window the keyboard.
  const QPointer<QWidget> shown(window);
  QTimer::singleShot(0, window, [shown] {
    if (!shown || !shown->isVisible()) return;
    shown->raise();
    shown->activateWindow();
  });
}

void OpenOverOwner(QWidget* window) {
  window->installEventFilter(new OwnerCentring(window));
}

int CaptionWidth(const QString& title) {
  QFont font = QApplication::font();
  font.setBold(true);
  const int text = QFontMetrics(font).horizontalAdvance(title);
  return text * 5 / 4 + kTitleBarButtons;
}

}  // namespace ui

void ApplyWindowClass(QWidget* widget) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, Qt::black);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
  widget->setCursor(Qt::ArrowCursor);
}

void ApplyWindowClass(QWindow* window) {
  window->setCursor(Qt::ArrowCursor);
}
