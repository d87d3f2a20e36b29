// The application object: the program-wide objects' set-up and teardown,
// start-up from process start to the event loop, and shut-down after it.
#pragma once

#include <QPointer>
#include <memory>
#include <string>

#include "app/main_frame.h"
#include "display/presenter.h"
#include "ui/services.h"

class ProgramServices;

/// The exit code after a failed start-up.
constexpr int kStartUpFailedExitCode = 1;

/// What start-up installs; empty members take the real ones.
struct AppEnvironment {
  /// Installed user interface services (not owned); null: a QtServices of the app's own.
  ui::Services* services = nullptr;
  /// Makes the display's presenter; empty: the OpenGL presenter.
  display::PresenterFactory presenterFactory;
};

/// The program's one application object; needs a running QApplication.
class CMyApp {
 public:
  /// Brings the program-wide objects to their initial state.
  explicit CMyApp(AppEnvironment environment = {});
  /// Tears the program-wide objects down in the reverse order of their set-up.
  ~CMyApp();
  CMyApp(const CMyApp&) = delete;
  CMyApp& operator=(const CMyApp&) = delete;

  /// Start-up: measures the screen, loads the stimulus bitmaps, shows the main
  /// frame, sets up the display and reads "ORBEL.ini". 1 when the event loop
  /// may run; 0 when the display could not be set up (the frame is then
  /// destroyed and the settings were not read).
  int StartUp(const std::string& executablePath);
  /// Shut-down: writes the settings back (only after a successful start-up),
  /// warning with the file, the reason and the settings lost when that fails;
  /// returns `exitCode`.
  int ShutDown(int exitCode);
  /// StartUp, the event loop while the main frame lives, ShutDown; the exit code.
  int Run(int argc, char** argv);

  /// The main frame, or null before start-up and once it is destroyed.
  CMainFrame* MainFrame() const { return mainFrame_.data(); }

 private:
  AppEnvironment environment_;
  std::unique_ptr<ProgramServices> program_;  ///< from start-up on
  QPointer<CMainFrame> mainFrame_;
};
