#include "platform/x11/xwayland_pointer.h"

std::unique_ptr<XWaylandPointer> XWaylandPointer::Open(const OnDesktopLost& onLost) {
  std::unique_ptr<X11Desktop> x11 = X11Desktop::Open();
  if (!x11) return nullptr;
  // XWayland goes when the compositor goes.
  x11->OnConnectionLost([onLost] { onLost(Reason::CompositorLost); });
  return std::unique_ptr<XWaylandPointer>(new XWaylandPointer(std::move(x11)));
}
