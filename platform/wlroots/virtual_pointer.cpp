#include "platform/wlroots/virtual_pointer.h"

#include <wayland-client.h>

#include <algorithm>
#include <cmath>
#include <ctime>

#include "platform/wlroots/wayland_client.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace {
std::uint32_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::uint32_t(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}
// Sub-units per logical unit of an absolute motion: fine enough to land in
// the middle of a pixel at any scale up to 4.
constexpr double kSteps = 1 / kPointerStep;
}  // namespace

VirtualPointer::VirtualPointer(WaylandClient& client) : client_(client) {
  pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(client.pointerManager(),
                                                                    client.seat());
  client_.Flush();
}

VirtualPointer::~VirtualPointer() {
  if (pointer_) zwlr_virtual_pointer_v1_destroy(pointer_);
  client_.Flush();
}

void VirtualPointer::MoveTo(LogicalPoint point, LogicalBox extent) {
  if (extent.width <= 0 || extent.height <= 0) return;
  const double xSteps = extent.width * kSteps, ySteps = extent.height * kSteps;
  const double x = std::clamp(std::round((point.x - extent.x) * kSteps), 0.0, xSteps - 1);
  const double y = std::clamp(std::round((point.y - extent.y) * kSteps), 0.0, ySteps - 1);
  zwlr_virtual_pointer_v1_motion_absolute(pointer_, NowMs(), std::uint32_t(x), std::uint32_t(y),
                                          std::uint32_t(xSteps), std::uint32_t(ySteps));
  zwlr_virtual_pointer_v1_frame(pointer_);
}

void VirtualPointer::Button(std::uint32_t code, bool pressed) {
  zwlr_virtual_pointer_v1_button(
      pointer_, NowMs(), code,
      pressed ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
  zwlr_virtual_pointer_v1_frame(pointer_);
}
