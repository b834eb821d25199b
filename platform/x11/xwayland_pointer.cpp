#include "platform/x11/xwayland_pointer.h"

#include <X11/Xlib.h>

namespace {
std::function<void()> connectionLost;
int OnConnectionLost(Display*) {
  if (connectionLost) connectionLost();
  return 0;  // Xlib ends the process after this
}
}  // namespace

std::unique_ptr<XWaylandPointer> XWaylandPointer::Open(std::function<void()> onConnectionLost) {
  std::unique_ptr<X11Desktop> x11 = X11Desktop::Open();
  if (!x11) return nullptr;
  connectionLost = std::move(onConnectionLost);
  XSetIOErrorHandler(OnConnectionLost);
  return std::unique_ptr<XWaylandPointer>(new XWaylandPointer(std::move(x11)));
}
