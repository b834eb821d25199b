#include "platform/wlroots/xwayland_pointer.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

namespace {
// Xlib's default handler ends the process; a window gone in between must
// only make its query fail.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

std::function<void()> connectionLost;
int OnConnectionLost(Display*) {
  if (connectionLost) connectionLost();
  return 0;  // Xlib ends the process after this
}

// The process that owns a top-level window, from _NET_WM_PID; 0 unknown.
long WindowPid(Display* display, Window window) {
  static const Atom kPid = XInternAtom(display, "_NET_WM_PID", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  long pid = 0;
  if (XGetWindowProperty(display, window, kPid, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                         &after, &data) == Success &&
      data && format == 32 && count == 1)
    pid = *reinterpret_cast<long*>(data);
  if (data) XFree(data);
  return pid;
}
}  // namespace

std::unique_ptr<XWaylandPointer> XWaylandPointer::Open(std::function<void()> onConnectionLost) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  XSetErrorHandler(IgnoreXError);
  connectionLost = std::move(onConnectionLost);
  XSetIOErrorHandler(OnConnectionLost);
  return std::unique_ptr<XWaylandPointer>(new XWaylandPointer(display));
}

XWaylandPointer::~XWaylandPointer() { XCloseDisplay(display_); }

std::optional<XWaylandPointer::State> XWaylandPointer::Query() {
  Window root, child;
  int rootX = 0, rootY = 0, winX, winY;
  unsigned int mask = 0;
  if (!XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &winX,
                     &winY, &mask))
    return std::nullopt;
  constexpr unsigned int kButtons = Button1Mask | Button2Mask | Button3Mask | Button4Mask |
                                    Button5Mask;
  return State{rootX, rootY, (mask & kButtons) != 0};
}

bool XWaylandPointer::OwnWindowAt(int x, int y) {
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count))
    return false;
  bool own = false;
  // Children come bottom to top: the first viewable one holding the point
  // from the end is the topmost.
  for (unsigned int i = count; i-- > 0;) {
    XWindowAttributes a{};
    if (!XGetWindowAttributes(display_, children[i], &a) || a.map_state != IsViewable) continue;
    const int border = a.border_width;
    if (x < a.x || y < a.y || x >= a.x + a.width + 2 * border || y >= a.y + a.height + 2 * border)
      continue;
    own = WindowPid(display_, children[i]) == long(getpid());
    break;
  }
  if (children) XFree(children);
  return own;
}
