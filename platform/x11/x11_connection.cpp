#include "platform/x11/x11_connection.h"

#include "platform/x11/connection_lost.h"
#include "platform/x11/shm_image.h"

std::shared_ptr<X11Connection> X11Connection::Open(const char* displayName, X11ReadOptions wanted) {
  auto c = std::make_shared<X11Connection>();
  c->display = XOpenDisplay(displayName);
  if (!c->display) return nullptr;
  Display* d = c->display;
  c->root = DefaultRootWindow(d);
  c->visual = DefaultVisual(d, DefaultScreen(d));
  c->depth = DefaultDepth(d, DefaultScreen(d));
  c->format = PixelFormat(c->visual->red_mask, c->visual->green_mask, c->visual->blue_mask);
  XSelectInput(d, c->root, StructureNotifyMask);
  c->RefreshScreenSize();

  c->usable.sharedMemory = wanted.sharedMemory && ShmImage::Works(d, c->visual, c->depth);
  int eventBase, errorBase, major, minor;
  // Sampling copies pixels between pictures of the root's format, which
  // is exact for true-colour formats of up to 8 bits a channel.
  if (wanted.render && XRenderQueryExtension(d, &eventBase, &errorBase) &&
      XRenderQueryVersion(d, &major, &minor) && (major > 0 || minor >= 6) &&
      c->visual->c_class == TrueColor && c->depth <= 24) {
    c->renderFormat = XRenderFindVisualFormat(d, c->visual);
    c->usable.render = c->renderFormat && c->renderFormat->type == PictTypeDirect;
  }
  return c;
}

X11Connection::~X11Connection() {
  if (display) CloseConnection(display);
}

void X11Connection::RefreshScreenSize() {
  XWindowAttributes attributes{};
  if (XGetWindowAttributes(display, root, &attributes)) {
    screenWidth = attributes.width;
    screenHeight = attributes.height;
  }
}

// The root window reports its resizes (StructureNotify is selected on it).
// With QueuedAlready nothing is read from the socket: after a reply, every
// event the server sent before it is already queued.
bool X11Connection::TakeEvents(int mode) {
  bool resized = false;
  for (int n = XEventsQueued(display, mode); n > 0; --n) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != ConfigureNotify || event.xconfigure.window != root) continue;
    if (event.xconfigure.width != screenWidth || event.xconfigure.height != screenHeight) {
      screenWidth = event.xconfigure.width;
      screenHeight = event.xconfigure.height;
      resized = true;
    }
  }
  return resized;
}
