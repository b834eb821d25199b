#pragma once
// What XWayland knows of the pointer. A Wayland client cannot ask where
// the pointer is; an X client can, in the compositor's logical units,
// while the pointer is over an X window or a button pressed on one holds
// it (as when the user drags from one of our buttons).
#include <memory>
#include <optional>

#include "platform/screen_layout.h"
#include "platform/x11/pointer_queries.h"

class XWaylandPointer {
 public:
  // A plain connection of its own to $DISPLAY; null when there is none.
  // XWayland goes when the compositor goes: onLost runs then.
  static std::unique_ptr<XWaylandPointer> Open(const OnDesktopLost& onLost);
  ~XWaylandPointer();
  XWaylandPointer(const XWaylandPointer&) = delete;
  XWaylandPointer& operator=(const XWaylandPointer&) = delete;

  // In logical units of the layout.
  ScreenPoint Position() { return queries_.Position(); }
  // The screen pixel under the pointer; nothing when it is on no output.
  // Only whole logical units: at scale 1.5 a corner lands on every third
  // pixel but one.
  std::optional<ScreenPoint> PixelUnder(const ScreenLayout& layout);
  // As XWayland last saw the buttons.
  bool AnyButtonDown() { return queries_.AnyButtonDown(); }
  // Whether the topmost X window at screen pixel (x, y) belongs to this
  // process. Native Wayland windows are unknown to X: one lying over ours
  // is not seen.
  bool OwnWindowAt(const ScreenLayout& layout, std::int32_t x, std::int32_t y);

 private:
  XWaylandPointer(_XDisplay* display, unsigned long root);

  _XDisplay* display_;
  X11PointerQueries queries_;
};
