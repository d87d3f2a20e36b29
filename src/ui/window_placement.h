// Where the program's windows go: the main frame over the whole screen,
// dialogs and message boxes centred over the window that owns them. How far
// a program may place its own windows is the window system's decision (an X
// window manager frames them, a Wayland compositor places them itself); these
// helpers do what the platform allows. ApplyWindowClass gives both program
// windows their shared look as each is built.
#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;
class QWindow;

namespace ui {

/// True when programs on the Qt platform `platformName` place their own
/// top-level windows: X11 and the virtual platforms, not Wayland.
bool PlatformPlacesWindows(const QString& platformName);

/// The primary screen as window geometry (device-independent pixels, from the
/// screen's origin) for a screen of `width` x `height` physical pixels.
QRect ScreenRect(int width, int height);

/// The client rectangle whose outer frame, `frame` margins around it, is
/// exactly `screen`.
QRect ClientRectCovering(const QRect& screen, const QMargins& frame);

/// The top-left corner of an outer frame of `size` centred over `owner` (the
/// halves truncated), moved inside `screen` as far as it fits.
QPoint CentredFramePosition(const QRect& owner, const QSize& size, const QRect& screen);

/// Shows the top-level `window` over `screen`, raised and active: its outer
/// frame, decorations included, covers the screen where the program places its
/// windows (from the moment the window system has framed it: a few events
/// after the call); full screen where it cannot.
void CoverScreen(QWidget* window, const QRect& screen);

/// Moves the top-level `window`, about to be shown, so that its outer frame is
/// centred over its owner's, and gives it the keyboard once it shows. Does
/// nothing for a window without an owner.
void CentreOverOwner(QWidget* window);

/// Makes every showing of the dialog `window` open as CentreOverOwner places
/// it; for dialogs whose size is settled before they show.
void OpenOverOwner(QWidget* window);

/// The least width at which a window's caption `title` is shown whole beside
/// a window manager's title-bar buttons.
int CaptionWidth(const QString& title);

}  // namespace ui

/// Gives a widget the look both program windows share: black background, arrow cursor.
void ApplyWindowClass(QWidget* widget);
/// The same for a bare window, which paints its own (black) background.
void ApplyWindowClass(QWindow* window);
