// The X server as a person meets it: what the screen shows, and a mouse and
// keyboard faked through the XTest extension. Xlib stays inside the .cpp, so
// its macros never meet Qt's headers.
#pragma once

#include <QImage>
#include <QRect>
#include <chrono>
#include <initializer_list>
#include <string>
#include <vector>

struct _XDisplay;

namespace e2e {

/// A moment the X server went through, bounded by when the request that
/// marks it was sent and when its answer came back (steady clock, which is
/// the monotonic clock the program measures on).
struct ServerMoment {
  std::chrono::steady_clock::time_point sent;
  std::chrono::steady_clock::time_point answered;
  bool known = true;  ///< false: it happened before anyone looked; no lower bound
};

/// A viewable top-level window.
struct TopWindow {
  std::string title;
  QRect rect;          ///< the client area, in screen coordinates
  QRect frame;         ///< the outer frame (decorations included); the client area when none
  bool popup = false;  ///< bypasses window management: a menu or another pop-up
};

/// A connection to the X server named by DISPLAY.
class XScreen {
 public:
  XScreen() = default;
  ~XScreen();
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;

  /// Connects to the X server `name` (DISPLAY's when null) and checks for the
  /// XTest extension; empty, or what went wrong.
  std::string Open(const char* name = nullptr);
  /// Screen size in pixels.
  int Width() const { return width_; }
  int Height() const { return height_; }
  /// The pixels of `rect` (the whole screen when empty) as RGB32; null when refused.
  QImage Grab(QRect rect = QRect());
  /// Where the pointer is.
  QPoint Pointer();
  /// Moves the pointer to (x, y).
  void MoveTo(int x, int y);
  /// Presses or releases the left button where the pointer is.
  void LeftButton(bool down);
  /// The same, returning once the server has taken it, with when that was.
  ServerMoment LeftButtonTaken(bool down);
  /// The colours of single pixels, all read in one round trip; false when
  /// refused. `moment` is when the server read them.
  bool ReadPoints(const std::vector<QPoint>& points, std::vector<QRgb>* colours,
                  ServerMoment* moment);
  /// Presses keys named by keysym ("Control_L", "a") in order and releases
  /// them in reverse; false when one has no key.
  bool Tap(std::initializer_list<const char*> keys);
  /// Types printable ASCII text, with Shift where a character needs it.
  bool Type(const std::string& text);
  /// Asks for the top-level window titled `title` to be moved, its client
  /// area's corner to `to`, as a person dragging it would.
  void MoveWindow(const std::string& title, const QPoint& to);
  /// Asks the top-level window titled `title` to close (WM_DELETE_WINDOW), as
  /// a window manager does for Alt+F4 or the close box; false when it is not there.
  bool AskToClose(const std::string& title);
  /// The window-manager states (_NET_WM_STATE atoms, by name) of the
  /// top-level window titled `title`; empty when it has none or is not there.
  std::vector<std::string> WindowStates(const std::string& title);
  /// The viewable top-level windows, found inside a window manager's frames.
  std::vector<TopWindow> TopWindows();

 private:
  bool Key(unsigned long keysym, bool down);
  unsigned long ClientOf(unsigned long frame);
  unsigned long ClientTitled(const std::string& title);
  QRect FrameAround(unsigned long client, const QRect& clientRect, const QRect& outer);

  _XDisplay* display_ = nullptr;
  unsigned long root_ = 0;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace e2e
