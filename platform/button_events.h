#pragma once
// The button events a mouse_event flag set stands for, for the desktops
// that send buttons one by one in their own numbering.
#include <cstdint>

#include "platform/desktop.h"

enum class MouseButton { Left, Right, Middle };

// Calls send(button, pressed) for each event in flags, in increasing flag
// order: a down before its up.
template <typename Send>
void ForEachButtonEvent(std::uint32_t flags, Send send) {
  struct ButtonFlag {
    std::uint32_t flag;
    MouseButton button;
    bool press;
  };
  static constexpr ButtonFlag kButtons[] = {
      {MOUSEEVENTF_LEFTDOWN, MouseButton::Left, true},
      {MOUSEEVENTF_LEFTUP, MouseButton::Left, false},
      {MOUSEEVENTF_RIGHTDOWN, MouseButton::Right, true},
      {MOUSEEVENTF_RIGHTUP, MouseButton::Right, false},
      {MOUSEEVENTF_MIDDLEDOWN, MouseButton::Middle, true},
      {MOUSEEVENTF_MIDDLEUP, MouseButton::Middle, false},
  };
  for (const ButtonFlag& b : kButtons)
    if (flags & b.flag) send(b.button, b.press);
}
