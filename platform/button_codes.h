#pragma once
// The button events of a mouse_event flag set as Linux input button codes,
// for the Wayland backends, which send those.
#include <linux/input-event-codes.h>

#include <cstdint>

#include "platform/desktop.h"

// Calls send(code, pressed) for each event in flags, in increasing flag order.
template <typename Send>
void ForEachButtonEvent(std::uint32_t flags, Send send) {
  struct ButtonFlag {
    std::uint32_t flag;
    std::uint32_t code;
    bool press;
  };
  static constexpr ButtonFlag kButtons[] = {
      {MOUSEEVENTF_LEFTDOWN, BTN_LEFT, true},     {MOUSEEVENTF_LEFTUP, BTN_LEFT, false},
      {MOUSEEVENTF_RIGHTDOWN, BTN_RIGHT, true},   {MOUSEEVENTF_RIGHTUP, BTN_RIGHT, false},
      {MOUSEEVENTF_MIDDLEDOWN, BTN_MIDDLE, true}, {MOUSEEVENTF_MIDDLEUP, BTN_MIDDLE, false},
  };
  for (const ButtonFlag& b : kButtons)
    if (flags & b.flag) send(b.code, b.press);
}
