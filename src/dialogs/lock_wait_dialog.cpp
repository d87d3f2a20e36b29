#include "dialogs/lock_wait_dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFontMetrics>
#include <QProgressDialog>
#include <QTimer>

#include "dialogs/dialog_frame.h"
#include "ui/services.h"

namespace dialogs {

bool WaitForResultLock(const std::string& file, const std::function<bool()>& tryLock) {
  constexpr int kPollMs = 100;
  // A subject's file name can be long: shortened in the middle, the box stays
  // within a small screen.
  constexpr int kMaxNameWidth = 480;
  const QString name =
      QFontMetrics(QApplication::font())
          .elidedText(QString::fromStdString(file), Qt::ElideMiddle, kMaxNameWidth);
  QProgressDialog box(
      QCoreApplication::translate("LockWait", "Waiting for another station to finish writing [%1]…")
          .arg(name),
      QCoreApplication::translate("LockWait", "Cancel"), 0, 0, MainWindowWidget());
  box.setObjectName(QStringLiteral("lockWait"));
  box.setWindowTitle(QString::fromStdString(ui::ApplicationName()));
  box.setWindowModality(Qt::ApplicationModal);
  box.setMinimumDuration(0);
  box.setAutoClose(false);
  box.setAutoReset(false);
  box.show();
  while (!box.wasCanceled()) {
    if (tryLock()) return true;
    QEventLoop pause;
    QTimer::singleShot(kPollMs, &pause, &QEventLoop::quit);
    pause.exec();
  }
  return false;
}

}  // namespace dialogs
