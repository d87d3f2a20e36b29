// The README's picture of the Participants window over a made-up register,
// on a 1024 x 768 screen (tools/screenshots.sh).
#include <QApplication>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "app/language.h"
#include "participants/participants_window.h"
#include "support/file_bytes.h"

namespace {

const char kRegister[] =
    "ID,age,gender,handedness,group,condition,experimenter,notes,room\n"
    "S01,21,f,right,A,3s,KT,,2\n"
    "S02,24,m,right,A,5s,KT,,2\n"
    "S03,19,f,left,B,3s,YM,\"wore glasses, asked twice\nabout the touch screen\",1\n"
    "S04,22,m,right,B,5s,YM,,1\n"
    "S05,30,x,right,A,3s,KT,came back for a retest,2\n"
    "S06,27,f,ambidextrous,B,5s,KT,,2\n"
    "S07,23,m,right,A,3s,YM,,1\n";

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  QApplication app(argc, argv);
  // The program's own texts with their plural forms, as at start-up.
  language::Apply(language::Language::kDefault);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output.png>\n", argv[0]);
    return 2;
  }
  QTemporaryDir dir;
  const QString path = dir.filePath("participants.csv");
  if (!testing::WriteBytes(path, kRegister)) return 1;
  participants::CParticipants window(path);
  window.move(20, 20);
  window.show();
  window.Table()->selectRow(2);
  bool saved = false;
  QTimer::singleShot(1500, [&] {
    saved = QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromLocal8Bit(argv[1]));
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "cannot write", argv[1]);
    app.quit();
  });
  app.exec();
  return saved ? 0 : 1;
}
