// Two pictures saved as one, as the windows with two charts save them.
#pragma once

#include <QImage>

namespace dialogs {

/// `left` and `right` side by side, tops aligned, on white where the
/// shorter one leaves room.
QImage SideBySide(const QImage& left, const QImage& right);

}  // namespace dialogs
