// A person at the real program: starts it as an experimenter does, in a
// working directory of its own holding a copy of the stimuli, then looks at
// the screen, clicks, types, and takes a test by finding the covered discs'
// order by trial and error, keeping its own record of what it did and when.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QRect>
#include <QTemporaryDir>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "app/e2e/x_screen.h"

namespace e2e {

using Clock = std::chrono::steady_clock;

/// The shortest and the longest a time can have been, in milliseconds.
struct Bounds {
  double low = 0;
  double high = 0;
  double Middle() const { return (low + high) / 2; }
};

/// One touch as the person made it.
struct DrivenTouch {
  int cell = 0;             ///< grid cell (row * 5 + column)
  char answer = '?';        ///< what the disc showed then: 'W', 'R' or 'G'
  ServerMoment press;       ///< when the server took the press
  ServerMoment answerSeen;  ///< when the answer frame was first seen on the screen
};

/// One trial as the person did it. Every moment is bounded by the X
/// requests around it: the press by the XTest request and its round trip,
/// a frame's onset by the last read that did not show it and the first that did.
struct DrivenTrial {
  int nItems = 0;                     ///< discs seen on the memorisation display
  int nCorrect = 0;                   ///< discs found before the last wrong touch
  bool error = false;                 ///< at least one wrong touch
  int rev = 0;                        ///< reversal number of this trial, else 0
  std::vector<int> cells;             ///< cells of the discs, in reading order
  ServerMoment onset;                 ///< the numbered display reached the screen at disc 1
  ServerMoment first;                 ///< the touch on disc 1
  ServerMoment answer;                ///< the answer to the touch on disc 1 reached the screen
  ServerMoment last;                  ///< the last wrong touch, or the completing one
  bool lastWrongBeforeFirst = false;  ///< the last wrong touch came before disc 1
  std::vector<DrivenTouch> touches;   ///< in order

  /// From the onset to the touch on disc 1.
  Bounds Rt1() const;
  /// From the answer to disc 1 (or from the onset, for a wrong touch before
  /// disc 1) to the last wrong or the completing touch.
  Bounds Rt2() const;
};

/// What the person enters in the Subject Information dialog.
struct SubjectEntry {
  std::string subject;
  int memtime = 1;
  int maxRev = 2;
  bool showRanking = false;
  bool showFeedback = false;
};

/// The desktop the program runs on, as the test's launcher names it in
/// DORVANE_E2E_DESKTOP: none (a bare X server), an X window manager's name,
/// or a Wayland compositor in a window of the X server (weston, mutter-wayland,
/// kwin-wayland), the program on Qt's Wayland platform. Only weston lists the
/// program's windows (its debug scene graph); on the others the person sees
/// only the screen.
struct Desktop {
  std::string name = "none";
  bool windowManager = false;  ///< an X window manager frames the windows
  bool wayland = false;        ///< the program on Wayland: the compositor places the windows
  bool listsWindows = true;    ///< where the program's windows are can be found out
  /// The X server the program runs on when it is not the one the person
  /// looks at (XWayland under a nested compositor); empty when the same.
  std::string programDisplay;
  /// The desktop of this process's environment.
  static Desktop FromEnvironment();
};

/// How the person starts the program.
struct Launch {
  QString program;          ///< empty: the program of this build
  bool copyStimuli = true;  ///< a copy of stim/ in the working directory
  QByteArray earlierLog;    ///< written as "ORBEL.txt" first, when not empty
};

/// Drives the program through the X server. Every step returns false, with
/// Failure() telling why, when the program does not answer as it should.
class Person {
 public:
  ~Person();

  /// Connects to the X server, fills a fresh working directory and starts
  /// the program there.
  bool Start(const Launch& launch = Launch());
  /// Waits until the opening picture shows near the middle of the screen.
  bool WaitForOpeningScreen();
  /// The main frame covers the screen (its outer frame, under a window
  /// manager) and the opening picture is centred in the black area below its
  /// menu bar.
  bool CheckHomeScreen();
  /// Clicks the opening picture's left column, which starts nothing, then its
  /// bottom-right pixel, and waits for the Subject Information dialog.
  bool StartTestByClick();
  /// With the pointer away from the dialog, types the entry (ticking the
  /// options asked for) and presses Return; the test window is checked for
  /// when its first display is up.
  bool FillSubjectInformation(const SubjectEntry& entry);
  /// Right after the Subject Information dialog's Return: presses in a gap
  /// of the grid from when the test window is listed until its first display
  /// shows; `presses` gets how many.
  bool PressAsTestWindowAppears(int* presses);
  /// Clicks the opening picture's centre and waits for the Subject Information dialog.
  bool StartTestQuickly();
  /// The entry has a setting out of range: after its Return a box opens; closed with Return, the
  /// Subject Information dialog is still there.
  bool EnterRefusedSetting(const SubjectEntry& entry);
  /// Types `value` over the field the box sent the keyboard back to, and Return.
  bool CorrectRefusedField(int value);
  /// Waits for the first memorisation display, then closes the test window
  /// as the desktop's close command does (Alt+F4; the close request itself
  /// on a bare X server); true once the opening screen is back.
  bool CloseTestWindow();
  /// Escape in the Subject Information dialog; true once it has closed.
  bool CancelSubjectInformation();
  /// The program is still running.
  bool Running() const { return process_.state() == QProcess::Running; }
  /// Takes the test to its end; `trials` gets one entry per trial.
  bool TakeTest(const SubjectEntry& entry, std::vector<DrivenTrial>* trials);
  /// Looks at the first trial's memorisation and covered displays, each of
  /// which must show whole (nothing of the windows below it, every disc).
  bool LookAtFirstTrial(int memtime);
  /// Escape while the test runs; true once the opening screen is back.
  bool AbortWithEscape();
  /// Takes the first `count` trials of a test (from three discs, one up
  /// after a trial without error, one down after one with).
  bool TakeFirstTrials(const SubjectEntry& entry, int count, std::vector<DrivenTrial>* trials);
  /// In the next trial (of `expectedItems` discs): once covered, touches the
  /// first disc in reading order (`touch` gets it), then presses Escape;
  /// true once the opening screen is back.
  bool EscapeAfterOneTouch(int expectedItems, int memtime, DrivenTouch* touch);
  /// Test -> Practice from the keyboard; waits for the Subject Information dialog.
  bool StartPracticeFromMenu();
  /// Takes the three practice trials (two discs, then within two to three);
  /// true once the opening screen is back.
  bool TakePractice(const SubjectEntry& entry, std::vector<DrivenTrial>* trials);
  /// No window titled `title` shows within `ms` milliseconds.
  bool NoWindowComes(const std::string& title, int ms);
  /// Waits for the score box, reads nothing in it, closes it with Return.
  bool CloseScoreBox();
  /// Test -> Sessions from the keyboard; waits for the window, types
  /// `subject` into its subject filter, calls `onSessions` with the window's
  /// place on the screen, then closes it with Escape.
  bool LookAtSessions(const std::string& subject);
  /// Waits for the Results dialog, calls `onResults`, then closes it with Return.
  bool CloseResults();
  /// Under an X window manager: the main frame is not kept above other
  /// programs' windows (no _NET_WM_STATE_ABOVE) once a test is over.
  bool CheckNotAbove();
  /// Escape over the main frame; the frame is then back over the screen.
  bool PressEscape();
  /// File -> Exit from the keyboard; true when the program then ends with code 0.
  bool ExitFromMenu();

  /// What went wrong; keeps the screen in "e2e_failure.png" in the current
  /// directory.
  std::string Failure();
  /// The program's working directory.
  QString WorkDir() const { return dir_.path(); }
  /// What the person did, one line per event.
  const std::string& Log() const { return log_; }
  /// The X server the person looks at.
  XScreen& Screen() { return screen_; }
  /// The desktop the person meets.
  const Desktop& OnDesktop() const { return desktop_; }
  /// The program's top-level windows as the desktop shows them.
  std::vector<TopWindow> Windows();

  /// Called once, while the first memorisation display is up.
  std::function<void()> onMemorisation;
  /// Called while the Results dialog is up, with its place on the screen.
  std::function<void(const QRect& dialog)> onResults;
  /// Called while the Sessions window is up, with its place on the screen.
  std::function<void(const QRect& window)> onSessions;
  /// Files to put into the working directory before the program starts:
  /// relative path and bytes (folders are made).
  std::vector<std::pair<QString, QByteArray>> earlierFiles;

 private:
  /// Opens the menu of mnemonic `menuKey` with Alt and chooses its item of mnemonic `key`.
  bool ChooseFromMenu(const char* menuKey, const char* menu, const char* key, const char* item);
  /// The same in the Test menu.
  bool ChooseFromTestMenu(const char* key, const char* item);
  bool Fail(const std::string& what);
  void Note(const std::string& line);
  bool WaitFor(const std::function<bool()>& done, int timeoutMs, int pollMs,
               const std::string& what);
  bool WaitGrid(const std::function<bool(const std::string&)>& done, int timeoutMs,
                const std::string& what, Clock::time_point* seenAt = nullptr);
  bool WaitWindow(const std::string& title, bool shown, TopWindow* found = nullptr);
  bool CheckCentred(const TopWindow& shown);
  bool CheckWhole(const std::vector<int>& cells, char disc);
  std::string HomeScreenFault();
  bool CloseWithReturn(const std::string& title);
  void PointerAway();
  void FocusFrameOnWayland();
  void Click(const QPoint& at);
  QPoint At(int cell, int dx, int dy) const;
  bool ReadGrid();
  bool OpeningShown();
  bool Touch(int cell, DrivenTouch* touch);
  bool WatchCells(const std::function<bool(const std::string&)>& seen, int timeoutMs,
                  const std::string& what, ServerMoment* when,
                  std::vector<ServerMoment>* perCell = nullptr);
  bool TakeTrial(int expectedItems, int memtime, DrivenTrial* trial);
  bool AnswerTrial(const std::vector<int>& cells, const std::vector<ServerMoment>& cellOnsets,
                   DrivenTrial* trial);

  /// The X server holding the program's windows.
  XScreen& Programs() { return desktop_.programDisplay.empty() ? screen_ : programScreen_; }

  XScreen screen_;
  XScreen programScreen_;
  Desktop desktop_ = Desktop::FromEnvironment();
  QTemporaryDir dir_;
  QProcess process_;
  QImage opening_;
  double left_ = 0;  ///< where the 1024 x 768 canvas shows (stretched, aspect kept, centred)
  double top_ = 0;
  double scale_ = 1;
  bool memorisationWhole_ = false;  ///< a memorisation display was seen whole
  bool coveredWhole_ = false;       ///< a covered display was seen whole
  std::string grid_;                ///< the 25 cells as last seen, one letter each (". g W R G ?")
  bool gapsBlack_ = false;          ///< black between the cells: a test display, not a leftover
  QRect openingSquare_;
  TopWindow frame_;  ///< the main frame as last seen
  Clock::time_point start_ = Clock::now();
  std::string error_;
  std::string log_;
};

}  // namespace e2e
