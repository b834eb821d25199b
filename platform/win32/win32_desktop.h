#pragma once
// The desktop as user32, gdi32 and kernel32 show it. With the manifest's
// per-monitor DPI awareness every coordinate here is a physical pixel.
// Screen reads are in screen_reader, questions about the window at a
// point in window_at_point, the user's buttons and the fate of our own
// events in input_watch and button_watch, what goes into SendInput in
// button_sender, the session's state in session_state; the cursor is here.
#include "platform/desktop.h"
#include "platform/win32/button_sender.h"
#include "platform/win32/button_watch.h"
#include "platform/win32/input_watch.h"

class Win32Desktop : public Desktop {
 public:
  // The input watch runs from the start to the end of the window.
  void Start(TellUser tellUser) override;
  void End() override;

  ScreenPoint GetCursorPos() override;
  std::unique_ptr<ScreenContext> GetDC() override;
  void SetCursorPos(std::int32_t x, std::int32_t y) override;
  void MouseEvent(std::uint32_t flags) override;
  bool AwaitInputHandled() override;
  std::optional<Reason> InputRefused() override;
  void Sleep(std::uint32_t ms) override;
  bool CursorIsAt(std::int32_t x, std::int32_t y) override;
  bool AnyMouseButtonDown() override;
  bool SessionOnScreen() override;
  bool IsOwnWindowAt(std::int32_t x, std::int32_t y) override;
  bool DropsInputAt(std::int32_t x, std::int32_t y) override;

 private:
  // The Windows calls that the decisions of button_sender and button_watch
  // take.
  class Calls final : public ButtonSender::Windows, public ButtonWatch::System {
   public:
    explicit Calls(InputWatch& watch) : watch_(watch) {}
    bool ButtonsSwapped() override;
    bool Insert(std::uint32_t flags) override;
    bool TargetRefusesInput() override;
    bool AnyButtonDown() override;
    bool FrontRefusesInput() override;
    std::uint32_t LastInputTick() override;
    bool AwaitOwnEventsSeen() override;
    void PutHookBack() override { watch_.PutBack(); }

   private:
    InputWatch& watch_;
  };
  void MoveCursor(std::int32_t x, std::int32_t y);

  InputWatch watch_;
  Calls calls_{watch_};
  ButtonSender sender_{calls_};
};
