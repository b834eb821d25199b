#pragma once
// The desktop seam on GNOME and KDE Plasma under Wayland, through the
// desktop portal: monitors read from the screen-cast streams, clicks sent
// through the remote-desktop session, both allowed once by the user in the
// desktop's dialog. The pointer's position comes from the streams where
// they carry it, else from XWayland. Coordinates are the physical screen
// space of ScreenLayout over the streams.
#include <functional>
#include <memory>
#include <string>

#include "platform/desktop.h"

class PortalDesktop : public Desktop {
 public:
  struct Opening {
    std::unique_ptr<PortalDesktop> desktop;  // null when it cannot serve
    std::string why;                         // then why, for the user
  };
  // Asks the portal what it offers; the session itself is asked for by
  // Begin, once the event loop exists. onCompositorLost as for wlroots.
  static Opening Open(std::function<void()> onCompositorLost);
  ~PortalDesktop() override;

  // Shows the desktop's dialog; tellUser gets what the user must know
  // when access is refused or ends.
  void Begin(std::function<void(const std::string&)> tellUser);
  // Whether the user allowed access and the session runs.
  bool Allowed() const;

  ScreenPoint GetCursorPos() override;
  std::unique_ptr<ScreenContext> GetDC() override;
  void SetCursorPos(std::int32_t x, std::int32_t y) override;
  void MouseEvent(std::uint32_t flags) override;
  void Sleep(std::uint32_t ms) override;
  bool IsOnScreen(std::int32_t x, std::int32_t y) override;
  bool AnyMouseButtonDown() override;
  bool IsOwnWindowAt(std::int32_t x, std::int32_t y) override;
  // Shows the dialog again when access was refused or has ended.
  void RequestAccess() override;

  // Notices a PipeWire connection that broke; call it from the event loop.
  void TakeEvents();

  struct State;

 private:
  explicit PortalDesktop(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
};
