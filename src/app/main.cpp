// Dorvane: a test of visual-spatial working memory.
#include <QtGlobal>

#include "app/display_connection.h"
#include "app/my_app.h"

int main(int argc, char** argv) {
  // Every measure in the program is in physical pixels.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  const auto application = OpenDisplay(argc, argv);
  if (!application) return kNoDisplayExitCode;
  CMyApp app;
  return app.Run(argc, argv);
}
