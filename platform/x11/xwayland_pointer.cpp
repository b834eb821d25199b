#include "platform/x11/xwayland_pointer.h"

#include <X11/Xlib.h>

#include <cmath>

#include "platform/x11/connection_lost.h"

std::unique_ptr<XWaylandPointer> XWaylandPointer::Open(const OnDesktopLost& onLost) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return nullptr;
  WatchConnection(display, [onLost] { onLost(Reason::CompositorLost); });
  return std::unique_ptr<XWaylandPointer>(new XWaylandPointer(display, DefaultRootWindow(display)));
}

XWaylandPointer::XWaylandPointer(Display* display, Window root)
    : display_(display), queries_(display, root) {}

XWaylandPointer::~XWaylandPointer() { CloseConnection(display_); }

std::optional<ScreenPoint> XWaylandPointer::PixelUnder(const ScreenLayout& layout) {
  const ScreenPoint pointer = Position();
  return layout.FromLogical(pointer.x, pointer.y);
}

bool XWaylandPointer::OwnWindowAt(const ScreenLayout& layout, std::int32_t x, std::int32_t y) {
  const int index = layout.OutputAt(x, y);
  if (index < 0) return false;
  const LogicalPoint p = layout.ToLogical(index, x, y);
  return queries_.OwnWindowAt(int(std::floor(p.x)), int(std::floor(p.y)));
}
