// The Start Test command: the subject's details, one test on a test window
// that covers the screen, then the result files and the results viewer.
#pragma once

#include <QDateTime>
#include <QWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "display/layout.h"
#include "records/session_record.h"
#include "timing/trial_timing.h"
#include "ui/services.h"

/// Makes the test window: `width` x `height` physical pixels at the screen's
/// corner, owned by `owner`, shown full screen.
using TestWindowFactory =
    std::function<std::unique_ptr<QWindow>(int width, int height, ui::WindowHandle owner)>;

/// Installs the factory StartTest uses (empty: MakeTouchWindow); returns the previous one.
/// A setter, not a parameter: StartTest is reached only through the menu and
/// the opening screen, which tests drive as the experimenter does.
TestWindowFactory SetTestWindowFactory(TestWindowFactory factory);

/// The real test window: a frameless "Experiment Window" that feeds touchWnd,
/// shown full screen and, where the platform allows, exposed on return.
std::unique_ptr<QWindow> MakeTouchWindow(int width, int height, ui::WindowHandle owner);

/// The "&Start Test" command: asks for the subject (cancel: nothing happens),
/// runs one test on the test window, writes its results and, when
/// flag_ranking is 1, shows the results viewer. Ignored while a test runs.
void StartTest();

/// True from the start of StartTest (or StartPractice) until it returns.
bool TestRunning();

/// Holds TestRunning() true while it lives; Began() is false when a run was
/// already going, and then this one must not start.
class RunningTest {
 public:
  RunningTest();
  ~RunningTest();
  RunningTest(const RunningTest&) = delete;
  RunningTest& operator=(const RunningTest&) = delete;
  bool Began() const { return began_; }

 private:
  bool began_ = false;
};

/// What one run on the test window leaves for its session record.
struct TestWindowRun {
  int outcome = 0;      ///< what the run returned: 1 ran to its end
  RandPosition random;  ///< the layouts' generator when the run began
  QDateTime started;
  QDateTime ended;  ///< one reading for the log line, the record's name and its "ended"
  PresentationInfo presentation;
  ui::Rect presentRect;
  std::vector<TrialTiming> timings;  ///< row i: trial i's frames and touches
  results::ParticipantLookup participant;  ///< the register's row of the subject at the start
};

/// Runs trials on the test window, trial i's timings into row i of its
/// argument (kMaxTrials rows); returns what RunTest returns.
using TestWindowRunner = std::function<int(std::vector<TrialTiming>& timings)>;

/// Covers the screen with the test window, runs `run` on it (from a clear
/// abortPoint), then binds the display back to the main window and takes the
/// test window down.
TestWindowRun RunOnTestWindow(const TestWindowRunner& run);

/// Writes the session record of `run` as `outcome`, with abortPoint when it
/// stopped; a failure is told in a box and affects nothing else.
void SaveRunRecord(const TestWindowRun& run, results::SessionOutcome outcome);
