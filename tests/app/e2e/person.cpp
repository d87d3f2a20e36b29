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

#include "app/e2e/weston_scene.h"

namespace e2e {

namespace {

constexpr int kCells = 25;
// Canvas coordinates: the grid's first cell and pitch; inside a cell, where
// it is read (inside the disc, clear of the number and of the cover's rings),
// where it is touched and the black gap to its right.
constexpr int kGridLeft = 137;
constexpr int kGridTop = 9;
constexpr int kGridPitch = 150;
constexpr int kSampleX = 60;
constexpr int kSampleY = 8;
constexpr int kDiscCentre = 60;
constexpr int kGapX = 135;
constexpr int kOpeningSide = 512;
// How far below the screen's centre line the opening square may sit: the
// title and menu bars push the client area down by half their height. And how
// far to either side it is looked for, so that a misplaced frame is seen as
// such rather than as no picture.
constexpr int kMaxMenuShift = 80;
constexpr int kMaxSideShift = 8;
// A dialog's outer frame is centred over the main frame's when the centres are
// this close: the frame of a window not yet shown can only be estimated.
constexpr int kCentreTolerance = 2;
// Long enough for a click that is to start nothing to have started something.
constexpr int kNoAnswerMs = 1500;
// A tap as a person makes it. Held this long, the press is judged before the
// release arrives even when the program is slow to pump its messages; the
// pause after the answer lets it see the release before the next press.
constexpr int kHoldMs = 100;
constexpr int kPauseAfterAnswerMs = 100;
constexpr int kWindowMs = 10000;
// How long a window manager may take to frame and place a new window.
constexpr int kSettleMs = 2000;
// Where no window list is to be had, how long a window is given to open or close.
constexpr int kUnlistedWindowMs = 1000;

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

// Strict black and white: the opening picture's dark blue-grey and the
// dialogs' light grey must not pass for the canvas or a disc.
char Classify(QRgb p) {
  const int r = qRed(p), g = qGreen(p), b = qBlue(p);
  const int high = std::max({r, g, b}), low = std::min({r, g, b});
  if (high <= 12) return '.';
  if (low >= 245) return 'W';
  if (r > 150 && g < 90 && b < 90) return 'R';
  if (g > 150 && r < 90 && b < 90) return 'G';
  if (high - low < 30 && low >= 80 && high <= 180) return 'g';
  return '?';
}

std::string Describe(const QRect& r) {
  return "(" + std::to_string(r.x()) + ", " + std::to_string(r.y()) + ") " +
         std::to_string(r.width()) + " x " + std::to_string(r.height());
}

}  // namespace

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

// The picture is looked for at every height the title and menu bars could
// push it to, and a little to either side; nearly every pixel must agree.
bool Person::OpeningShown() {
  const QRect area = QRect(screen_.Width() / 2 - kOpeningSide / 2 - kMaxSideShift,
                           screen_.Height() / 2 - kOpeningSide / 2,
                           kOpeningSide + 2 * kMaxSideShift, kOpeningSide + kMaxMenuShift)
                         .intersected(QRect(0, 0, screen_.Width(), screen_.Height()));
  const QImage shot = screen_.Grab(area);
  constexpr int kStep = 4;
  constexpr int kAllowedMisses = (kOpeningSide / kStep) * (kOpeningSide / kStep) / 50;
  const auto near = [](QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) <= 12 && std::abs(qGreen(a) - qGreen(b)) <= 12 &&
           std::abs(qBlue(a) - qBlue(b)) <= 12;
  };
  for (int shift = 0; !shot.isNull() && shift + kOpeningSide <= shot.height(); ++shift) {
    for (int side = 0; side + kOpeningSide <= shot.width(); ++side) {
      int misses = 0;
      for (int y = 0; y < kOpeningSide && misses <= kAllowedMisses; y += kStep) {
        for (int x = 0; x < kOpeningSide; x += kStep) {
          if (!near(opening_.pixel(x, y), shot.pixel(x + side, y + shift))) ++misses;
        }
      }
      if (misses <= kAllowedMisses) {
        openingSquare_ = QRect(area.x() + side, area.y() + shift, kOpeningSide, kOpeningSide);
        return true;
      }
    }
  }
  return false;
}

bool Person::WaitForOpeningScreen() {
  if (!WaitFor([this] { return OpeningShown(); }, 20000, 100, "the opening picture")) return false;
  Note("the opening screen is up");
  return true;
}

// What the home screen shows now; empty when it is as it should be.
std::string Person::HomeScreenFault() {
  frame_ = TopWindow();
  for (const TopWindow& w : Windows()) {
    if (w.title == "Dorvane" && !w.popup) frame_ = w;
  }
  if (!desktop_.listsWindows) {
    // Only the picture can be seen: the frame covers the screen when the
    // picture sits at the screen's centre (full screen, no menu bar above it).
    if (!OpeningShown()) return "no opening picture";
    frame_ = TopWindow{"Dorvane", QRect(0, 0, screen_.Width(), screen_.Height()),
                       QRect(0, 0, screen_.Width(), screen_.Height())};
    return std::string();
  }
  if (frame_.title.empty()) return "no Dorvane window";
  if (frame_.frame != QRect(0, 0, screen_.Width(), screen_.Height())) {
    return "the main frame does not cover the screen";
  }
  if (!OpeningShown()) return "no opening picture";
  // The black opening screen lies below the menu bar, down to the client's
  // bottom; the picture's corner is at half its size less 256, truncated.
  const QImage column = screen_.Grab(QRect(openingSquare_.left() - 4, frame_.rect.top(), 1,
                                           openingSquare_.top() - frame_.rect.top()));
  int black = 0;
  while (black < column.height() && Classify(column.pixel(0, column.height() - 1 - black)) == '.') {
    ++black;
  }
  const QRect opening(frame_.rect.left(), openingSquare_.top() - black, frame_.rect.width(),
                      frame_.rect.bottom() + 1 - (openingSquare_.top() - black));
  const QPoint expected(opening.left() + opening.width() / 2 - kOpeningSide / 2,
                        opening.top() + opening.height() / 2 - kOpeningSide / 2);
  if (openingSquare_.topLeft() != expected) {
    return "the opening picture is not centred in the opening screen " + Describe(opening);
  }
  return std::string();
}

bool Person::CheckHomeScreen() {
  // The window manager frames and places the frame a few events after it shows.
  std::string fault;
  const bool settled = WaitFor([&] { return (fault = HomeScreenFault()).empty(); }, 5000, 50,
                               "the home screen to settle");
  Note("the main frame: outer frame " + Describe(frame_.frame) + ", client " +
       Describe(frame_.rect) + "; the opening picture at " + Describe(openingSquare_));
  return settled || Fail(fault);
}

bool Person::StartTestByClick() {
  // The left column is painted but lies outside the square that starts a test.
  Click(QPoint(openingSquare_.left(), openingSquare_.center().y()));
  SleepMs(kNoAnswerMs);
  for (const TopWindow& w : Windows()) {
    if (w.title == "Subject Information") return Fail("a click left of the square started a test");
  }
  Click(openingSquare_.bottomRight());
  Note("clicked the opening picture's left column, then its bottom-right pixel");
  TopWindow dialog;
  return WaitWindow("Subject Information", true, &dialog) && CheckCentred(dialog);
}

bool Person::FillSubjectInformation(const SubjectEntry& entry) {
  if (!WaitWindow("Subject Information", true)) return false;
  PointerAway();
  SleepMs(200);
  // Each field's text is selected on arrival; Ctrl+A makes sure of it.
  const std::string fields[] = {entry.subject, std::to_string(entry.memtime),
                                std::to_string(entry.maxRev)};
  bool ok = true;
  for (int i = 0; i < 3; ++i) {
    ok = ok && (i == 0 || screen_.Tap({"Tab"})) && screen_.Tap({"Control_L", "a"}) &&
         screen_.Type(fields[i]);
  }
  // Tab order: Hide Mouse Cursor, Show Feedback, Show Ranking.
  ok = ok && screen_.Tap({"Tab"}) && screen_.Tap({"Tab"}) &&
       (!entry.showFeedback || screen_.Tap({"space"})) && screen_.Tap({"Tab"}) &&
       (!entry.showRanking || screen_.Tap({"space"}));
  if (!ok || !screen_.Tap({"Return"})) return Fail("a key has no key code on this X server");
  Note("entered '" + entry.subject + "', " + fields[1] + " s, " + fields[2] + " reversals" +
       (entry.showFeedback ? ", Show Feedback" : "") + (entry.showRanking ? ", Show Ranking" : "") +
       "; pressed Return");
  // The test window is looked for once its first display has been timed:
  // looking for windows first could miss that display's onset.
  return true;
}

// Reads every cell's sample point, in one round trip, until `seen` holds
// for their shades. The frame that made it so reached the screen between the
// last read that did not see it and the first that did. With `perCell`, the
// reads go on until two in a row agree, and each cell gets the moment it
// first showed 'W': a frame may reach the screen's pixels in parts.
bool Person::WatchCells(const std::function<bool(const std::string&)>& seen, int timeoutMs,
                        const std::string& what, ServerMoment* when,
                        std::vector<ServerMoment>* perCell) {
  std::vector<QPoint> points;
  for (int c = 0; c < kCells; ++c) points.push_back(At(c, kSampleX, kSampleY));
  std::vector<QRgb> colours;
  std::string shades(kCells, '?');
  std::string previousShades;
  ServerMoment read;
  ServerMoment previous;
  bool first = true;
  bool found = false;
  if (perCell) perCell->assign(kCells, ServerMoment{});
  std::vector<bool> white(kCells, false);
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    if (!screen_.ReadPoints(points, &colours, &read)) return Fail("the X server refused a read");
    for (int c = 0; c < kCells; ++c) shades[static_cast<size_t>(c)] = Classify(colours[size_t(c)]);
    if (!found && seen(shades)) {
      found = true;
      when->sent = previous.sent;
      when->answered = read.answered;
      when->known = !first;
    }
    if (perCell && (found || !first)) {
      for (int c = 0; c < kCells; ++c) {
        if (white[size_t(c)] || shades[size_t(c)] != 'W') continue;
        white[size_t(c)] = true;
        (*perCell)[size_t(c)] = ServerMoment{previous.sent, read.answered, !first};
      }
    }
    if (found && (!perCell || shades == previousShades)) return true;
    previousShades = shades;
    previous = read;
    first = false;
  }
  if (found) return true;
  return Fail("timed out watching for " + what + "; the cells showed " + shades);
}

// Touches the centre of a cell's disc, watches the disc answer, and lifts
// the finger after a person's usual hold.
bool Person::Touch(int cell, DrivenTouch* touch) {
  touch->cell = cell;
  const QPoint centre = At(cell, kDiscCentre, kDiscCentre);
  screen_.MoveTo(centre.x(), centre.y());
  SleepMs(15);
  touch->press = screen_.LeftButtonTaken(true);
  const auto changed = [cell](const std::string& g) {
    return std::string("WRG").find(g[static_cast<size_t>(cell)]) != std::string::npos;
  };
  const std::string what = "the answer to a touch on cell " + std::to_string(cell);
  if (!WatchCells(changed, 5000, what, &touch->answerSeen)) return false;
  std::this_thread::sleep_until(touch->press.answered + std::chrono::milliseconds(kHoldMs));
  screen_.LeftButton(false);
  if (!WaitGrid(changed, 5000, what)) return false;
  touch->answer = grid_[static_cast<size_t>(cell)];
  return true;
}

bool Person::TakeTrial(int expectedItems, int memtime, DrivenTrial* trial) {
  // The numbered display: white discs on black, nothing else.
  const auto numbered = [](const std::string& g) {
    return g.find('W') != std::string::npos && g.find_first_not_of(".W") == std::string::npos;
  };
  const auto firstNumbered = [](const std::string& g) {
    return g.find('W') != std::string::npos && g.find_first_not_of(".W") == std::string::npos;
  };
  std::vector<ServerMoment> cellOnsets;
  if (!WatchCells(firstNumbered, 15000, "a numbered display", &trial->onset, &cellOnsets)) {
    return false;
  }
  if (!WaitGrid(numbered, 5000, "a numbered display")) return false;
  if (!WaitWindow("Experiment Window", true)) return false;
  std::vector<int> cells;
  std::string covered = grid_;
  for (int c = 0; c < kCells; ++c) {
    if (grid_[static_cast<size_t>(c)] == 'W') cells.push_back(c);
  }
  std::replace(covered.begin(), covered.end(), 'W', 'g');
  trial->nItems = static_cast<int>(cells.size());
  trial->cells = cells;
  Note("numbered display " + grid_);
  if (trial->nItems != expectedItems) {
    return Fail("the staircase calls for " + std::to_string(expectedItems) + " discs");
  }
  if (!memorisationWhole_ && !CheckWhole(cells, 'W')) return false;
  if (onMemorisation) {
    onMemorisation();
    onMemorisation = nullptr;
  }
  const auto isCovered = [&covered](const std::string& g) { return g == covered; };
  if (!WaitGrid(isCovered, memtime * 1000 + 10000, "the covered display")) return false;
  if (!coveredWhole_ && !CheckWhole(cells, 'g')) return false;

  // Each number is looked for among the discs not yet found, in reading
  // order, skipping those already tried for it.
  std::vector<int> found;
  std::vector<int> tried;
  const auto in = [](const std::vector<int>& v, int c) {
    return std::find(v.begin(), v.end(), c) != v.end();
  };
  ServerMoment at;
  while (found.size() < cells.size()) {
    const auto next = std::find_if(cells.begin(), cells.end(),
                                   [&](int c) { return !in(found, c) && !in(tried, c); });
    if (next == cells.end()) return Fail("every disc was wrong for the next number");
    const int cell = *next;
    DrivenTouch touch;
    if (!Touch(cell, &touch)) return false;
    trial->touches.push_back(touch);
    at = touch.press;
    const char answer = touch.answer;
    Note("touched cell " + std::to_string(cell) + ": " + answer);
    if (answer == 'R') {
      trial->error = true;
      trial->nCorrect = static_cast<int>(found.size());
      trial->last = at;
      trial->lastWrongBeforeFirst = found.empty();
      tried.push_back(cell);
      const auto coveredAgain = [cell](const std::string& g) { return g[size_t(cell)] == 'g'; };
      if (!WaitGrid(coveredAgain, 5000, "the red disc to be covered again")) return false;
    } else {
      if (found.empty()) {
        trial->first = at;
        trial->answer = touch.answerSeen;
        // RT1 runs from when patch 1 itself showed.
        if (cellOnsets[static_cast<size_t>(cell)].known) trial->onset = cellOnsets[size_t(cell)];
      }
      found.push_back(cell);
      tried.clear();
      if (answer == 'G' && found.size() < cells.size()) return Fail("all green too early");
    }
    SleepMs(kPauseAfterAnswerMs);
  }
  if (!trial->error) {
    trial->nCorrect = trial->nItems;
    trial->last = at;
  }
  const auto allGreen = [&cells](const std::string& g) {
    return std::all_of(cells.begin(), cells.end(), [&g](int c) { return g[size_t(c)] == 'G'; });
  };
  return WaitGrid(allGreen, 5000, "the green completion display");
}

// Counts the one-up, one-down rule as the person sees it: three discs first,
// one more after a trial without error, one fewer after one with an error.
bool Person::TakeTest(const SubjectEntry& entry, std::vector<DrivenTrial>* trials) {
  int nItems = 3;
  int direction = 1;
  int reversals = 0;
  trials->clear();
  while (reversals < entry.maxRev) {
    DrivenTrial trial;
    const std::string name = "trial " + std::to_string(trials->size() + 1);
    Note(name);
    if (!TakeTrial(nItems, entry.memtime, &trial)) return Fail(name + ": " + error_);
    if ((direction > 0) == trial.error) {
      trial.rev = ++reversals;
      direction = -direction;
    }
    nItems += trial.error ? -1 : 1;
    const auto range = [](const Bounds& b) {
      char text[64];
      std::snprintf(text, sizeof text, "%.1f-%.1f ms", b.low, b.high);
      return std::string(text);
    };
    Note("all green; RT1 " + range(trial.Rt1()) + ", RT2 " + range(trial.Rt2()) + ", reversal " +
         std::to_string(trial.rev));
    trials->push_back(trial);
  }
  if (!memorisationWhole_ || !coveredWhole_) {
    return Fail("no memorisation and covered display stood long enough to be looked at whole");
  }
  return true;
}

bool Person::CloseScoreBox() {
  return CloseWithReturn("Score");
}

bool Person::LookAtSessions(const std::string& subject) {
  FocusFrameOnWayland();
  PointerAway();
  const auto popups = [this] {
    const std::vector<TopWindow> windows = Windows();
    return std::count_if(windows.begin(), windows.end(),
                         [](const TopWindow& w) { return w.popup; });
  };
  const auto before = popups();
  screen_.Tap({"Alt_L", "t"});
  if (!WaitFor([&] { return popups() > before; }, 5000, 20, "the Test menu after Alt+T")) {
    return false;
  }
  SleepMs(200);
  screen_.Tap({"e"});
  Note("chose Test -> Sessions");
  TopWindow window;
  if (!WaitWindow("Sessions", true, &window)) return false;
  SleepMs(1000);  // the records are read, then listed and drawn
  if (!screen_.Type(subject)) return Fail("a key has no key code on this X server");
  Note("typed '" + subject + "' into the subject filter");
  SleepMs(800);
  if (onSessions) onSessions(window.rect);
  screen_.Tap({"Escape"});
  Note("closed the Sessions window with Escape");
  return WaitWindow("Sessions", false);
}

bool Person::CloseResults() {
  TopWindow dialog;
  if (!WaitWindow("Results", true, &dialog)) return false;
  SleepMs(500);  // let it paint
  if (onResults) onResults(dialog.rect);
  return CloseWithReturn("Results");
}

// weston's desktop shell hands the keyboard to no window when the last of
// several dialogs closes, and a Wayland program cannot take it: a person
// clicks the frame first.
void Person::FocusFrameOnWayland() {
  if (!desktop_.wayland) return;
  PointerAway();
  screen_.LeftButton(true);
  SleepMs(40);
  screen_.LeftButton(false);
  SleepMs(200);
  Note("clicked the main frame's black margin, for the keyboard");
}

bool Person::PressEscape() {
  // Pushed aside first, as a person dragging it would; weston lets no client
  // move it, kwin keeps an undecorated window that covers the screen where it
  // is, as a full-screen one (it has no decorations here), and mutter on
  // Wayland does not move an XWayland window on its own request.
  if (!desktop_.wayland && desktop_.name != "kwin-x11" && desktop_.programDisplay.empty() &&
      !frame_.title.empty()) {
    Programs().MoveWindow(frame_.title, frame_.rect.topLeft() + QPoint(100, 80));
    const auto moved = [this] {
      for (const TopWindow& w : Windows()) {
        if (w.title == frame_.title && !w.popup && w.frame != frame_.frame) return true;
      }
      return false;
    };
    if (!WaitFor(moved, 5000, 20, "the main frame to move aside")) return false;
    Note("moved the main frame aside");
  }
  FocusFrameOnWayland();
  PointerAway();
  screen_.Tap({"Escape"});
  Note("pressed Escape over the main frame");
  return WaitForOpeningScreen() && CheckHomeScreen();
}

bool Person::ExitFromMenu() {
  FocusFrameOnWayland();
  PointerAway();
  const auto popups = [this] {
    const std::vector<TopWindow> windows = Windows();
    return std::count_if(windows.begin(), windows.end(),
                         [](const TopWindow& w) { return w.popup; });
  };
  const auto before = popups();
  screen_.Tap({"Alt_L", "f"});
  if (!desktop_.listsWindows) {
    SleepMs(kUnlistedWindowMs);
  } else if (!WaitFor([&] { return popups() > before; }, 5000, 20, "the File menu after Alt+F")) {
    return false;
  }
  SleepMs(200);
  screen_.Tap({"x"});
  Note("chose File -> Exit");
  if (!process_.waitForFinished(15000)) return Fail("the program did not end after Exit");
  if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0) {
    return Fail("the program crashed or ended with code " + std::to_string(process_.exitCode()));
  }
  return true;
}

}  // namespace e2e
