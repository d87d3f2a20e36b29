#include "procedure/start_test_command.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QThread>
#include <utility>

#include "dialogs/results_dialog.h"
#include "dialogs/setup_dialogs.h"
#include "display/layout.h"
#include "display/onset_probe.h"
#include "display/surfaces.h"
#include "procedure/abort_point.h"
#include "procedure/touch_list.h"
#include "procedure/touch_window.h"
#include "procedure/trial_run.h"
#include "records/participant_register.h"
#include "records/session_file.h"
#include "records/session_record.h"
#include "results/result_files.h"
#include "settings/test_settings.h"
#include "ui/window_placement.h"

namespace {

// Long enough for any window system to map a window; the test goes on
// regardless, and the first trial paints the window once it shows.
constexpr qint64 kExposeWaitMs = 2000;

TestWindowFactory testWindowFactory;
bool testRunning = false;

// A malformed register is named once per program run and reason: the
// experimenter can go on testing and mend it between sessions.
void TellRegisterNoteOnce(const std::string& note) {
  static std::string told;
  if (note.empty() || note == told) return;
  told = note;
  ui::AppMessageBox(QCoreApplication::translate("StartTest",
                                                "The participant register cannot be used, so "
                                                "this session record holds no participant "
                                                "fields:\n%1")
                        .arg(QString::fromStdString(note))
                        .toStdString(),
                    ui::kMbOk | ui::kMbIconWarning);
}

// OpenGL lets the presenter wait for the screen's refresh; without it the
// presenter draws through a raster backing store.
QSurface::SurfaceType TestWindowSurface() {
  static const bool openGl = [] {
    QOpenGLContext probe;
    return probe.create();
  }();
  return openGl ? QSurface::OpenGLSurface : QSurface::RasterSurface;
}

}  // namespace

RunningTest::RunningTest() : began_(!testRunning) {
  testRunning = true;
}

RunningTest::~RunningTest() {
  if (began_) testRunning = false;
}

TestWindowFactory SetTestWindowFactory(TestWindowFactory factory) {
  return std::exchange(testWindowFactory, std::move(factory));
}

std::unique_ptr<QWindow> MakeTouchWindow(int width, int height, ui::WindowHandle owner) {
  auto window = std::make_unique<TouchWindow>(touchWnd, TestWindowSurface(), width, height,
                                              static_cast<QWindow*>(owner));
  ApplyWindowClass(window.get());
  // A compositor's fade-in or copy would delay the first display past its onset.
  window->create();
  display::AskToBypassCompositor(window.get());
  window->ShowFullScreen();
  // Showing is asynchronous here; the presenter can only paint an exposed window.
  QElapsedTimer waited;
  waited.start();
  while (!window->isExposed() && waited.elapsed() < kExposeWaitMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    QThread::msleep(1);
  }
  return window;
}

bool TestRunning() {
  return testRunning;
}

TestWindowRun RunOnTestWindow(const TestWindowRunner& run) {
  const ui::WindowHandle mainWindow = ui::Ui().MainWindow();
  std::unique_ptr<QWindow> testWindow =
      testWindowFactory ? testWindowFactory(ScreenSize.width, ScreenSize.height, mainWindow)
                        : MakeTouchWindow(ScreenSize.width, ScreenSize.height, mainWindow);
  BindClipperToWindow(static_cast<ui::WindowHandle>(testWindow.get()));
  // The window has no background of its own: black at once, through the display.
  ColourFill(SCREEN_SURFACE, 0);

  TestWindowRun done;
  // Where the generator stands, so that the record can tell how to draw these layouts again.
  done.random = RandNow();
  // The subject's row as it stands when the run starts.
  done.participant = results::LookUpParticipant(results::kRegisterFile, testSettings.subject);
  done.started = QDateTime::currentDateTime();
  ResetAbortPoint();
  // The timings of this run alone, for its session record.
  done.timings.assign(kMaxTrials, TrialTiming{});
  done.outcome = run(done.timings);
  // One reading for the log line, the record's name and its "ended".
  done.ended = QDateTime::currentDateTime();
  // Taken while the test window is still the bound one: the display speaks of its window.
  done.presentation = DisplayPresentationInfo();
  done.presentRect = displayState.PresentRect;

  BindClipperToWindow(mainWindow);
  testWindow.reset();
  return done;
}

void SaveRunRecord(const TestWindowRun& run, results::SessionOutcome outcome) {
  results::SessionInputs in{&testState,
                            &run.timings,
                            &testSettings,
                            results::stimuliUsed,
                            ScreenSize,
                            run.presentRect,
                            run.presentation,
                            run.started,
                            run.ended,
                            results::SessionLayouts{true, run.random.start, run.random.draws,
                                                    run.random.state},
                            outcome,
                            abortPoint,
                            run.participant};
  // Run to its end, nothing stopped it, whatever an earlier note said.
  if (run.outcome == 1) in.abort = AbortPoint{};
  std::string path;
  std::string reason;
  if (!results::WriteSessionRecord(in, &path, &reason)) {
    ui::AppMessageBox(results::SessionRecordFailureText(path, reason),
                      ui::kMbOk | ui::kMbIconWarning);
  }
  TellRegisterNoteOnce(run.participant.note);
}

void StartTest() {
  // A second test started from inside the first (through an event its trial
  // loop dispatches) would run on the same tables and windows.
  const RunningTest running;
  if (!running.Began()) return;

  if (!AskSubjectInformation()) return;

  const TestWindowRun run = RunOnTestWindow([](std::vector<TrialTiming>& timings) {
    TrialContext context = SettingsTrialContext(nullptr);
    return RunTest(context, timings);
  });
  WriteTestResults(run.outcome, run.ended);
  // The session record comes after the subject file and the log, so that
  // its failure can never keep them from being written. An aborted test
  // writes no rows and no log line, but keeps its record.
  SaveRunRecord(run, run.outcome == 1 ? results::SessionOutcome::kCompleted
                                      : results::SessionOutcome::kAborted);
  if (testSettings.flag_ranking == 1) ViewResults();
  // Topmost brought the main window back over the screen for the score and
  // the ranking; kept, it would stay above every other program for good.
  ui::Ui().EndTopmost(ui::Ui().MainWindow());
}
