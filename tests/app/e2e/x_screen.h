// The X server as a person meets it: what the screen shows, and a mouse and
// keyboard faked through the XTest extension. Xlib stays inside the .cpp, so
// its macros never meet Qt's headers.
#pragma once

#include <QImage>
#include <QRect>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

/// One screen pixel.
struct Rgb {
  int r = 0;
  int g = 0;
  int b = 0;
};

/// A connection to the X server named by DISPLAY, with its root window.
class XScreen {
 public:
  /// Not connected until Open.
  XScreen();
  ~XScreen();
  XScreen(const XScreen&) = delete;
  XScreen& operator=(const XScreen&) = delete;

  /// Connects and checks for the XTest extension; false with `err` set on failure.
  bool Open(std::string* err);
  /// Screen size in pixels.
  int Width() const;
  int Height() const;

  /// Reads `width` pixels of screen row `y` from column `x`; false when the
  /// server refuses (outside the screen).
  bool ReadRow(int x, int y, int width, std::vector<Rgb>* out);
  /// The pixels of `rect` (the whole screen when empty), as RGB32.
  QImage Grab(QRect rect = QRect());

  /// Moves the pointer to (x, y).
  void MoveTo(int x, int y);
  /// Presses or releases the left button where the pointer is.
  void LeftButton(bool down);
  /// Moves, presses, holds for `holdMs` and releases.
  void Click(int x, int y, int holdMs = 40);
  /// Presses and releases a key given by its keysym name ("Return", "Tab",
  /// "f"), with the modifiers (keysym names too) held around it.
  bool Tap(const std::string& key, const std::vector<std::string>& modifiers = {});
  /// Types printable ASCII text, with Shift where a character needs it.
  bool Type(const std::string& text);

  /// Geometry of the viewable top-level window titled `title`; an empty
  /// rectangle when there is none.
  QRect FindWindow(const std::string& title);
  /// Number of viewable top-level windows that bypass window management
  /// (menus and other pop-ups).
  int CountPopups();

 private:
  bool Key(unsigned long keysym, bool down);
  void Flush();

  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace e2e
