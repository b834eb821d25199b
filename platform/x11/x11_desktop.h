#pragma once
// The desktop seam over Xlib (screen and cursor reads) and XTest (cursor
// moves and button events), on a connection of its own.
#include <functional>
#include <memory>
#include <string>

#include "platform/desktop.h"
#include "platform/desktop_choice.h"
#include "platform/x11/pointer_queries.h"
#include "platform/x11/read_options.h"

struct X11Connection;

class X11Desktop : public Desktop {
 public:
  // Null when the display cannot be opened or lacks XTest; displayName
  // null means $DISPLAY.
  static std::unique_ptr<X11Desktop> Open(const char* displayName = nullptr,
                                          X11ReadOptions options = {});
  // The program's route: $DISPLAY, every read method; onLost runs when the
  // X server goes away.
  static DesktopRoute::Opening OpenRoute(const OnDesktopLost& onLost);
  ~X11Desktop() override;

  void Start(TellUser tellUser) override;

  ScreenPoint GetCursorPos() override;
  std::unique_ptr<ScreenContext> GetDC() override;
  void SetCursorPos(std::int32_t x, std::int32_t y) override;
  void MouseEvent(std::uint32_t flags) override;
  bool AwaitInputHandled() override;
  void Sleep(std::uint32_t ms) override;
  void HoldScreenLayout(bool hold) override;
  bool CursorIsAt(std::int32_t x, std::int32_t y) override;
  bool AnyMouseButtonDown() override;
  bool IsOwnWindowAt(std::int32_t x, std::int32_t y) override;

  // onLost runs (and must end the process) when the X server goes away.
  void OnConnectionLost(std::function<void()> onLost);

  // What bulk reads use now: the options asked for, less what the server
  // lacks or refused.
  X11ReadOptions ReadMethod() const;
  std::string ReadMethodName() const;

 private:
  explicit X11Desktop(std::shared_ptr<X11Connection> connection);
  std::shared_ptr<X11Connection> connection_;
  X11PointerQueries pointer_;
  // The buttons this program released since the server last showed them up.
  unsigned int releasedButtons_ = 0;
};
