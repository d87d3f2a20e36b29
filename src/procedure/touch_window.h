// The operating-system window of the test: a frameless window over the whole
// primary screen that turns touch, mouse and activation events into the
// handlers of its CTouchWnd. One is created for each test and destroyed after it.
#pragma once

#include <QSurface>
#include <QWindow>
#include <vector>

#include "procedure/touch_list.h"
#include "ui/services.h"

class QKeyEvent;
class QMouseEvent;
class QTouchEvent;

/// Title of the test window.
inline constexpr char kTestWindowTitle[] = "Experiment Window";

/// The test window; feeds `state` until it is destroyed.
class TouchWindow : public QWindow {
  Q_OBJECT

 public:
  /// A hidden window of `width` x `height` physical pixels at the primary
  /// screen's top-left corner, owned by `owner` (may be null). `surfaceType`
  /// is OpenGLSurface when the presenter draws with OpenGL, else RasterSurface.
  TouchWindow(CTouchWnd& state, QSurface::SurfaceType surfaceType, int width, int height,
              QWindow* owner = nullptr);
  /// Clears the contacts of `state`: their releases will not reach it.
  ~TouchWindow() override;

  /// Shows the window full screen and asks for it to be activated.
  void ShowFullScreen();
  /// The window as the user interface services name it.
  ui::WindowHandle Handle() { return static_cast<QWindow*>(this); }

 protected:
  bool event(QEvent* event) override;
  /// Kept open: the test ends as with Escape, and its end closes the window.
  void closeEvent(QCloseEvent* event) override;
  /// Alt+F4 that reaches the window (no window manager took it) closes it.
  void keyPressEvent(QKeyEvent* event) override;
  void touchEvent(QTouchEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QPoint PhysicalPixel(const QPointF& logical) const;

  CTouchWnd& state_;
  // Contacts of the current touch sequence, in the order they came down.
  std::vector<TouchInput> contacts_;
};
