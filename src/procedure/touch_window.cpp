#include "procedure/touch_window.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QScreen>
#include <QTouchEvent>
#include <QtMath>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Mouse events made from touches would press the list a second time; the
// touch events already carry those contacts. Pen-made mouse events stay.
bool IsFromTouch(const QMouseEvent* event) {
  if (event->source() == Qt::MouseEventSynthesizedBySystem) return true;
  const QInputDevice* device = event->device();
  return device != nullptr && device->type() == QInputDevice::DeviceType::TouchScreen;
}

// The event's own stamp where it is on the timer's clock, else the moment
// it is handled.
InputTime TimeOf(const QInputEvent* event) {
  const InputTime received = SampledNow();
  InputTime time = received;
  if (StampToClock(event->timestamp(), received.ns, &time.ns)) {
    time.source = TouchTimeSource::kStamp;
  }
  return time;
}

uint32_t TouchFlags(QEventPoint::State state) {
  switch (state) {
    case QEventPoint::Pressed:
      return kTouchEventfDown;
    case QEventPoint::Released:
      return kTouchEventfUp;
    default:
      return kTouchEventfMove;
  }
}

}  // namespace

TouchWindow::TouchWindow(CTouchWnd& state, QSurface::SurfaceType surfaceType, int width, int height,
                         QWindow* owner)
    : state_(state) {
  state_.closeRequested = 0;
  state_.closedByAltF4 = 0;
  setSurfaceType(surfaceType);
  // No alpha channel where the platform lets the window go without one: a
  // compositor that blends by alpha must never show the desktop through the test.
  QSurfaceFormat opaque = requestedFormat();
  opaque.setAlphaBufferSize(0);
  setFormat(opaque);
  setFlags(Qt::Window | Qt::FramelessWindowHint);
  setTitle(QString::fromLatin1(kTestWindowTitle));
  if (QScreen* primary = QGuiApplication::primaryScreen()) setScreen(primary);
  if (owner != nullptr) setTransientParent(owner);
  // Set explicitly: without a window manager nothing else would place it.
  const qreal ratio = devicePixelRatio();
  const QPoint origin = screen() != nullptr ? screen()->geometry().topLeft() : QPoint(0, 0);
  setGeometry(QRect(origin, QSize(qCeil(width / ratio), qCeil(height / ratio))));
}

TouchWindow::~TouchWindow() {
  state_.OnDestroy();
}

void TouchWindow::ShowFullScreen() {
  showFullScreen();
  requestActivate();
}

bool TouchWindow::event(QEvent* event) {
  const bool handled = QWindow::event(event);
  if (event->type() == QEvent::WindowActivate) {
    state_.OnActivate(true);
  } else if (event->type() == QEvent::WindowDeactivate) {
    // The releases now go elsewhere: no contact may stay down for good.
    contacts_.clear();
    state_.OnActivate(false);
  }
  return handled;
}

void TouchWindow::closeEvent(QCloseEvent* event) {
  // Destroyed under the running test, the window would take the test's input
  // and frames with it, and the test would go on unseen.
  event->ignore();
  contacts_.clear();
  state_.OnClose();
}

void TouchWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F4 && (event->modifiers() & Qt::AltModifier)) {
    event->accept();
    contacts_.clear();
    state_.OnAltF4();
    return;
  }
  QWindow::keyPressEvent(event);
}

void TouchWindow::touchEvent(QTouchEvent* event) {
  event->accept();
  if (event->type() == QEvent::TouchCancel) {
    contacts_.clear();
    state_.OnTouchCancel();
    return;
  }
  // An event may carry only the contacts that changed; the list needs all
  // that are down, so the window follows each contact from press to release.
  const qreal ratio = devicePixelRatio();
  for (TouchInput& contact : contacts_) contact.flags = kTouchEventfMove;
  for (const QEventPoint& point : event->points()) {
    const auto id = static_cast<uint32_t>(point.id());
    auto it = std::find_if(contacts_.begin(), contacts_.end(),
                           [id](const TouchInput& c) { return c.id == id; });
    const bool known = it != contacts_.end();
    if (!known) it = contacts_.insert(contacts_.end(), TouchInput{0, 0, 0, id});
    it->flags = TouchFlags(point.state());
    // A stationary contact stays where it was last seen.
    if (known && point.state() == QEventPoint::Stationary) continue;
    // Contacts arrive in logical pixels; the list is in physical ones, in
    // hundredths as a digitiser reports them.
    const QPointF pos = point.position() * ratio;
    it->x = static_cast<int32_t>(std::lround(pos.x() * 100.0));
    it->y = static_cast<int32_t>(std::lround(pos.y() * 100.0));
  }
  // An end leaves no contact, whatever an earlier, lost update said.
  if (event->type() == QEvent::TouchEnd) {
    for (TouchInput& contact : contacts_) contact.flags = kTouchEventfUp;
  }
  state_.OnTouch(contacts_.data(), static_cast<int>(contacts_.size()), TimeOf(event));
  contacts_.erase(std::remove_if(contacts_.begin(), contacts_.end(),
                                 [](const TouchInput& c) { return c.flags & kTouchEventfUp; }),
                  contacts_.end());
}

void TouchWindow::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (IsFromTouch(event) || event->button() != Qt::LeftButton) return;
  const QPoint p = PhysicalPixel(event->position());
  state_.OnLButtonDown(p.x(), p.y(), TimeOf(event));
}

void TouchWindow::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  if (IsFromTouch(event)) return;
  const QPoint p = PhysicalPixel(event->position());
  state_.OnMouseMove((event->buttons() & Qt::LeftButton) != 0, p.x(), p.y(), TimeOf(event));
}

void TouchWindow::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (IsFromTouch(event) || event->button() != Qt::LeftButton) return;
  state_.OnLButtonUp();
}

// The second press of a double click has already come as a press.
void TouchWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
}

QPoint TouchWindow::PhysicalPixel(const QPointF& logical) const {
  const qreal ratio = devicePixelRatio();
  return QPoint(qFloor(logical.x() * ratio), qFloor(logical.y() * ratio));
}
