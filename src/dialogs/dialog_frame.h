// Dialog templates are measured in dialog units of the dialog's font; these
// helpers turn them into pixels and give every dialog the same frame.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>

#include "ui/services.h"

class QDialog;
class QWidget;

namespace dialogs {

/// Converts dialog units of one font to pixels: a horizontal unit is a
/// quarter of the font's average character width, a vertical unit an eighth
/// of its character height.
class DialogUnits {
 public:
  /// Measures `font` (average width over A-Z and a-z, rounded as the
  /// platform's dialog manager rounds).
  explicit DialogUnits(const QFont& font);
  /// Horizontal dialog units to pixels, rounded to the nearest pixel.
  int X(int units) const;
  /// Vertical dialog units to pixels, rounded to the nearest pixel.
  int Y(int units) const;
  /// A control rectangle given as left, top, width and height in dialog units.
  QRect Rect(int x, int y, int width, int height) const;
  /// A client-area size given in dialog units.
  QSize Size(int width, int height) const;
  /// Average character width in pixels (four horizontal units).
  int BaseX() const { return baseX_; }
  /// Character height in pixels (eight vertical units).
  int BaseY() const { return baseY_; }

 private:
  int baseX_;
  int baseY_;
};

/// "MS Shell Dlg" 8 point, falling back to the application's font family
/// where no substitute for it is installed.
QFont ShellDialogFont();

/// "ＭＳ Ｐゴシック" 9 point, falling back to the IPA proportional Gothic and
/// then to the application's font family.
QFont GothicDialogFont();

/// Modal frame with caption and close box, no help button, not resizable,
/// client area of `width` by `height` dialog units of the dialog's font;
/// opens centred over its owner, with the keyboard.
void SetModalFrame(QDialog* dialog, int width, int height);

/// The widget of the application's main window, to own the dialogs; null
/// when the main window is not a widget of this process (as under tests).
QWidget* MainWindowWidget();

/// The handle of `widget`'s window for the user interface services, or null
/// while it has none.
ui::WindowHandle WindowHandleOf(QWidget* widget);

}  // namespace dialogs
