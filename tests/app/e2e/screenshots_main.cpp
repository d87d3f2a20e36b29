// Takes the README's screenshots with the end-to-end driver: the opening
// screen, a memorisation display and the results viewer after a short test,
// each at most 960 pixels wide. Run under xvfb-run (tools/screenshots.sh).
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdio>

#include "app/e2e/person.h"
#include "app/e2e/program_run.h"
#include "app/e2e/x_screen.h"

namespace {

constexpr int kWidth = 960;
constexpr int kMargin = 40;

// Earlier results, so that the viewer has a ranking to show.
const char kEarlierResults[] =
    "Date\tTime\tScore\tSubject\r\n"
    "2026/01/12\t10:04:31\t5.50\tS01\r\n"
    "2026/01/12\t10:41:09\t4.25\tS02\r\n"
    "2026/01/13\t09:15:52\t6.00\tS03\r\n"
    "2026/01/13\t11:02:17\t3.75\tS04\r\n"
    "2026/01/14\t14:20:45\t5.00\tS05\r\n"
    "2026/01/14\t15:08:03\t4.50\tS06\r\n";

int Fail(const std::string& err) {
  std::fprintf(stderr, "screenshots: %s\n", err.c_str());
  return 1;
}

// The whole screen, or `area` of it, scaled down to kWidth when wider.
bool Save(e2e::XScreen& screen, const QDir& out, const char* name, const QRect& area = QRect()) {
  const QString path = out.filePath(QString::fromLatin1(name));
  QImage shot = screen.Grab(area);
  if (shot.width() > kWidth) shot = shot.scaledToWidth(kWidth, Qt::SmoothTransformation);
  const bool saved = shot.save(path, "PNG");
  std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "cannot write", qPrintable(path));
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <output directory>\n", argv[0]);
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  if (!out.exists()) return Fail("no directory " + std::string(argv[1]));

  std::string err;
  e2e::XScreen screen;
  if (!screen.Open(&err)) return Fail(err);
  const QImage opening(QStringLiteral(DORVANE_STIM_DIR "/opening.bmp"));
  e2e::Person person(screen, opening);
  e2e::ProgramRun program;
  if (!program.Prepare(QStringLiteral(DORVANE_STIM_DIR), &err)) return Fail(err);
  QFile log(QDir(program.WorkDir()).filePath(QStringLiteral("ORBEL.txt")));
  if (!log.open(QIODevice::WriteOnly) || log.write(kEarlierResults) < 0) {
    return Fail("cannot write ORBEL.txt");
  }
  log.close();
  if (!program.Launch(QStringLiteral(DORVANE_EXE), &err)) return Fail(err);

  bool saved = true;
  if (!person.WaitForOpeningScreen(20000, &err)) return Fail(err);
  saved = Save(screen, out, "opening.png") && saved;

  e2e::SubjectEntry entry;
  entry.subject = "S07";
  entry.memtime = 3;
  entry.maxRev = 1;
  entry.showRanking = true;
  person.onMemorisation = [&] { saved = Save(screen, out, "memorisation.png") && saved; };
  // Halved, the dialog's 8-point text could not be read: the dialog is kept
  // at full size with a margin of the screen around it.
  person.onResults = [&](const QRect& dialog) {
    const QRect area = QRect(dialog.center().x() - kWidth / 2, dialog.y() - kMargin, kWidth,
                             dialog.height() + 2 * kMargin)
                           .intersected(QRect(0, 0, screen.Width(), screen.Height()));
    saved = Save(screen, out, "results.png", area) && saved;
  };
  std::vector<e2e::DrivenTrial> trials;
  if (!person.StartTestByClick(&err) || !person.FillSubjectInformation(entry, &err) ||
      !person.TakeTest(entry, &trials, &err) || !person.CloseResults(&err) ||
      !person.WaitForOpeningScreen(15000, &err) || !person.ExitFromMenu(&err)) {
    std::fputs(person.Log().c_str(), stderr);
    return Fail(err);
  }
  int exitCode = -1;
  if (!program.WaitForExit(15000, &exitCode, &err)) return Fail(err);
  std::fputs(person.Log().c_str(), stderr);
  return saved && exitCode == 0 ? 0 : 1;
}
