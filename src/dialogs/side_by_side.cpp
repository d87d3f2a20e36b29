#include "dialogs/side_by_side.h"

#include <QPainter>
#include <algorithm>

namespace dialogs {

QImage SideBySide(const QImage& left, const QImage& right) {
  QImage both(left.width() + right.width(), std::max(left.height(), right.height()),
              QImage::Format_RGB32);
  both.fill(Qt::white);
  QPainter painter(&both);
  painter.drawImage(0, 0, left);
  painter.drawImage(left.width(), 0, right);
  painter.end();
  return both;
}

}  // namespace dialogs
