#include "dialogs/dialog_frame.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QString>
#include <QWidget>
#include <QWindow>

#include "ui/services.h"
#include "ui/window_placement.h"

namespace dialogs {
namespace {

// The platform's MulDiv: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

QFont FontWithFallbacks(const QStringList& families, int pointSize) {
  QFont font = QApplication::font();
  QStringList all = families;
  all << QApplication::font().family();
  font.setFamilies(all);
  font.setPointSize(pointSize);
  return font;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int width = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseX_ = (width / 26 + 1) / 2;
  baseY_ = metrics.height();
  if (baseX_ < 1) baseX_ = 1;
  if (baseY_ < 1) baseY_ = 1;
}

int DialogUnits::X(int units) const {
  return MulDiv(units, baseX_, 4);
}

int DialogUnits::Y(int units) const {
  return MulDiv(units, baseY_, 8);
}

QRect DialogUnits::Rect(int x, int y, int width, int height) const {
  return QRect(X(x), Y(y), X(width), Y(height));
}

QSize DialogUnits::Size(int width, int height) const {
  return QSize(X(width), Y(height));
}

QFont ShellDialogFont() {
  return FontWithFallbacks({QStringLiteral("MS Shell Dlg")}, 8);
}

QFont GothicDialogFont() {
  return FontWithFallbacks({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                            QStringLiteral("IPAGothic")},
                           9);
}

void SetModalFrame(QDialog* dialog, int width, int height) {
  dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog->setFixedSize(DialogUnits(dialog->font()).Size(width, height));
  ui::OpenOverOwner(dialog);
}

QWidget* MainWindowWidget() {
  const ui::WindowHandle main = ui::Ui().MainWindow();
  if (!main) return nullptr;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (static_cast<ui::WindowHandle>(widget->windowHandle()) == main) return widget;
  }
  return nullptr;
}

ui::WindowHandle WindowHandleOf(QWidget* widget) {
  return widget ? static_cast<ui::WindowHandle>(widget->window()->windowHandle()) : nullptr;
}

}  // namespace dialogs
