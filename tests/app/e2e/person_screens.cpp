// The person at the program's screens and dialogs: the opening picture, the
// home screen, the subject's form, the results, the menu and Esc.
#include "app/e2e/person.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QtGlobal>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "app/e2e/person_grid.h"
#include "app/e2e/weston_scene.h"

namespace e2e {

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

bool Person::CloseScoreBox() {
  return CloseWithReturn("Score");
}

bool Person::ChooseFromMenu(const char* menuKey, const char* menu, const char* key,
                            const char* item) {
  FocusFrameOnWayland();
  PointerAway();
  const auto popups = [this] {
    const std::vector<TopWindow> windows = Windows();
    return std::count_if(windows.begin(), windows.end(),
                         [](const TopWindow& w) { return w.popup; });
  };
  const auto before = popups();
  screen_.Tap({"Alt_L", menuKey});
  const std::string opened = std::string("the ") + menu + " menu after Alt+" +
                             static_cast<char>(std::toupper(static_cast<unsigned char>(*menuKey)));
  if (!desktop_.listsWindows) {
    SleepMs(kUnlistedWindowMs);
  } else if (!WaitFor([&] { return popups() > before; }, 5000, 20, opened.c_str())) {
    return false;
  }
  SleepMs(200);
  screen_.Tap({key});
  Note(std::string("chose ") + menu + " -> " + item);
  return true;
}

bool Person::ChooseFromTestMenu(const char* key, const char* item) {
  return ChooseFromMenu("t", "Test", key, item);
}

bool Person::LookAtSessions(const std::string& subject) {
  if (!ChooseFromTestMenu("e", "Sessions")) return false;
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
  if (!ChooseFromMenu("f", "File", "x", "Exit")) return false;
  if (!process_.waitForFinished(15000)) return Fail("the program did not end after Exit");
  if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0) {
    return Fail("the program crashed or ended with code " + std::to_string(process_.exitCode()));
  }
  return true;
}

}  // namespace e2e
