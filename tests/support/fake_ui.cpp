#include "support/fake_ui.h"

namespace testing {

FakeUi::FakeUi() : previous_(ui::SetUi(this)) {}
FakeUi::~FakeUi() { ui::SetUi(previous_); }

int FakeUi::MessageBox(ui::WindowHandle owner, const std::string& text,
                       const std::string& caption, unsigned type) {
  boxes.push_back({owner, text, caption, type});
  return boxAnswer;
}

void FakeUi::PlaceTopmost(ui::WindowHandle window, int width, int height) {
  placements.push_back({window, width, height});
}

void FakeUi::EndTopmost(ui::WindowHandle window) {
  topmostEnded.push_back(window);
}

int16_t FakeUi::GetAsyncKeyState(int virtualKey) {
  if (virtualKey != ui::kVkEscape) return 0;
  const int16_t state = escapeStates.front();
  if (escapeStates.size() > 1) escapeStates.pop_front();
  return state;
}

int FakeUi::ShowCursor(bool show) {
  ++cursorCalls;
  cursorCount += show ? 1 : -1;
  return cursorCount;
}

bool FakeUi::PumpMessages() {
  ++pumps;
  if (onPump) onPump();
  return false;
}

void FakeUi::Sleep(int milliseconds) {
  sleptMs += milliseconds;
  if (onSleep) onSleep(milliseconds);
}

void FakeUi::PlaySound(const std::string& path, unsigned) {
  sounds.push_back(path);
}

void FakeUi::SetInputMethodOpen(ui::WindowHandle window, bool open) {
  inputMethod.emplace_back(window, open);
}

std::unique_ptr<ui::DeviceContext> FakeUi::CreateSurfaceDC(uint8_t*, int, int, int) {
  return nullptr;
}

}  // namespace testing
