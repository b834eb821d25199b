#pragma once
// Mouse buttons as the Linux input codes the Wayland protocols carry.
#include <linux/input-event-codes.h>

#include <cstdint>

#include "platform/button_events.h"

constexpr std::uint32_t LinuxButtonCode(MouseButton button) {
  switch (button) {
    case MouseButton::Left: return BTN_LEFT;
    case MouseButton::Right: return BTN_RIGHT;
    case MouseButton::Middle: return BTN_MIDDLE;
  }
  return BTN_LEFT;
}
