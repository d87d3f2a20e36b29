// A person at the real program: looks at the screen, clicks, types, and takes
// a test by finding the covered discs' order by trial and error, keeping its
// own record of what it did and when.
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/e2e/x_screen.h"

namespace e2e {

using Clock = std::chrono::steady_clock;

/// Milliseconds from `from` to `to`.
double MsBetween(Clock::time_point from, Clock::time_point to);

/// Where the 1024 x 768 canvas shows on a screen (stretched, aspect kept,
/// centred) and where the 25 grid cells are on it.
class CanvasMap {
 public:
  /// The map for a screen of this size.
  CanvasMap(int screenWidth, int screenHeight);
  /// Screen pixel of canvas point (x, y).
  QPoint ToScreen(double x, double y) const;
  /// Screen pixel where cell `cell` (row-major, 0 to 24) is read: inside the
  /// disc, clear of the number and of the cover's rings.
  QPoint Sample(int cell) const;
  /// Screen pixel at the centre of cell `cell`'s disc, where it is touched.
  QPoint Centre(int cell) const;
  /// Screen pixel in the gap right of cell `cell`, level with Sample(cell):
  /// black on every display of a test.
  QPoint Gap(int cell) const;

 private:
  double left_;
  double top_;
  double scale_;
};

/// What a cell shows.
enum class Shade { Black, Grey, White, Red, Green, Other };
/// The shade of one screen pixel.
Shade Classify(const Rgb& pixel);
/// One letter per shade (". g W R G ?"), for messages.
char ShadeLetter(Shade shade);

/// The 25 cells as last seen, and whether every gap between them was black
/// (which tells a test display from other windows' leftovers).
struct Grid {
  std::vector<Shade> cells;
  bool gapsBlack = false;
  Shade At(int cell) const { return cells[static_cast<size_t>(cell)]; }
};
/// The grid as five rows of letters.
std::string GridText(const Grid& grid);

/// One trial as the person did it.
struct DrivenTrial {
  int nItems = 0;   ///< discs seen on the memorisation display
  int touches = 0;  ///< every touch, right or wrong
  int wrongTouches = 0;
  bool error = false;                 ///< at least one wrong touch
  int nCorrect = 0;                   ///< discs found before the last wrong touch
  int rev = 0;                        ///< reversal number of this trial, else 0
  Clock::time_point onset;            ///< first sight of the numbered display
  Clock::time_point first;            ///< the touch on disc 1
  Clock::time_point last;             ///< the last wrong touch, or the completing one
  bool lastWrongBeforeFirst = false;  ///< the last wrong touch came before disc 1

  /// Milliseconds from onset to the touch on disc 1.
  double Rt1() const;
  /// Milliseconds from disc 1 (or from the onset, for a wrong touch before
  /// disc 1) to the last wrong or the completing touch.
  double Rt2() const;
};

/// The one-up, one-down rule as the person keeps count: three discs first,
/// one more after a trial without error, one fewer after one with an error.
struct StaircaseCount {
  int nItems = 3;
  int direction = 1;
  int reversals = 0;
  /// Counts one trial; returns its reversal number (0 when it did not reverse).
  int Advance(bool error);
};

/// What the person enters in the Subject Information dialog.
struct SubjectEntry {
  std::string subject;
  int memtime = 1;
  int maxRev = 2;
  bool showRanking = false;
};

/// Drives the program through the X server.
class Person {
 public:
  /// `opening` is the opening picture as the program should show it.
  Person(XScreen& screen, QImage opening);

  /// Waits until the opening picture fills the central square of the screen.
  bool WaitForOpeningScreen(int timeoutMs, std::string* err);
  /// Clicks inside the central square and waits for the Subject Information dialog.
  bool StartTestByClick(std::string* err);
  /// Types the subject, the memorisation time and the reversals, ticks "Show
  /// Ranking" when asked, confirms with Return and waits for the test window.
  bool FillSubjectInformation(const SubjectEntry& entry, std::string* err);
  /// Takes the test to its end; `trials` gets one entry per trial.
  bool TakeTest(const SubjectEntry& entry, std::vector<DrivenTrial>* trials, std::string* err);
  /// Waits for the Results dialog, calls `onResults`, then closes it with Return.
  bool CloseResults(std::string* err);
  /// File -> Exit through the menu bar's keyboard interface.
  bool ExitFromMenu(std::string* err);

  /// Called once, while the first memorisation display is up.
  std::function<void()> onMemorisation;
  /// Called while the Results dialog is up, with its place on the screen.
  std::function<void(const QRect& dialog)> onResults;

  /// What the person did, one line per event.
  const std::string& Log() const { return log_; }

 private:
  bool ReadGrid(Grid* grid);
  bool WaitGrid(const std::function<bool(const Grid&)>& done, int timeoutMs,
                Clock::time_point* seenAt, Grid* grid, const char* what, std::string* err);
  bool WaitWindow(const std::string& title, bool shown, int timeoutMs, QRect* rect);
  bool OpeningShown();
  bool Touch(int cell, Shade* response, Clock::time_point* at, std::string* err);
  void Note(const std::string& line);

  XScreen& screen_;
  QImage opening_;
  CanvasMap map_;
  Clock::time_point start_;
  QRect openingSquare_;  ///< where the opening picture was last seen
  std::string log_;
};

}  // namespace e2e
