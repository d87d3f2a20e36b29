// Dorvane: a test of visual-spatial working memory.
#include <QApplication>
#include <QtGlobal>

#include "app/my_app.h"

int main(int argc, char** argv) {
  // Every measure in the program is in physical pixels.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication application(argc, argv);
  CMyApp app;
  return app.Run(argc, argv);
}
