#pragma once
// The desktop seam on wlroots compositors (sway, Hyprland...): the screen
// read with wlr-screencopy, clicks sent through one wlr virtual pointer,
// and the pointer's position asked of XWayland. Coordinates are the
// physical screen space of ScreenLayout.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/desktop.h"

class WlrootsDesktop : public Desktop {
 public:
  struct Opening {
    std::unique_ptr<WlrootsDesktop> desktop;  // null when it could not be opened
    bool compositorFound = false;
    std::vector<std::string> missing;  // protocols the compositor lacks
    bool xwaylandFound = false;
  };
  // onCompositorLost runs when the compositor has gone and is expected not
  // to return; if it does, every read fails from then on.
  static Opening Open(std::function<void()> onCompositorLost = nullptr);
  ~WlrootsDesktop() override;

  ScreenPoint GetCursorPos() override;
  std::unique_ptr<ScreenContext> GetDC() override;
  void SetCursorPos(std::int32_t x, std::int32_t y) override;
  void MouseEvent(std::uint32_t flags) override;
  void Sleep(std::uint32_t ms) override;
  bool IsOnScreen(std::int32_t x, std::int32_t y) override;
  bool AnyMouseButtonDown() override;
  bool IsOwnWindowAt(std::int32_t x, std::int32_t y) override;

  // Handles what the compositor sent meanwhile (output changes), and
  // notices when it has gone; call it now and then from the event loop.
  void TakeEvents();

  struct State;

 private:
  explicit WlrootsDesktop(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
};
