#pragma once
// What XWayland knows of the pointer. A Wayland client cannot ask where
// the pointer is; an X client can, in the compositor's logical units,
// while the pointer is over an X window or a button pressed on one holds
// it (as when the user drags from one of our buttons).
#include <cmath>
#include <functional>
#include <memory>
#include <optional>

#include "platform/screen_layout.h"

#include "platform/x11/x11_desktop.h"

class XWaylandPointer {
 public:
  // Null when there is no X display ($DISPLAY). XWayland goes when the
  // compositor goes: onLost runs then.
  static std::unique_ptr<XWaylandPointer> Open(const OnDesktopLost& onLost);

  // In logical units of the layout.
  ScreenPoint Position() { return x11_->GetCursorPos(); }
  // The screen pixel under the pointer; nothing when it is on no output.
  // Only whole logical units: at scale 1.5 a corner lands on every third
  // pixel but one.
  std::optional<ScreenPoint> PixelUnder(const ScreenLayout& layout) {
    const ScreenPoint pointer = Position();
    return layout.FromLogical(pointer.x, pointer.y);
  }
  // As XWayland last saw the buttons.
  bool AnyButtonDown() { return x11_->AnyMouseButtonDown(); }
  // Whether the topmost X window at screen pixel (x, y) belongs to this
  // process. Native Wayland windows are unknown to X: one lying over ours
  // is not seen.
  bool OwnWindowAt(const ScreenLayout& layout, std::int32_t x, std::int32_t y) {
    const int index = layout.OutputAt(x, y);
    if (index < 0) return false;
    const LogicalPoint p = layout.ToLogical(index, x, y);
    return x11_->IsOwnWindowAt(int(std::floor(p.x)), int(std::floor(p.y)));
  }

 private:
  explicit XWaylandPointer(std::unique_ptr<X11Desktop> x11) : x11_(std::move(x11)) {}
  // Its queries are the X11 desktop's own; it reads and clicks nothing.
  std::unique_ptr<X11Desktop> x11_;
};
