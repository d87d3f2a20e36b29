// Helpers shared by the application tests: bitmap files, a presenter that
// logs what the display asks of it, a watcher that answers modal dialogs,
// and a working directory of the test's own.
#pragma once

#include <QApplication>
#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/presenter.h"
#include "support/fake_ui.h"

namespace apptest {

/// A 24-bit bottom-up bitmap file; `pixel(x, y)` gives 0x00BBGGRR with y from the top.
inline QByteArray MakeBmp(int width, int height, const std::function<uint32_t(int, int)>& pixel) {
  const int rowBytes = (width * 3 + 3) / 4 * 4;
  QByteArray out(54 + rowBytes * height, '\0');
  auto put = [&out](int at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>(v >> (8 * i));
  };
  out[0] = 'B';
  out[1] = 'M';
  put(2, static_cast<uint32_t>(out.size()), 4);
  put(10, 54, 4);
  put(14, 40, 4);
  put(18, static_cast<uint32_t>(width), 4);
  put(22, static_cast<uint32_t>(height), 4);
  put(26, 1, 2);
  put(28, 24, 2);
  for (int y = 0; y < height; ++y) {
    const int row = 54 + (height - 1 - y) * rowBytes;
    for (int x = 0; x < width; ++x) {
      const uint32_t c = pixel(x, y);
      out[row + 3 * x] = static_cast<char>(c >> 16);     // blue
      out[row + 3 * x + 1] = static_cast<char>(c >> 8);  // green
      out[row + 3 * x + 2] = static_cast<char>(c);       // red
    }
  }
  return out;
}

/// Message boxes other than the millisecond timer's, which a busy machine may show.
inline std::vector<std::string> NonTimerBoxes(const testing::FakeUi& fake) {
  std::vector<std::string> texts;
  for (const auto& box : fake.boxes) {
    if (box.text.find("MsTimer") == std::string::npos) texts.push_back(box.text);
  }
  return texts;
}

/// What the display asked of the presenters made by a LoggingPresenterFactory.
struct DisplayLog {
  std::vector<ui::WindowHandle> madeFor;
  std::vector<ui::WindowHandle> bound;
  /// Every call, in order: "bind", "fill", "present".
  std::vector<std::string> calls;
  int destroyed = 0;
  bool canMake = true;
  /// Runs inside the factory, before it answers.
  std::function<void(ui::WindowHandle)> onMake;
  /// Runs on every bind, before it is logged.
  std::function<void(ui::WindowHandle)> onBind;
};

class LoggingPresenter : public display::Presenter {
 public:
  explicit LoggingPresenter(DisplayLog* log) : log_(log) {}
  ~LoggingPresenter() override { ++log_->destroyed; }
  void BindWindow(ui::WindowHandle window) override {
    if (log_->onBind) log_->onBind(window);
    log_->bound.push_back(window);
    log_->calls.push_back("bind");
  }
  void WaitVerticalBlank() override {}
  bool FillScreen(uint32_t) override {
    log_->calls.push_back("fill");
    return true;
  }
  bool Present(const uint8_t*, int, int, int, const ui::Rect&) override {
    log_->calls.push_back("present");
    return true;
  }

 private:
  DisplayLog* log_;
};

/// A factory that makes LoggingPresenters, or none when the log says it cannot.
inline display::PresenterFactory LoggingPresenterFactory(DisplayLog* log) {
  return [log](ui::WindowHandle window) -> std::unique_ptr<display::Presenter> {
    log->madeFor.push_back(window);
    if (log->onMake) log->onMake(window);
    if (!log->canMake) return nullptr;
    return std::make_unique<LoggingPresenter>(log);
  };
}

/// Installs a presenter factory for its lifetime.
class ScopedPresenterFactory {
 public:
  explicit ScopedPresenterFactory(display::PresenterFactory factory)
      : previous_(display::SetPresenterFactory(std::move(factory))) {}
  ~ScopedPresenterFactory() { display::SetPresenterFactory(std::move(previous_)); }

 private:
  display::PresenterFactory previous_;
};

/// Calls `answer` once for every modal dialog that opens while it lives; the
/// answer must close the dialog.
class ModalWatcher {
 public:
  explicit ModalWatcher(std::function<void(QWidget*)> answer) : answer_(std::move(answer)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (modal && modal != answered_.data()) {
        answered_ = modal;
        answer_(modal);
      }
    });
    timer_.start(5);
  }

 private:
  std::function<void(QWidget*)> answer_;
  QPointer<QWidget> answered_;
  QTimer timer_;
};

/// A temporary directory that is the working directory while it lives.
class ScopedWorkingDir {
 public:
  ScopedWorkingDir() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
  ~ScopedWorkingDir() { QDir::setCurrent(previous_); }
  bool IsValid() const { return dir_.isValid(); }
  QString FilePath(const QString& name) const { return dir_.filePath(name); }
  QStringList Entries() const {
    return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }

 private:
  QString previous_;
  QTemporaryDir dir_;
};

}  // namespace apptest
