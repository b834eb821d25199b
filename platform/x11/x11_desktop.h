#pragma once
// The desktop seam over Xlib (screen and cursor reads) and XTest (cursor
// moves and button events), on a connection of its own.
#include <memory>
#include <string>

#include "platform/desktop.h"

class X11Desktop : public Desktop {
 public:
  // Null when the display cannot be opened; displayName null means $DISPLAY.
  static std::unique_ptr<X11Desktop> Open(const char* displayName = nullptr);
  ~X11Desktop() override;

  ScreenPoint GetCursorPos() override;
  std::unique_ptr<ScreenContext> GetDC() override;
  void SetCursorPos(std::int32_t x, std::int32_t y) override;
  void MouseEvent(std::uint32_t flags) override;
  void Sleep(std::uint32_t ms) override;

  struct Connection;

 private:
  explicit X11Desktop(std::shared_ptr<Connection> connection);
  std::shared_ptr<Connection> connection_;
};
