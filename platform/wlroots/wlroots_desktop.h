#pragma once
// The desktop seam on wlroots compositors (sway, Hyprland...): the screen
// read with wlr-screencopy, clicks sent through one wlr virtual pointer,
// and the pointer's position asked of XWayland. Coordinates are the
// physical screen space of ScreenLayout.
#include <memory>

#include "platform/desktop.h"
#include "platform/desktop_choice.h"

class WlrootsDesktop : public Desktop {
 public:
  // onLost runs when the compositor has gone; if it returns, every read
  // fails from then on.
  static DesktopRoute::Opening Open(const OnDesktopLost& onLost);
  ~WlrootsDesktop() override;

  ScreenPoint GetCursorPos() override;
  std::unique_ptr<ScreenContext> GetDC() override;
  void SetCursorPos(std::int32_t x, std::int32_t y) override;
  void MouseEvent(std::uint32_t flags) override;
  void Sleep(std::uint32_t ms) override;
  bool CursorIsAt(std::int32_t x, std::int32_t y) override;
  bool AnyMouseButtonDown() override;
  bool IsOwnWindowAt(std::int32_t x, std::int32_t y) override;

  void Start(TellUser tellUser) override;
  // What the compositor sent meanwhile (output changes), and whether it
  // has gone.
  int EventIntervalMs() const override;
  void TakeEvents() override;

  struct State;

 private:
  explicit WlrootsDesktop(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
};
