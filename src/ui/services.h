// The one interface through which every part of the program reaches the
// windowing system: message boxes, window placement, input state, the message
// pump, sounds, and the device contexts that draw text and bitmaps on
// surfaces. The program installs the Qt implementation at start-up; tests
// install a fake that records the calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ui/dib_decode.h"

namespace ui {

/// Opaque handle of a window (a QWindow* in the Qt implementation).
using WindowHandle = void*;

// Message box types and results, with the platform's values.
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbOkCancel = 0x1;
constexpr unsigned kMbTypeMask = 0xF;
constexpr unsigned kMbIconHand = 0x10;
constexpr unsigned kMbIconQuestion = 0x20;
constexpr unsigned kMbIconWarning = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbIconMask = 0xF0;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// Virtual keys.
constexpr int kVkEscape = 0x1B;

// Text drawing formats and background modes.
constexpr unsigned kDtLeft = 0x0;
constexpr unsigned kDtCenter = 0x1;
constexpr unsigned kDtVCenter = 0x4;
constexpr unsigned kDtSingleLine = 0x20;
constexpr int kBkTransparent = 1;
constexpr int kBkOpaque = 2;

// Sound flags.
constexpr unsigned kSndAsync = 0x1;
constexpr unsigned kSndNoDefault = 0x2;

/// A rectangle: left and top inclusive, right and bottom exclusive.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

/// A font request: height is the character-cell height in pixels.
struct FontSpec {
  int height = 0;
  int weight = 400;
  std::string face;  // UTF-8
};

/// A painter on a 32-bit surface (pixels blue, green, red, 0) for text and
/// bitmaps. Colours are 0x00BBGGRR values.
class DeviceContext {
 public:
  virtual ~DeviceContext() = default;
  /// Sets the text colour; returns the previous one.
  virtual uint32_t SetTextColor(uint32_t colour) = 0;
  /// Sets the opaque background colour of text; returns the previous one.
  virtual uint32_t SetBkColor(uint32_t colour) = 0;
  /// kBkTransparent or kBkOpaque (the default); returns the previous mode.
  virtual int SetBkMode(int mode) = 0;
  /// Selects a font; nullptr selects the context's default font.
  virtual void SelectFont(const FontSpec* font) = 0;
  /// Draws UTF-8 text into rect with kDt* flags; returns the text height.
  virtual int DrawText(const std::string& text, const Rect& rect, unsigned format) = 0;
  /// Copies a device-independent bitmap (information header followed by its
  /// colour masks or table, and its pixel rows) scaled from the source
  /// rectangle onto the destination rectangle, reading nothing beyond its
  /// bounds. Returns the number of rows drawn, 0 on failure.
  virtual int StretchDIBits(const Rect& dest, const Rect& src, const DibBits& dib) = 0;
};

/// The windowing system as the program uses it. Every call is made on the
/// user-interface thread.
class Services {
 public:
  virtual ~Services() = default;

  /// Modal message box owned by `owner` (may be null); returns the button id.
  virtual int MessageBox(WindowHandle owner, const std::string& text, const std::string& caption,
                         unsigned type) = 0;

  /// The application's main window, or null before it exists.
  virtual WindowHandle MainWindow() = 0;
  /// Puts `window` topmost over the width x height screen (its outer frame,
  /// where a window manager frames it), shows it and repaints it with its
  /// background erased.
  virtual void PlaceTopmost(WindowHandle window, int width, int height) = 0;
  /// Ends the topmost state PlaceTopmost gave `window`: it stays where it is,
  /// but other programs' windows may come over it again.
  virtual void EndTopmost(WindowHandle window) = 0;

  /// Primary screen width and height in physical pixels.
  virtual int ScreenWidth() = 0;
  virtual int ScreenHeight() = 0;
  /// True when a touch digitiser is ready for input.
  virtual bool DigitizerReady() = 0;

  /// Key state: bit 0x8000 while the key is down, bit 0x0001 when it was
  /// pressed since the previous call.
  virtual int16_t GetAsyncKeyState(int virtualKey) = 0;
  /// Hides (false) or shows (true) the cursor; returns the display count.
  virtual int ShowCursor(bool show) = 0;
  /// Handles every pending event synchronously; false when there was none.
  virtual bool PumpMessages() = 0;
  /// Throws away pending keyboard and mouse input.
  virtual void DiscardInput() = 0;
  /// Sleeps the calling thread.
  virtual void Sleep(int milliseconds) = 0;
  /// Starts playing a sound file without waiting; a missing or unplayable
  /// file plays nothing.
  virtual void PlaySound(const std::string& path, unsigned flags) = 0;
  /// Switches the input method of `window` on or off.
  virtual void SetInputMethodOpen(WindowHandle window, bool open) = 0;

  /// A device context drawing into a locked 32-bit pixel buffer, or null.
  virtual std::unique_ptr<DeviceContext> CreateSurfaceDC(uint8_t* pixels, int width, int height,
                                                         int pitch) = 0;
};

/// The installed services. Aborts if none is installed.
Services& Ui();
/// Installs `services` (not owned); returns the previous ones.
Services* SetUi(Services* services);

/// The application's name, "Dorvane": the title of its message boxes.
const std::string& ApplicationName();

/// Message box with the application's name as caption, owned by the main window.
int AppMessageBox(const std::string& text, unsigned type);

}  // namespace ui

/// A screen size in physical pixels.
struct ScreenDimensions {
  int32_t width = 0;
  int32_t height = 0;
};

/// The primary screen, measured once at start-up; both of the program's
/// windows are made with this size, and a later change of resolution is
/// picked up only at the next start.
extern ScreenDimensions ScreenSize;
