#include "app/e2e/person.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QtGlobal>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/e2e/person_grid.h"
#include "app/e2e/weston_scene.h"

namespace e2e {


Desktop Desktop::FromEnvironment() {
  Desktop desktop;
  const QByteArray name = qgetenv("DORVANE_E2E_DESKTOP");
  if (!name.isEmpty()) desktop.name = name.toStdString();
  desktop.wayland = desktop.name == "weston" || desktop.name == "mutter-wayland" ||
                    desktop.name == "kwin-wayland";
  desktop.listsWindows = !desktop.wayland || desktop.name == "weston";
  desktop.programDisplay = qEnvironmentVariable("DORVANE_E2E_PROGRAM_DISPLAY").toStdString();
  desktop.windowManager = desktop.name != "none" && !desktop.wayland;
  return desktop;
}

std::vector<TopWindow> Person::Windows() {
  if (!desktop_.listsWindows) return {};
  return desktop_.wayland ? ParseWestonScene(WestonSceneGraph()) : Programs().TopWindows();
}

namespace {

// From one moment to a later one, the shortest and the longest it can have been.
Bounds Between(const ServerMoment& from, const ServerMoment& to) {
  return Bounds{MsBetween(from.answered, to.sent), MsBetween(from.sent, to.answered)};
}

}  // namespace

Bounds DrivenTrial::Rt1() const {
  return Between(onset, first);
}

Bounds DrivenTrial::Rt2() const {
  return Between(lastWrongBeforeFirst ? onset : answer, last);
}

Person::~Person() {
  if (process_.state() != QProcess::NotRunning) {
    process_.kill();
    process_.waitForFinished(5000);
  }
}

bool Person::Fail(const std::string& what) {
  error_ = what;
  return false;
}

void Person::Note(const std::string& line) {
  log_ +=
      std::to_string(static_cast<long>(MsBetween(start_, Clock::now()))) + " ms  " + line + "\n";
}

std::string Person::Failure() {
  const QString path = QDir::current().absoluteFilePath(QStringLiteral("e2e_failure.png"));
  const bool saved = screen_.Grab().save(path);
  return error_ + (saved ? " (screen saved to " + path.toStdString() + ")" : "");
}

bool Person::Start(const Launch& launch) {
  const std::string err = screen_.Open();
  if (!err.empty()) return Fail(err);
  if (!desktop_.programDisplay.empty()) {
    const std::string programs = programScreen_.Open(desktop_.programDisplay.c_str());
    if (!programs.empty()) return Fail(desktop_.programDisplay + ": " + programs);
  }
  opening_ =
      QImage(QStringLiteral(DORVANE_STIM_DIR "/opening.bmp")).convertToFormat(QImage::Format_RGB32);
  if (opening_.size() != QSize(kOpeningSide, kOpeningSide)) {
    return Fail("cannot read a 512 x 512 stim/opening.bmp");
  }
  scale_ = std::min(screen_.Width() / 1024.0, screen_.Height() / 768.0);
  left_ = (screen_.Width() - 1024 * scale_) / 2;
  top_ = (screen_.Height() - 768 * scale_) / 2;

  const QDir stim(QStringLiteral(DORVANE_STIM_DIR));
  const QDir work(dir_.path());
  const QStringList files = stim.entryList(QDir::Files);
  if (!dir_.isValid() || files.isEmpty()) {
    return Fail("cannot make the working directory, or no stimuli in " DORVANE_STIM_DIR);
  }
  for (const QString& name : launch.copyStimuli ? files : QStringList()) {
    if (!work.mkpath(QStringLiteral("stim")) ||
        !QFile::copy(stim.filePath(name), work.filePath(QStringLiteral("stim/") + name))) {
      return Fail("cannot copy " + name.toStdString());
    }
  }
  for (const auto& [name, bytes] : earlierFiles) {
    QFile file(work.filePath(name));
    if (!work.mkpath(QFileInfo(file).path()) || !file.open(QIODevice::WriteOnly) ||
        file.write(bytes) != bytes.size()) {
      return Fail("cannot write " + name.toStdString());
    }
  }
  if (!launch.earlierLog.isEmpty()) {
    QFile log(work.filePath(QStringLiteral("ORBEL.txt")));
    if (!log.open(QIODevice::WriteOnly) ||
        log.write(launch.earlierLog) != launch.earlierLog.size()) {
      return Fail("cannot write ORBEL.txt");
    }
  }
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  // The program's own texts, whatever language the tester chose for themselves.
  environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                     QDir::temp().filePath(QStringLiteral("dorvane-e2e-no-settings")));
  if (desktop_.wayland) {
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    // weston takes the X pointer's moves as relative motion: pushed into two
    // opposite corners, its pointer ends where the X pointer is.
    for (int sweep = 0; sweep < 2; ++sweep) {
      for (const QPoint& corner : {QPoint(screen_.Width() - 1, screen_.Height() - 1), QPoint()}) {
        screen_.MoveTo(corner.x(), corner.y());
        SleepMs(50);
      }
    }
  } else {
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (!desktop_.programDisplay.empty()) {
      environment.insert(QStringLiteral("DISPLAY"),
                         QString::fromStdString(desktop_.programDisplay));
    }
  }
  const QString program = launch.program.isEmpty() ? QStringLiteral(DORVANE_EXE) : launch.program;
  process_.setProcessEnvironment(environment);
  process_.setWorkingDirectory(dir_.path());
  process_.setProcessChannelMode(QProcess::ForwardedChannels);
  process_.start(program, QStringList());
  if (!process_.waitForStarted(10000)) {
    return Fail("cannot start " + program.toStdString() + ": " +
                process_.errorString().toStdString());
  }
  Note("started " + program.toStdString() + " on " + desktop_.name);
  return true;
}

bool Person::WaitFor(const std::function<bool()>& done, int timeoutMs, int pollMs,
                     const std::string& what) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    if (done()) return true;
    SleepMs(pollMs);
  }
  return Fail("timed out waiting for " + what);
}

QPoint Person::At(int cell, int dx, int dy) const {
  const double x = kGridLeft + kGridPitch * (cell % 5) + dx;
  const double y = kGridTop + kGridPitch * (cell / 5) + dy;
  return QPoint(static_cast<int>(left_ + (x + 0.5) * scale_),
                static_cast<int>(top_ + (y + 0.5) * scale_));
}

// One screen row per grid row: the cells and the gaps right of them.
bool Person::ReadGrid() {
  grid_.assign(kCells, '?');
  gapsBlack_ = true;
  for (int r = 0; r < kCells; r += 5) {
    const QPoint first = At(r, kSampleX, kSampleY);
    const QImage row = screen_.Grab(QRect(first, At(r + 4, kGapX, kSampleY)));
    if (row.isNull()) return false;
    const auto shade = [&](const QPoint& p) { return Classify(row.pixel(p.x() - first.x(), 0)); };
    for (int c = r; c < r + 5; ++c) {
      grid_[static_cast<size_t>(c)] = shade(At(c, kSampleX, kSampleY));
      gapsBlack_ = gapsBlack_ && shade(At(c, kGapX, kSampleY)) == '.';
    }
  }
  return true;
}

// Two reads in a row must agree, so that a frame caught half drawn never
// counts; `seenAt` is when the first of them began.
bool Person::WaitGrid(const std::function<bool(const std::string&)>& done, int timeoutMs,
                      const std::string& what, Clock::time_point* seenAt) {
  bool previous = false;
  Clock::time_point previousAt;
  const auto twice = [&] {
    const Clock::time_point at = Clock::now();
    const bool now = ReadGrid() && gapsBlack_ && done(grid_);
    const bool confirmed = now && previous;
    if (confirmed && seenAt) *seenAt = previousAt;
    if (now && !previous) previousAt = at;
    previous = now;
    return confirmed;
  };
  if (WaitFor(twice, timeoutMs, 2, what)) return true;
  return Fail(error_ + "; the grid showed " + grid_ + (gapsBlack_ ? "" : " (gaps not black)"));
}

bool Person::WaitWindow(const std::string& title, bool shown, TopWindow* found) {
  if (!desktop_.listsWindows) {
    // Nothing tells where it is: a person gives a dialog time to open or close.
    if (title != "Experiment Window") SleepMs(kUnlistedWindowMs);
    return true;
  }
  const auto seen = [&] {
    for (const TopWindow& w : Windows()) {
      if (w.title == title && !w.popup) {
        if (found) *found = w;
        return shown;
      }
    }
    return !shown;
  };
  return WaitFor(seen, kWindowMs, 20, (shown ? "the " : "the end of the ") + title + " window");
}

void Person::Click(const QPoint& at) {
  screen_.MoveTo(at.x(), at.y());
  SleepMs(50);
  screen_.LeftButton(true);
  SleepMs(40);
  screen_.LeftButton(false);
}

// Over the main frame's black area, clear of every dialog: keys must reach a
// dialog because it has the keyboard, not because the pointer is on it.
void Person::PointerAway() {
  const QRect client =
      frame_.rect.isEmpty() ? QRect(0, 0, screen_.Width(), screen_.Height()) : frame_.rect;
  screen_.MoveTo(client.left() + 5, client.bottom() - 5);
  SleepMs(100);
}

bool Person::CheckCentred(const TopWindow& shown) {
  TopWindow dialog = shown;
  const auto offCentre = [&] {
    const QPoint offset = dialog.frame.center() - frame_.frame.center();
    return std::abs(offset.x()) > kCentreTolerance || std::abs(offset.y()) > kCentreTolerance;
  };
  // A window manager frames a new window after it is mapped, and may move it
  // then: where the window settles is what a person sees.
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kSettleMs);
  while (!desktop_.wayland && offCentre() && Clock::now() < deadline) {
    SleepMs(20);
    for (const TopWindow& w : Windows()) {
      if (w.title == dialog.title && !w.popup) dialog = w;
    }
  }
  if (!desktop_.listsWindows) return true;
  Note("the " + dialog.title + " window: outer frame " + Describe(dialog.frame) + ", client " +
       Describe(dialog.rect));
  const QRect screen(0, 0, screen_.Width(), screen_.Height());
  if (!screen.contains(dialog.frame))
    return Fail("the " + dialog.title + " window leaves the screen");
  // weston's desktop shell places every new window itself, owner or none.
  if (desktop_.wayland) return true;
  if (offCentre()) {
    return Fail("the " + dialog.title + " window is not centred over the main frame " +
                Describe(frame_.frame));
  }
  return true;
}

bool Person::CloseWithReturn(const std::string& title) {
  TopWindow dialog;
  if (!WaitWindow(title, true, &dialog) || !CheckCentred(dialog)) return false;
  PointerAway();
  screen_.Tap({"Return"});
  Note("closed the " + title + " window with Return");
  return WaitWindow(title, false);
}

}  // namespace e2e
