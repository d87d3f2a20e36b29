// Services that record what the program asks of the windowing system, for
// tests that need no display.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "ui/services.h"

namespace testing {

class FakeUi : public ui::Services {
 public:
  struct Box {
    ui::WindowHandle owner;
    std::string text;
    std::string caption;
    unsigned type;
  };
  struct Placement {
    ui::WindowHandle window;
    int width;
    int height;
  };

  FakeUi();   ///< installs itself
  ~FakeUi();  ///< puts the previous services back

  int MessageBox(ui::WindowHandle owner, const std::string& text, const std::string& caption,
                 unsigned type) override;
  ui::WindowHandle MainWindow() override { return mainWindow; }
  void PlaceTopmost(ui::WindowHandle window, int width, int height) override;
  void EndTopmost(ui::WindowHandle window) override;
  int ScreenWidth() override { return screenWidth; }
  int ScreenHeight() override { return screenHeight; }
  bool DigitizerReady() override { return digitizerReady; }
  int16_t GetAsyncKeyState(int virtualKey) override;
  int ShowCursor(bool show) override;
  bool PumpMessages() override;
  void DiscardInput() override { ++discards; }
  void Sleep(int milliseconds) override;
  void PlaySound(const std::string& path, unsigned flags) override;
  void SetInputMethodOpen(ui::WindowHandle window, bool open) override;
  std::unique_ptr<ui::DeviceContext> CreateSurfaceDC(uint8_t* pixels, int width, int height,
                                                     int pitch) override;

  // What was asked, in order.
  std::vector<Box> boxes;
  std::vector<Placement> placements;
  std::vector<ui::WindowHandle> topmostEnded;
  std::vector<std::string> sounds;
  std::vector<std::pair<ui::WindowHandle, bool>> inputMethod;
  int cursorCount = 0;
  int cursorCalls = 0;
  int discards = 0;
  int pumps = 0;
  int sleptMs = 0;

  // What the fake answers.
  ui::WindowHandle mainWindow = reinterpret_cast<ui::WindowHandle>(0x1000);
  int screenWidth = 1920;
  int screenHeight = 1080;
  bool digitizerReady = false;
  int boxAnswer = ui::kIdOk;
  /// Escape states returned by successive polls; the last one repeats.
  std::deque<int16_t> escapeStates{0};
  /// Called on every pump, for tests that simulate a person.
  std::function<void()> onPump;
  /// Called on every sleep with its length.
  std::function<void(int)> onSleep;

 private:
  ui::Services* previous_;
};

}  // namespace testing
