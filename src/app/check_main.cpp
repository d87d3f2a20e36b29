// dorvane-check: tells, on the PC it runs on, whether Dorvane's reaction
// times can be trusted there.
#include <QApplication>
#include <QtGlobal>

#include "app/language.h"
#include "check/check_command.h"

int main(int argc, char** argv) {
  // Every measure in the program is in physical pixels.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication application(argc, argv);
  language::Apply(language::StoredChoice());
  return check::RunCheckCommand(argc, argv);
}
