#include "app/e2e/person.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace e2e {

namespace {

constexpr int kCanvasWidth = 1024;
constexpr int kCanvasHeight = 768;
constexpr int kGridLeft = 137;
constexpr int kGridTop = 9;
constexpr int kGridPitch = 150;
constexpr int kCells = 25;
// Inside the disc, above the number and outside the cover's outer ring.
constexpr int kSampleX = 60;
constexpr int kSampleY = 8;
constexpr int kDiscCentre = 60;
constexpr int kGapX = 135;
constexpr int kOpeningSide = 512;
// How far below the screen's centre line the opening square may sit: the
// menu bar pushes the client area down by its height.
constexpr int kMaxMenuShift = 80;
constexpr int kPollMs = 2;
// A tap as a person makes it. Held this long, the press is judged before the
// release arrives even when the program is slow to pump its messages; the
// pause after the answer lets it see the release before the next press.
constexpr int kHoldMs = 100;
constexpr int kPauseAfterAnswerMs = 100;

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[200];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

bool Near(QRgb a, QRgb b, int tolerance) {
  return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
         std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

}  // namespace

double MsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

CanvasMap::CanvasMap(int screenWidth, int screenHeight) {
  scale_ = std::min(static_cast<double>(screenWidth) / kCanvasWidth,
                    static_cast<double>(screenHeight) / kCanvasHeight);
  left_ = (screenWidth - kCanvasWidth * scale_) / 2;
  top_ = (screenHeight - kCanvasHeight * scale_) / 2;
}

QPoint CanvasMap::ToScreen(double x, double y) const {
  return QPoint(static_cast<int>(left_ + (x + 0.5) * scale_),
                static_cast<int>(top_ + (y + 0.5) * scale_));
}

QPoint CanvasMap::Sample(int cell) const {
  return ToScreen(kGridLeft + kGridPitch * (cell % 5) + kSampleX,
                  kGridTop + kGridPitch * (cell / 5) + kSampleY);
}

QPoint CanvasMap::Centre(int cell) const {
  return ToScreen(kGridLeft + kGridPitch * (cell % 5) + kDiscCentre,
                  kGridTop + kGridPitch * (cell / 5) + kDiscCentre);
}

QPoint CanvasMap::Gap(int cell) const {
  return ToScreen(kGridLeft + kGridPitch * (cell % 5) + kGapX,
                  kGridTop + kGridPitch * (cell / 5) + kSampleY);
}

// Strict black and white: the opening picture's dark blue-grey and the
// dialogs' light grey must not pass for the canvas or a disc.
Shade Classify(const Rgb& p) {
  const int high = std::max({p.r, p.g, p.b});
  const int low = std::min({p.r, p.g, p.b});
  if (high <= 12) return Shade::Black;
  if (low >= 245) return Shade::White;
  if (p.r > 150 && p.g < 90 && p.b < 90) return Shade::Red;
  if (p.g > 150 && p.r < 90 && p.b < 90) return Shade::Green;
  if (high - low < 30 && low >= 80 && high <= 180) return Shade::Grey;
  return Shade::Other;
}

char ShadeLetter(Shade shade) {
  switch (shade) {
    case Shade::Black:
      return '.';
    case Shade::Grey:
      return 'g';
    case Shade::White:
      return 'W';
    case Shade::Red:
      return 'R';
    case Shade::Green:
      return 'G';
    case Shade::Other:
      break;
  }
  return '?';
}

std::string GridText(const Grid& grid) {
  std::string text;
  for (size_t i = 0; i < grid.cells.size(); ++i) {
    if (i > 0 && i % 5 == 0) text += '/';
    text += ShadeLetter(grid.cells[i]);
  }
  return text + (grid.gapsBlack ? "" : " (gaps not black)");
}

double DrivenTrial::Rt1() const {
  return MsBetween(onset, first);
}

double DrivenTrial::Rt2() const {
  return MsBetween(lastWrongBeforeFirst ? onset : first, last);
}

int StaircaseCount::Advance(bool error) {
  int rev = 0;
  if ((direction > 0) == error) {
    reversals += 1;
    rev = reversals;
    direction = -direction;
  }
  nItems += error ? -1 : 1;
  return rev;
}

Person::Person(XScreen& screen, QImage opening)
    : screen_(screen),
      opening_(opening.convertToFormat(QImage::Format_RGB32)),
      map_(screen.Width(), screen.Height()),
      start_(Clock::now()) {}

void Person::Note(const std::string& line) {
  log_ += Format("%8.0f ms  ", MsBetween(start_, Clock::now())) + line + "\n";
}

bool Person::ReadGrid(Grid* grid) {
  grid->cells.assign(kCells, Shade::Other);
  grid->gapsBlack = true;
  std::vector<Rgb> row;
  for (int r = 0; r < 5; ++r) {
    const QPoint first = map_.Sample(r * 5);
    const QPoint last = map_.Gap(r * 5 + 4);
    if (!screen_.ReadRow(first.x(), first.y(), last.x() - first.x() + 1, &row)) return false;
    const auto at = [&](const QPoint& p) { return row[static_cast<size_t>(p.x() - first.x())]; };
    for (int c = 0; c < 5; ++c) {
      grid->cells[static_cast<size_t>(r * 5 + c)] = Classify(at(map_.Sample(r * 5 + c)));
      if (Classify(at(map_.Gap(r * 5 + c))) != Shade::Black) grid->gapsBlack = false;
    }
  }
  return true;
}

// Two reads in a row must agree, so that a frame caught half drawn never
// counts; `seenAt` is when the first of them began. Only a test display
// counts: black between the cells.
bool Person::WaitGrid(const std::function<bool(const Grid&)>& done, int timeoutMs,
                      Clock::time_point* seenAt, Grid* grid, const char* what, std::string* err) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  bool previous = false;
  Clock::time_point previousAt;
  Grid seen;
  while (Clock::now() < deadline) {
    const Clock::time_point at = Clock::now();
    if (!ReadGrid(&seen)) {
      *err = std::string("cannot read the screen while waiting for ") + what;
      return false;
    }
    const bool now = seen.gapsBlack && done(seen);
    if (now && previous) {
      if (seenAt) *seenAt = previousAt;
      if (grid) *grid = seen;
      return true;
    }
    if (now && !previous) previousAt = at;
    previous = now;
    SleepMs(kPollMs);
  }
  *err = std::string("timed out waiting for ") + what + "; the grid showed " + GridText(seen);
  return false;
}

bool Person::WaitWindow(const std::string& title, bool shown, int timeoutMs, QRect* rect) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    const QRect found = screen_.FindWindow(title);
    if (found.isEmpty() != shown) {
      if (rect) *rect = found;
      return true;
    }
    SleepMs(20);
  }
  return false;
}

// The picture is looked for at every height the menu bar could push it to;
// nearly every pixel must agree.
bool Person::OpeningShown() {
  const int left = screen_.Width() / 2 - kOpeningSide / 2;
  const int top = screen_.Height() / 2 - kOpeningSide / 2;
  const QRect area = QRect(left, top, kOpeningSide, kOpeningSide + kMaxMenuShift)
                         .intersected(QRect(0, 0, screen_.Width(), screen_.Height()));
  const QImage shot = screen_.Grab(area);
  if (shot.isNull() || opening_.size() != QSize(kOpeningSide, kOpeningSide)) return false;
  constexpr int kStep = 4;
  constexpr int kSamples = (kOpeningSide / kStep) * (kOpeningSide / kStep);
  constexpr int kAllowedMisses = kSamples / 50;
  for (int shift = 0; shift + kOpeningSide <= shot.height(); ++shift) {
    int misses = 0;
    for (int y = 0; y < kOpeningSide && misses <= kAllowedMisses; y += kStep) {
      const auto* want = reinterpret_cast<const QRgb*>(opening_.constScanLine(y));
      const auto* have = reinterpret_cast<const QRgb*>(shot.constScanLine(y + shift));
      for (int x = 0; x < kOpeningSide; x += kStep) {
        if (!Near(want[x], have[x], 12)) ++misses;
      }
    }
    if (misses <= kAllowedMisses) {
      openingSquare_ = QRect(area.x(), area.y() + shift, kOpeningSide, kOpeningSide);
      return true;
    }
  }
  return false;
}

bool Person::WaitForOpeningScreen(int timeoutMs, std::string* err) {
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (Clock::now() < deadline) {
    if (OpeningShown()) {
      Note("the opening screen is up");
      return true;
    }
    SleepMs(100);
  }
  *err = "the opening picture did not appear in the central square";
  return false;
}

bool Person::StartTestByClick(std::string* err) {
  if (openingSquare_.isEmpty() && !WaitForOpeningScreen(10000, err)) return false;
  const QPoint click = openingSquare_.center();
  screen_.Click(click.x(), click.y());
  Note("clicked the opening square");
  if (!WaitWindow("Subject Information", true, 10000, nullptr)) {
    *err = "no Subject Information dialog after a click in the opening square";
    return false;
  }
  Note("the Subject Information dialog is up");
  return true;
}

bool Person::FillSubjectInformation(const SubjectEntry& entry, std::string* err) {
  QRect dialog;
  if (!WaitWindow("Subject Information", true, 10000, &dialog)) {
    *err = "the Subject Information dialog is not shown";
    return false;
  }
  // Qt gives the dialog the keyboard itself; the pointer inside it covers a
  // server that sends keys to the window under the pointer instead.
  screen_.MoveTo(dialog.x() + dialog.width() / 2, dialog.y() + dialog.height() - 4);
  SleepMs(300);
  // Each field's text is selected on arrival; Ctrl+A makes sure of it.
  bool ok = screen_.Tap("a", {"Control_L"}) && screen_.Type(entry.subject);
  ok = ok && screen_.Tap("Tab") && screen_.Tap("a", {"Control_L"}) &&
       screen_.Type(std::to_string(entry.memtime));
  ok = ok && screen_.Tap("Tab") && screen_.Tap("a", {"Control_L"}) &&
       screen_.Type(std::to_string(entry.maxRev));
  if (ok && entry.showRanking) {
    // Tab order: Hide Mouse Cursor, Show Feedback, Show Ranking.
    ok = screen_.Tap("Tab") && screen_.Tap("Tab") && screen_.Tap("Tab") && screen_.Tap("space");
  }
  ok = ok && screen_.Tap("Return");
  if (!ok) {
    *err = "a key of the entry has no key code on this X server";
    return false;
  }
  Note("entered subject '" + entry.subject + "', memorisation time " +
       std::to_string(entry.memtime) + " s, " + std::to_string(entry.maxRev) + " reversals" +
       (entry.showRanking ? ", Show Ranking" : "") + "; pressed Return");
  if (!WaitWindow("Subject Information", false, 5000, nullptr)) {
    *err = "Return did not close the Subject Information dialog";
    return false;
  }
  if (!WaitWindow("Experiment Window", true, 10000, nullptr)) {
    *err = "no test window after the Subject Information dialog";
    return false;
  }
  Note("the test window is up");
  return true;
}

bool Person::Touch(int cell, Shade* response, Clock::time_point* at, std::string* err) {
  const QPoint centre = map_.Centre(cell);
  screen_.MoveTo(centre.x(), centre.y());
  SleepMs(15);
  *at = Clock::now();
  screen_.LeftButton(true);
  SleepMs(kHoldMs);
  screen_.LeftButton(false);
  const auto answered = [cell](const Grid& g) {
    const Shade s = g.At(cell);
    return s == Shade::White || s == Shade::Red || s == Shade::Green;
  };
  Grid grid;
  if (!WaitGrid(answered, 5000, nullptr, &grid, "the answer to a touch", err)) return false;
  *response = grid.At(cell);
  return true;
}

bool Person::TakeTest(const SubjectEntry& entry, std::vector<DrivenTrial>* trials,
                      std::string* err) {
  StaircaseCount stairs;
  trials->clear();
  for (int index = 0; index < 200; ++index) {
    const int number = index + 1;
    DrivenTrial trial;
    // The numbered display: white discs on black, nothing else.
    const auto numbered = [](const Grid& g) {
      const auto whites = std::count(g.cells.begin(), g.cells.end(), Shade::White);
      const auto blacks = std::count(g.cells.begin(), g.cells.end(), Shade::Black);
      return whites > 0 && whites + blacks == kCells;
    };
    Grid grid;
    if (!WaitGrid(numbered, 15000, &trial.onset, &grid, "a numbered display", err)) {
      *err = "trial " + std::to_string(number) + ": " + *err;
      return false;
    }
    std::vector<int> cells;
    for (int c = 0; c < kCells; ++c) {
      if (grid.At(c) == Shade::White) cells.push_back(c);
    }
    trial.nItems = static_cast<int>(cells.size());
    std::string where;
    for (int c : cells) where += " " + std::to_string(c);
    Note("trial " + std::to_string(number) + ": " + std::to_string(trial.nItems) +
         " numbered discs at cells" + where);
    if (trial.nItems != stairs.nItems) {
      *err = "trial " + std::to_string(number) + " shows " + std::to_string(trial.nItems) +
             " discs; the staircase calls for " + std::to_string(stairs.nItems);
      return false;
    }
    if (onMemorisation) {
      onMemorisation();
      onMemorisation = nullptr;
    }
    const auto coveredAll = [&cells](const Grid& g) {
      for (int c = 0; c < kCells; ++c) {
        const bool patch = std::find(cells.begin(), cells.end(), c) != cells.end();
        if (g.At(c) != (patch ? Shade::Grey : Shade::Black)) return false;
      }
      return true;
    };
    if (!WaitGrid(coveredAll, entry.memtime * 1000 + 10000, nullptr, nullptr, "the covered display",
                  err)) {
      *err = "trial " + std::to_string(number) + ": " + *err;
      return false;
    }
    Note("covered");

    // Each number is looked for among the discs not yet found, in reading
    // order, skipping those already tried for it.
    std::vector<int> found;
    std::vector<int> triedForThis;
    bool firstFound = false;
    while (static_cast<int>(found.size()) < trial.nItems) {
      int cell = -1;
      for (int c : cells) {
        if (std::find(found.begin(), found.end(), c) == found.end() &&
            std::find(triedForThis.begin(), triedForThis.end(), c) == triedForThis.end()) {
          cell = c;
          break;
        }
      }
      if (cell < 0) {
        *err = "trial " + std::to_string(number) + ": every disc was wrong for number " +
               std::to_string(found.size() + 1);
        return false;
      }
      Shade response = Shade::Other;
      Clock::time_point at;
      if (!Touch(cell, &response, &at, err)) {
        *err = "trial " + std::to_string(number) + ", touch on cell " + std::to_string(cell) +
               ": " + *err;
        return false;
      }
      trial.touches += 1;
      if (response == Shade::Red) {
        trial.wrongTouches += 1;
        trial.error = true;
        trial.nCorrect = static_cast<int>(found.size());
        trial.last = at;
        trial.lastWrongBeforeFirst = !firstFound;
        triedForThis.push_back(cell);
        Note("touched cell " + std::to_string(cell) + ": red, not number " +
             std::to_string(found.size() + 1));
        const auto coveredAgain = [cell](const Grid& g) { return g.At(cell) == Shade::Grey; };
        if (!WaitGrid(coveredAgain, 5000, nullptr, nullptr, "the red disc to be covered again",
                      err)) {
          *err = "trial " + std::to_string(number) + ": " + *err;
          return false;
        }
      } else {
        found.push_back(cell);
        triedForThis.clear();
        if (!firstFound) {
          firstFound = true;
          trial.first = at;
        }
        Note("touched cell " + std::to_string(cell) + ": number " + std::to_string(found.size()) +
             (response == Shade::Green ? " (green: trial complete)" : ""));
        if (static_cast<int>(found.size()) == trial.nItems) {
          if (!trial.error) {
            trial.nCorrect = trial.nItems;
            trial.last = at;
          }
        } else if (response == Shade::Green) {
          *err = "trial " + std::to_string(number) + ": all green after " +
                 std::to_string(found.size()) + " of " + std::to_string(trial.nItems) + " discs";
          return false;
        }
      }
      SleepMs(kPauseAfterAnswerMs);
    }
    const auto allGreen = [&cells](const Grid& g) {
      for (int c : cells) {
        if (g.At(c) != Shade::Green) return false;
      }
      return true;
    };
    if (!WaitGrid(allGreen, 5000, nullptr, nullptr, "the green completion display", err)) {
      *err = "trial " + std::to_string(number) + ": " + *err;
      return false;
    }
    trial.rev = stairs.Advance(trial.error);
    Note("all green; " + std::to_string(trial.touches) + " touches, " +
         std::to_string(trial.wrongTouches) + " wrong" +
         Format(", RT1 %.0f ms, RT2 %.0f ms", trial.Rt1(), trial.Rt2()) +
         (trial.rev ? ", reversal " + std::to_string(trial.rev) : std::string()));
    trials->push_back(trial);
    if (stairs.reversals == entry.maxRev) return true;
  }
  return true;
}

bool Person::CloseResults(std::string* err) {
  QRect dialog;
  if (!WaitWindow("Results", true, 10000, &dialog)) {
    *err = "the Results dialog did not appear";
    return false;
  }
  Note("the Results dialog is up");
  SleepMs(500);  // let it paint
  if (onResults) onResults(dialog);
  screen_.MoveTo(dialog.x() + dialog.width() / 2, dialog.y() + dialog.height() - 4);
  SleepMs(100);
  screen_.Tap("Return");
  if (!WaitWindow("Results", false, 5000, nullptr)) {
    *err = "Return did not close the Results dialog";
    return false;
  }
  Note("closed the Results dialog");
  return true;
}

bool Person::ExitFromMenu(std::string* err) {
  // Over the frame's black margin, away from the opening square.
  screen_.MoveTo(20, screen_.Height() - 20);
  SleepMs(100);
  const int before = screen_.CountPopups();
  screen_.Tap("f", {"Alt_L"});
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(5);
  while (screen_.CountPopups() <= before) {
    if (Clock::now() >= deadline) {
      *err = "Alt+F did not open the File menu";
      return false;
    }
    SleepMs(20);
  }
  Note("opened the File menu with Alt+F");
  SleepMs(200);
  screen_.Tap("x");
  Note("chose Exit with X");
  return true;
}

}  // namespace e2e
