#include "app/e2e/x_screen.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <chrono>
#include <thread>

namespace e2e {

namespace {

void SleepMs(int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The shift of a channel mask's lowest bit, so that 8-bit channels come out
// whatever order the visual keeps them in.
int MaskShift(unsigned long mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

Rgb PixelOf(XImage* image, int x, int y) {
  const unsigned long pixel = XGetPixel(image, x, y);
  Rgb rgb;
  rgb.r = static_cast<int>((pixel & image->red_mask) >> MaskShift(image->red_mask));
  rgb.g = static_cast<int>((pixel & image->green_mask) >> MaskShift(image->green_mask));
  rgb.b = static_cast<int>((pixel & image->blue_mask) >> MaskShift(image->blue_mask));
  return rgb;
}

// A refused request must not end the driver: Xlib's default handler exits.
int IgnoreError(Display*, XErrorEvent*) {
  return 0;
}

}  // namespace

struct XScreen::Impl {
  Display* display = nullptr;
  Window root = 0;
  int width = 0;
  int height = 0;
};

XScreen::XScreen() : impl_(std::make_unique<Impl>()) {}

XScreen::~XScreen() {
  if (impl_->display) XCloseDisplay(impl_->display);
}

bool XScreen::Open(std::string* err) {
  impl_->display = XOpenDisplay(nullptr);
  if (!impl_->display) {
    *err = "cannot connect to the X server (DISPLAY not set?)";
    return false;
  }
  XSetErrorHandler(IgnoreError);
  int eventBase = 0;
  int errorBase = 0;
  int major = 0;
  int minor = 0;
  if (!XTestQueryExtension(impl_->display, &eventBase, &errorBase, &major, &minor)) {
    *err = "the X server has no XTest extension";
    return false;
  }
  const int screen = DefaultScreen(impl_->display);
  impl_->root = RootWindow(impl_->display, screen);
  impl_->width = DisplayWidth(impl_->display, screen);
  impl_->height = DisplayHeight(impl_->display, screen);
  return true;
}

int XScreen::Width() const {
  return impl_->width;
}

int XScreen::Height() const {
  return impl_->height;
}

bool XScreen::ReadRow(int x, int y, int width, std::vector<Rgb>* out) {
  XImage* image = XGetImage(impl_->display, impl_->root, x, y, static_cast<unsigned>(width), 1,
                            AllPlanes, ZPixmap);
  if (!image) return false;
  out->resize(static_cast<size_t>(width));
  for (int i = 0; i < width; ++i) (*out)[static_cast<size_t>(i)] = PixelOf(image, i, 0);
  XDestroyImage(image);
  return true;
}

QImage XScreen::Grab(QRect rect) {
  if (rect.isEmpty()) rect = QRect(0, 0, impl_->width, impl_->height);
  XImage* image = XGetImage(impl_->display, impl_->root, rect.x(), rect.y(),
                            static_cast<unsigned>(rect.width()),
                            static_cast<unsigned>(rect.height()), AllPlanes, ZPixmap);
  if (!image) return QImage();
  QImage result(rect.size(), QImage::Format_RGB32);
  for (int y = 0; y < rect.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < rect.width(); ++x) {
      const Rgb p = PixelOf(image, x, y);
      line[x] = qRgb(p.r, p.g, p.b);
    }
  }
  XDestroyImage(image);
  return result;
}

void XScreen::MoveTo(int x, int y) {
  XTestFakeMotionEvent(impl_->display, DefaultScreen(impl_->display), x, y, CurrentTime);
  Flush();
}

void XScreen::LeftButton(bool down) {
  XTestFakeButtonEvent(impl_->display, 1, down ? True : False, CurrentTime);
  Flush();
}

void XScreen::Click(int x, int y, int holdMs) {
  MoveTo(x, y);
  SleepMs(20);
  LeftButton(true);
  SleepMs(holdMs);
  LeftButton(false);
}

bool XScreen::Key(unsigned long keysym, bool down) {
  const KeyCode code = XKeysymToKeycode(impl_->display, keysym);
  if (code == 0) return false;
  // A character found only on the shifted level of its key needs Shift.
  const bool needsShift = XkbKeycodeToKeysym(impl_->display, code, 0, 0) != keysym &&
                          XkbKeycodeToKeysym(impl_->display, code, 0, 1) == keysym;
  const KeyCode shift = XKeysymToKeycode(impl_->display, XK_Shift_L);
  if (down && needsShift) XTestFakeKeyEvent(impl_->display, shift, True, CurrentTime);
  XTestFakeKeyEvent(impl_->display, code, down ? True : False, CurrentTime);
  if (!down && needsShift) XTestFakeKeyEvent(impl_->display, shift, False, CurrentTime);
  Flush();
  return true;
}

bool XScreen::Tap(const std::string& key, const std::vector<std::string>& modifiers) {
  std::vector<unsigned long> held;
  for (const std::string& name : modifiers) {
    const KeySym sym = XStringToKeysym(name.c_str());
    if (sym == NoSymbol) return false;
    held.push_back(sym);
  }
  const KeySym sym = XStringToKeysym(key.c_str());
  if (sym == NoSymbol) return false;
  bool ok = true;
  for (unsigned long m : held) ok = Key(m, true) && ok;
  SleepMs(10);
  ok = Key(sym, true) && ok;
  SleepMs(20);
  ok = Key(sym, false) && ok;
  SleepMs(10);
  for (auto it = held.rbegin(); it != held.rend(); ++it) ok = Key(*it, false) && ok;
  SleepMs(10);
  return ok;
}

bool XScreen::Type(const std::string& text) {
  for (char c : text) {
    // Latin-1 keysyms equal the characters' codes.
    const unsigned long sym = static_cast<unsigned char>(c);
    if (sym < 0x20 || sym > 0x7E) return false;
    if (!Key(sym, true)) return false;
    SleepMs(10);
    Key(sym, false);
    SleepMs(10);
  }
  return true;
}

QRect XScreen::FindWindow(const std::string& title) {
  Window rootReturn = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  QRect found;
  if (!XQueryTree(impl_->display, impl_->root, &rootReturn, &parent, &children, &count)) {
    return found;
  }
  for (unsigned i = 0; i < count && found.isEmpty(); ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(impl_->display, children[i], &attributes)) continue;
    if (attributes.map_state != IsViewable) continue;
    char* name = nullptr;
    if (XFetchName(impl_->display, children[i], &name) && name) {
      if (title == name) {
        found = QRect(attributes.x, attributes.y, attributes.width, attributes.height);
      }
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

int XScreen::CountPopups() {
  Window rootReturn = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(impl_->display, impl_->root, &rootReturn, &parent, &children, &count)) return 0;
  int popups = 0;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(impl_->display, children[i], &attributes)) continue;
    if (attributes.map_state == IsViewable && attributes.override_redirect) ++popups;
  }
  if (children) XFree(children);
  return popups;
}

void XScreen::Flush() {
  XFlush(impl_->display);
}

}  // namespace e2e
