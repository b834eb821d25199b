#pragma once
// What an X server knows of the pointer and of the windows under it, asked
// on a connection of ours, in root-window pixels (or, under XWayland, the
// compositor's logical units): never a toolkit's scaled value.
#include <cstdint>

#include "platform/desktop.h"

struct _XDisplay;

class X11PointerQueries {
 public:
  X11PointerQueries(_XDisplay* display, unsigned long rootWindow);

  ScreenPoint Position();
  // Whether the pointer is at (x, y) exactly, on this screen.
  bool IsAt(std::int32_t x, std::int32_t y);
  // The server's button state: the user's own presses, once the program's
  // synthetic ones have been handled (AwaitButtonsUp).
  bool AnyButtonDown();
  // Waits until the server reports none of `mask` (Button1Mask...) held,
  // for at most timeoutMs of time in which it could have changed (a stall
  // does not count); false if one still is. A window manager's button
  // grab freezes pointer events until the manager lets them through, so a
  // synthetic release can stay queued for a while after it was sent.
  bool AwaitButtonsUp(unsigned int mask, int timeoutMs);
  // Whether the top-level window at (x, y), frame included, belongs to
  // this process (by the _NET_WM_PID toolkits set): what a click there
  // would reach.
  bool OwnWindowAt(std::int32_t x, std::int32_t y);

 private:
  struct Pointer {
    bool onThisScreen = false;
    ScreenPoint at;
    unsigned int buttons = 0;
  };
  Pointer Query();

  _XDisplay* display_;
  unsigned long root_;
  unsigned long netWmPid_;
};
