// Takes the README's screenshots with the end-to-end driver: the opening
// screen, a memorisation display, the results viewer after a short test and
// the Sessions window, on a 1024 x 768 screen (the smallest a lab PC is
// expected to have). Run under xvfb-run (tools/screenshots.sh).
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

#include "app/e2e/person.h"
#include "records/record_writer.h"
#include "records/session_file.h"
#include "support/session_samples.h"

namespace {

constexpr int kWidth = 1024;
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

// Earlier sessions, so that the Sessions window has a list, a distribution
// and one damaged record to show.
std::vector<std::pair<QString, QByteArray>> EarlierSessions() {
  std::vector<std::pair<QString, QByteArray>> files;
  const char* subjects[] = {"S01", "S02", "S03", "S04", "S05", "S06"};
  for (int k = 0; k < 36; ++k) {
    testing::SimulatedSubject who;
    who.subject = subjects[k % 6];
    who.memtime = k % 9 == 8 ? 5 : 3;
    who.maxRev = k % 9 == 8 ? 4 : 6;
    who.span = 4.0 + (k * 7 % 11) * 0.3;
    who.randomStart = static_cast<uint32_t>(k + 11);
    who.ended = QDateTime(QDate(2026, 1, 12 + k / 6), QTime(9 + k % 6, 4 * k % 60), Qt::LocalTime);
    const QString name = QString::fromStdString(results::SessionFileStem(who.subject, who.ended));
    files.emplace_back("sessions/" + name + ".json",
                       results::SessionRecordJson(testing::SimulatedSession(who)));
  }
  files.emplace_back("sessions/S02_20260113-103000.json", files[7].second.left(5000));
  return files;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QDir out(QString::fromLocal8Bit(argc == 2 ? argv[1] : ""));
  if (argc != 2 || !out.exists()) {
    std::fprintf(stderr, "usage: %s <existing output directory>\n", argv[0]);
    return 2;
  }
  e2e::Person person;
  e2e::XScreen& screen = person.Screen();
  bool saved = true;
  // The whole screen, or `area` of it, scaled down to kWidth when wider.
  const auto save = [&](const char* name, const QRect& area) {
    const QString path = out.filePath(QString::fromLatin1(name));
    QImage shot = screen.Grab(area);
    if (shot.width() > kWidth) shot = shot.scaledToWidth(kWidth, Qt::SmoothTransformation);
    const bool ok = shot.save(path, "PNG");
    std::fprintf(stderr, "%s %s\n", ok ? "wrote" : "cannot write", qPrintable(path));
    saved = saved && ok;
  };
  person.onMemorisation = [&] { save("memorisation.png", QRect()); };
  // Halved, the dialog's 8-point text could not be read: the dialog is kept
  // at full size with a margin of the screen around it.
  person.onResults = [&](const QRect& dialog) {
    save("results.png", QRect(dialog.center().x() - kWidth / 2, dialog.y() - kMargin, kWidth,
                              dialog.height() + 2 * kMargin)
                            .intersected(QRect(0, 0, screen.Width(), screen.Height())));
  };
  // The whole screen: the window is seen as it fits on it.
  person.onSessions = [&](const QRect&) { save("sessions.png", QRect()); };
  person.earlierFiles = EarlierSessions();
  const e2e::SubjectEntry entry{"S07", 3, 1, true};
  std::vector<e2e::DrivenTrial> trials;
  e2e::Launch launch;
  launch.earlierLog = kEarlierResults;
  bool ok = person.Start(launch) && person.WaitForOpeningScreen() && person.CheckHomeScreen();
  if (ok) save("opening.png", QRect());
  ok = ok && person.StartTestByClick() && person.FillSubjectInformation(entry) &&
       person.TakeTest(entry, &trials) && person.CloseResults() && person.WaitForOpeningScreen() &&
       person.LookAtSessions("S03") && person.WaitForOpeningScreen() && person.ExitFromMenu();
  std::fputs(person.Log().c_str(), stderr);
  if (!ok) std::fprintf(stderr, "screenshots: %s\n", person.Failure().c_str());
  return ok && saved ? 0 : 1;
}
