#include "procedure/program_services.h"

#include <utility>

#include "display/gl_presenter.h"
#include "display/surfaces.h"
#include "procedure/touch_list.h"
#include "ui/qt_services.h"

ProgramServices::ProgramServices(const std::string& executablePath, ui::Services* services,
                                 display::PresenterFactory presenters) {
  if (!services) {
    own_ = std::make_unique<ui::QtServices>();
    services = own_.get();
  }
  previousServices_ = ui::SetUi(services);
  ui::SetApplicationNameFromPath(executablePath);
  previousPresenters_ = display::SetPresenterFactory(
      presenters ? std::move(presenters) : display::PresenterFactory(display::MakeGlPresenter));
  InitTouchReady();
  // The screen, once: a later change of resolution waits for the next start.
  ScreenSize = {ui::Ui().ScreenWidth(), ui::Ui().ScreenHeight()};
}

ProgramServices::~ProgramServices() {
  ShutDownDisplay();
  display::SetPresenterFactory(std::move(previousPresenters_));
  ui::SetUi(previousServices_);
  own_.reset();
}
