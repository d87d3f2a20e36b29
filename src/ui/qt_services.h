// The user interface services on Qt: the program installs one QtServices at
// start-up (ui::SetUi) and every other module reaches Qt through it.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/services.h"

class QSoundEffect;
class QWidget;
class QWindow;

namespace ui {

/// The handle of the top-level window that shows `widget`, created if needed.
WindowHandle HandleOf(QWidget* widget);
/// The window behind a handle.
QWindow* WindowOf(WindowHandle handle);
/// The top-level widget shown in the window behind `handle`, or null.
QWidget* WidgetOf(WindowHandle handle);

/// The icon a message box of `type` (kMbIcon* bits) shows.
QMessageBox::Icon MessageBoxIcon(unsigned type);

/// Services on a running QApplication, which must outlive them.
class QtServices : public QObject, public Services {
  Q_OBJECT

 public:
  /// Installs the key and input filter on the application.
  QtServices();
  ~QtServices() override;

  /// Makes `widget` the main window (null for none).
  void SetMainWindow(QWidget* widget);
  /// Loads a sound file ahead, so that its first play starts at once.
  void PreloadSound(const std::string& path);
  /// Number of sound files loaded so far.
  size_t LoadedSoundCount() const { return sounds_.size(); }

  int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                 unsigned type) override;
  WindowHandle MainWindow() override;
  void PlaceTopmost(WindowHandle window, int width, int height) override;
  void EndTopmost(WindowHandle window) override;
  int ScreenWidth() override;
  int ScreenHeight() override;
  bool DigitizerReady() override;
  int16_t GetAsyncKeyState(int virtualKey) override;
  int ShowCursor(bool show) override;
  bool PumpMessages() override;
  void DiscardInput() override;
  void Sleep(int milliseconds) override;
  void PlaySound(const std::string& path, unsigned flags) override;
  void SetInputMethodOpen(WindowHandle window, bool open) override;
  std::unique_ptr<DeviceContext> CreateSurfaceDC(uint8_t* pixels, int width, int height,
                                                 int pitch) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct KeyState {
    bool down = false;
    bool pressedSincePoll = false;
  };

  QSoundEffect* SoundFor(const std::string& path);

  QPointer<QWidget> mainWindow_;
  std::map<int, KeyState> keys_;  // by virtual key
  int cursorCount_ = 0;
  int discarding_ = 0;
  unsigned long eventsSeen_ = 0;
  std::map<std::string, std::unique_ptr<QSoundEffect>> sounds_;
  // Widgets whose input method we switched off, to switch back on.
  std::vector<QPointer<QWidget>> imeDisabled_;
};

}  // namespace ui
