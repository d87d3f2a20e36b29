// What the presenter's window should show, as both its drawing paths draw it:
// redrawn on every OpenGL swap, since the back buffer's content is undefined
// after one.
#pragma once

#include <QColor>
#include <QSize>
#include <QWindow>
#include <cstdint>

#include "ui/services.h"

namespace display {

/// The last fill or canvas the window was given.
struct FrameContent {
  enum class Kind { kNothing, kFill, kCanvas };
  Kind kind = Kind::kNothing;
  uint32_t fillColour = 0;  ///< 0x00BBGGRR, when a fill
  ui::Rect canvasTarget;    ///< where the canvas goes, physical window pixels
};

/// The window's size in physical pixels.
inline QSize PhysicalSize(const QWindow* window) {
  const qreal ratio = window->devicePixelRatio();
  return QSize(qRound(window->width() * ratio), qRound(window->height() * ratio));
}

/// A 0x00BBGGRR colour as Qt's.
inline QColor ColourOf(uint32_t colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

}  // namespace display
