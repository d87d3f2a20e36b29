#include "dialogs/lock_wait_dialog.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include "dialogs/dialog_frame.h"
#include "ui/services.h"

namespace dialogs {

bool WaitForResultLock(const std::string& file, const std::function<bool()>& tryLock) {
  constexpr int kPollMs = 100;
  QProgressDialog box(
      QString::fromStdString("Waiting for another station to finish writing [" + file + "]…"),
      QStringLiteral("Cancel"), 0, 0, MainWindowWidget());
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
