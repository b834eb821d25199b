#pragma once
// What XWayland knows of the pointer. A Wayland client cannot ask where
// the pointer is; an X client can, in the compositor's logical units,
// while the pointer is over an X window or a button pressed on one holds
// it (as when the user drags from one of our buttons).
#include <functional>
#include <memory>
#include <optional>

struct _XDisplay;

class XWaylandPointer {
 public:
  // Null when there is no X display ($DISPLAY). XWayland goes when the
  // compositor goes: onConnectionLost runs then, and must not return.
  static std::unique_ptr<XWaylandPointer> Open(std::function<void()> onConnectionLost);
  ~XWaylandPointer();
  XWaylandPointer(const XWaylandPointer&) = delete;
  XWaylandPointer& operator=(const XWaylandPointer&) = delete;

  struct State {
    int x = 0, y = 0;       // logical units of the layout
    bool anyButton = false; // as XWayland last saw the buttons
  };
  std::optional<State> Query();
  // Whether the topmost X window at the logical point belongs to this
  // process. Native Wayland windows are unknown to X: one lying over ours
  // is not seen.
  bool OwnWindowAt(int x, int y);

 private:
  explicit XWaylandPointer(_XDisplay* display) : display_(display) {}
  _XDisplay* display_;
};
