#include "app/e2e/x_screen.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace e2e {

XScreen::~XScreen() {
  if (display_) XCloseDisplay(display_);
}

std::string XScreen::Open(const char* name) {
  display_ = XOpenDisplay(name);
  if (!display_) return "cannot connect to the X server (DISPLAY not set? run under xvfb-run)";
  // A refused request must not end the driver: Xlib's default handler exits.
  XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  int unused[4];
  if (!XTestQueryExtension(display_, &unused[0], &unused[1], &unused[2], &unused[3])) {
    return "the X server has no XTest extension";
  }
  const int screen = DefaultScreen(display_);
  root_ = RootWindow(display_, screen);
  width_ = DisplayWidth(display_, screen);
  height_ = DisplayHeight(display_, screen);
  return std::string();
}

QImage XScreen::Grab(QRect rect) {
  if (rect.isEmpty()) rect = QRect(0, 0, width_, height_);
  XImage* image =
      display_ ? XGetImage(display_, root_, rect.x(), rect.y(), static_cast<unsigned>(rect.width()),
                           static_cast<unsigned>(rect.height()), AllPlanes, ZPixmap)
               : nullptr;
  if (!image) return QImage();
  // 8-bit channels wherever the visual keeps them.
  const auto channel = [](unsigned long pixel, unsigned long mask) {
    for (; mask != 0 && (mask & 1) == 0; mask >>= 1) pixel >>= 1;
    return static_cast<int>(pixel & mask);
  };
  QImage result(rect.size(), QImage::Format_RGB32);
  for (int y = 0; y < rect.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < rect.width(); ++x) {
      const unsigned long p = XGetPixel(image, x, y);
      line[x] = qRgb(channel(p, image->red_mask), channel(p, image->green_mask),
                     channel(p, image->blue_mask));
    }
  }
  XDestroyImage(image);
  return result;
}

void XScreen::MoveTo(int x, int y) {
  XTestFakeMotionEvent(display_, DefaultScreen(display_), x, y, CurrentTime);
  XFlush(display_);
}

void XScreen::LeftButton(bool down) {
  XTestFakeButtonEvent(display_, 1, down ? True : False, CurrentTime);
  XFlush(display_);
}

ServerMoment XScreen::LeftButtonTaken(bool down) {
  ServerMoment moment;
  moment.sent = std::chrono::steady_clock::now();
  XTestFakeButtonEvent(display_, 1, down ? True : False, CurrentTime);
  XSync(display_, False);  // the server handles requests in order
  moment.answered = std::chrono::steady_clock::now();
  return moment;
}

bool XScreen::ReadPoints(const std::vector<QPoint>& points, std::vector<QRgb>* colours,
                         ServerMoment* moment) {
  xcb_connection_t* c = XGetXCBConnection(display_);
  std::vector<xcb_get_image_cookie_t> cookies;
  cookies.reserve(points.size());
  moment->sent = std::chrono::steady_clock::now();
  for (const QPoint& p : points) {
    cookies.push_back(xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, static_cast<xcb_window_t>(root_),
                                    static_cast<int16_t>(p.x()), static_cast<int16_t>(p.y()), 1, 1,
                                    0xFFFFFFFFu));
  }
  colours->clear();
  bool ok = true;
  for (const xcb_get_image_cookie_t& cookie : cookies) {
    xcb_generic_error_t* error = nullptr;
    xcb_get_image_reply_t* image = xcb_get_image_reply(c, cookie, &error);
    std::free(error);
    if (!image || xcb_get_image_data_length(image) < 4) {
      ok = false;
    } else {
      // 24-bit true colour in 32-bit little-endian pixels, as a virtual server keeps it.
      const uint8_t* px = xcb_get_image_data(image);
      colours->push_back(qRgb(px[2], px[1], px[0]));
    }
    std::free(image);
  }
  moment->answered = std::chrono::steady_clock::now();
  return ok;
}

bool XScreen::Key(unsigned long keysym, bool down) {
  const KeyCode code = XKeysymToKeycode(display_, keysym);
  if (code == 0) return false;
  // A character found only on the shifted level of its key needs Shift.
  const bool needsShift = XkbKeycodeToKeysym(display_, code, 0, 0) != keysym &&
                          XkbKeycodeToKeysym(display_, code, 0, 1) == keysym;
  const KeyCode shift = XKeysymToKeycode(display_, XK_Shift_L);
  if (down && needsShift) XTestFakeKeyEvent(display_, shift, True, CurrentTime);
  XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
  if (!down && needsShift) XTestFakeKeyEvent(display_, shift, False, CurrentTime);
  XFlush(display_);
  std::this_thread::sleep_for(std::chrono::milliseconds(15));
  return true;
}

bool XScreen::Tap(std::initializer_list<const char*> keys) {
  std::vector<KeySym> syms;
  for (const char* name : keys) {
    syms.push_back(XStringToKeysym(name));
    if (syms.back() == NoSymbol) return false;
  }
  bool ok = true;
  for (KeySym sym : syms) ok = Key(sym, true) && ok;
  for (auto it = syms.rbegin(); it != syms.rend(); ++it) ok = Key(*it, false) && ok;
  return ok;
}

bool XScreen::Type(const std::string& text) {
  for (char c : text) {
    // Latin-1 keysyms equal the characters' codes.
    const unsigned long sym = static_cast<unsigned char>(c);
    if (sym < 0x20 || sym > 0x7E || !Key(sym, true) || !Key(sym, false)) return false;
  }
  return true;
}

// The window a window manager's frame holds: the one it marked with
// WM_STATE, or, with no window manager, the top-level window itself.
unsigned long XScreen::ClientOf(unsigned long frame) {
  const Atom wmState = XInternAtom(display_, "WM_STATE", True);
  std::vector<Window> level{frame};
  for (int depth = 0; depth < 4 && wmState != None && !level.empty(); ++depth) {
    std::vector<Window> next;
    for (Window w : level) {
      Atom type = None;
      int format = 0;
      unsigned long items = 0, after = 0;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(display_, w, wmState, 0, 0, False, AnyPropertyType, &type, &format,
                             &items, &after, &data) == Success) {
        if (data) XFree(data);
        if (type != None) return w;
      }
      Window rootReturn = 0, parent = 0;
      Window* children = nullptr;
      unsigned count = 0;
      if (XQueryTree(display_, w, &rootReturn, &parent, &children, &count)) {
        next.insert(next.end(), children, children + count);
        if (children) XFree(children);
      }
    }
    level.swap(next);
  }
  return frame;
}

// The frame as the window manager tells it (_NET_FRAME_EXTENTS): its frame
// window may hold invisible borders that are no part of it.
QRect XScreen::FrameAround(unsigned long client, const QRect& clientRect, const QRect& outer) {
  const Atom extents = XInternAtom(display_, "_NET_FRAME_EXTENTS", True);
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  if (extents == None ||
      XGetWindowProperty(display_, client, extents, 0, 4, False, XA_CARDINAL, &type, &format,
                         &items, &after, &data) != Success ||
      !data || format != 32 || items != 4) {
    if (data) XFree(data);
    return outer;
  }
  const auto* v = reinterpret_cast<const long*>(data);  // left, right, top, bottom
  const QRect frame = clientRect.adjusted(-int(v[0]), -int(v[2]), int(v[1]), int(v[3]));
  XFree(data);
  return frame;
}

unsigned long XScreen::ClientTitled(const std::string& title) {
  Window found = 0;
  Window rootReturn = 0, parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display_, root_, &rootReturn, &parent, &children, &count)) return 0;
  for (unsigned i = 0; i < count && !found; ++i) {
    const Window client = ClientOf(children[i]);
    char* name = nullptr;
    if (XFetchName(display_, client, &name) && name) {
      if (title == name) found = client;
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

QPoint XScreen::Pointer() {
  Window rootReturn = 0, child = 0;
  int x = 0, y = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(display_, root_, &rootReturn, &child, &x, &y, &wx, &wy, &mask);
  return QPoint(x, y);
}

std::vector<std::string> XScreen::WindowStates(const std::string& title) {
  std::vector<std::string> names;
  const Window client = ClientTitled(title);
  const Atom state = XInternAtom(display_, "_NET_WM_STATE", True);
  if (!client || state == None) return names;
  Atom type = None;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display_, client, state, 0, 64, False, XA_ATOM, &type, &format, &items,
                         &after, &data) == Success &&
      data && format == 32) {
    const auto* atoms = reinterpret_cast<const Atom*>(data);
    for (unsigned long i = 0; i < items; ++i) {
      if (char* name = XGetAtomName(display_, atoms[i])) {
        names.emplace_back(name);
        XFree(name);
      }
    }
  }
  if (data) XFree(data);
  return names;
}

void XScreen::MoveWindow(const std::string& title, const QPoint& to) {
  if (const Window client = ClientTitled(title)) {
    // Through the window manager when there is one, as any program's request.
    XMoveWindow(display_, client, to.x(), to.y());
    XFlush(display_);
  }
}

bool XScreen::AskToClose(const std::string& title) {
  const Window client = ClientTitled(title);
  const Atom protocols = XInternAtom(display_, "WM_PROTOCOLS", False);
  const Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
  if (!client) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = client;
  event.xclient.message_type = protocols;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(deleteWindow);
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display_, client, False, NoEventMask, &event);
  XFlush(display_);
  return true;
}

std::vector<TopWindow> XScreen::TopWindows() {
  std::vector<TopWindow> found;
  Window rootReturn = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (!XQueryTree(display_, root_, &rootReturn, &parent, &children, &count)) return found;
  for (unsigned i = 0; i < count; ++i) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(display_, children[i], &a) || a.map_state != IsViewable) continue;
    const QRect outer(a.x, a.y, a.width, a.height);
    const Window client = a.override_redirect ? children[i] : ClientOf(children[i]);
    XWindowAttributes c;
    int x = 0, y = 0;
    Window unused = 0;
    if (!XGetWindowAttributes(display_, client, &c) ||
        !XTranslateCoordinates(display_, client, root_, 0, 0, &x, &y, &unused)) {
      continue;
    }
    const QRect rect(x, y, c.width, c.height);
    found.push_back({std::string(), rect,
                     client == children[i] ? rect : FrameAround(client, rect, outer),
                     a.override_redirect != 0});
    char* name = nullptr;
    if (XFetchName(display_, client, &name) && name) {
      found.back().title = name;
      XFree(name);
    }
  }
  if (children) XFree(children);
  return found;
}

}  // namespace e2e
