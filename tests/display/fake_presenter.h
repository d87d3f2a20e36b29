// A presenter that records what the display asks of it, installed as the
// factory for the lifetime of a FakePresenterFactory.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "display/presenter.h"

namespace testing {

struct PresenterLog {
  struct Frame {
    const uint8_t* pixels;
    int width;
    int height;
    int pitch;
    ui::Rect target;
  };
  std::vector<ui::WindowHandle> madeFor;
  std::vector<ui::WindowHandle> bound;
  std::vector<uint32_t> fills;
  std::vector<Frame> frames;
  int waits = 0;
  int destroyed = 0;
  /// What the factory and the presenter answer.
  bool canMake = true;
  bool succeeds = true;
};

class FakePresenter : public display::Presenter {
 public:
  explicit FakePresenter(PresenterLog* log) : log_(log) {}
  ~FakePresenter() override { ++log_->destroyed; }
  void BindWindow(ui::WindowHandle window) override { log_->bound.push_back(window); }
  void WaitVerticalBlank() override { ++log_->waits; }
  bool FillScreen(uint32_t colour) override {
    log_->fills.push_back(colour);
    return log_->succeeds;
  }
  bool Present(const uint8_t* pixels, int width, int height, int pitch,
               const ui::Rect& target) override {
    log_->frames.push_back({pixels, width, height, pitch, target});
    return log_->succeeds;
  }

 private:
  PresenterLog* log_;
};

class FakePresenterFactory {
 public:
  explicit FakePresenterFactory(PresenterLog* log)
      : previous_(display::SetPresenterFactory(
            [log](ui::WindowHandle window) -> std::unique_ptr<display::Presenter> {
              log->madeFor.push_back(window);
              if (!log->canMake) return nullptr;
              return std::make_unique<FakePresenter>(log);
            })) {}
  ~FakePresenterFactory() { display::SetPresenterFactory(previous_); }

 private:
  display::PresenterFactory previous_;
};

}  // namespace testing
