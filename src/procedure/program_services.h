// What every Dorvane program (the application and dorvane-check) sets up
// before its first window and takes down after its last.
#pragma once

#include <memory>
#include <string>

#include "display/presenter.h"
#include "ui/services.h"

namespace ui {
class QtServices;
}

/// While it lives: the user interface services, the application name taken
/// from the executable, the display's presenter factory, the touch
/// capabilities and ScreenSize, measured once. On destruction the display is
/// shut down and the previous services and presenter factory come back.
class ProgramServices {
 public:
  /// `services` (not owned) null: a QtServices of its own; `presenters`
  /// empty: the OpenGL presenter. Needs a running QApplication.
  ProgramServices(const std::string& executablePath, ui::Services* services,
                  display::PresenterFactory presenters);
  ~ProgramServices();
  ProgramServices(const ProgramServices&) = delete;
  ProgramServices& operator=(const ProgramServices&) = delete;

  /// The QtServices of its own; null when services were given.
  ui::QtServices* OwnServices() const { return own_.get(); }

 private:
  std::unique_ptr<ui::QtServices> own_;
  ui::Services* previousServices_ = nullptr;
  display::PresenterFactory previousPresenters_;
};
