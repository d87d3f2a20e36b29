#include "display/presenter.h"

#include <utility>

#include "display/presenter_factory.h"

namespace display {
namespace {

PresenterFactory& InstalledFactory() {
  static PresenterFactory factory;
  return factory;
}

}  // namespace

PresenterFactory SetPresenterFactory(PresenterFactory factory) {
  return std::exchange(InstalledFactory(), std::move(factory));
}

std::unique_ptr<Presenter> MakePresenter(ui::WindowHandle window) {
  const PresenterFactory& factory = InstalledFactory();
  if (!factory) return nullptr;
  try {
    return factory(window);
  } catch (...) {
    // A presenter that cannot be made is reported as none, not thrown on.
    return nullptr;
  }
}

}  // namespace display
