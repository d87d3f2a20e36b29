// Use of the factory that SetPresenterFactory installs.
#pragma once

#include <memory>

#include "display/presenter.h"

namespace display {

/// A presenter for `window` from the installed factory; null when no factory
/// is installed or it could not make one.
std::unique_ptr<Presenter> MakePresenter(ui::WindowHandle window);

}  // namespace display
