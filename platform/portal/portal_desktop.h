#pragma once
// The desktop seam on GNOME and KDE Plasma under Wayland, through the
// desktop portal: monitors read from the screen-cast streams, clicks sent
// through the remote-desktop session, both allowed once by the user in the
// desktop's dialog. The pointer's position comes from the streams where
// they carry it, else from XWayland. Coordinates are the physical screen
// space of ScreenLayout over the streams.
#include <memory>

#include "platform/desktop.h"
#include "platform/desktop_choice.h"

class PortalDesktop : public Desktop {
 public:
  // Asks the portal what it offers; the session itself is asked for at
  // Start, once the event loop exists. onLost as for wlroots.
  static DesktopRoute::Opening Open(const OnDesktopLost& onLost);
  ~PortalDesktop() override;

  // Shows the desktop's dialog; tellUser hears when access is refused or
  // ends.
  void Start(TellUser tellUser) override;
  // Notices a PipeWire connection that broke.
  int EventIntervalMs() const override;
  void TakeEvents() override;
  void End() override;
  // Whether the user allowed access and the session runs.
  bool Allowed() const;

  ScreenPoint GetCursorPos() override;
  std::unique_ptr<ScreenContext> GetDC() override;
  void SetCursorPos(std::int32_t x, std::int32_t y) override;
  void MouseEvent(std::uint32_t flags) override;
  void Sleep(std::uint32_t ms) override;
  bool CursorIsAt(std::int32_t x, std::int32_t y) override;
  bool AnyMouseButtonDown() override;
  bool IsOwnWindowAt(std::int32_t x, std::int32_t y) override;
  // Shows the dialog again when access was refused or has ended.
  void RequestAccess() override;

  struct State;

 private:
  explicit PortalDesktop(std::shared_ptr<State> state);
  std::shared_ptr<State> state_;
};
