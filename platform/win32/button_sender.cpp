#include "platform/win32/button_sender.h"

#include "platform/desktop.h"

namespace {
constexpr std::uint32_t kLeft = MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP;
constexpr std::uint32_t kRight = MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP;
static_assert(kRight == kLeft << 2, "the right button's flags lie two bits above the left's");

std::uint32_t LeftAndRightExchanged(std::uint32_t flags) {
  return (flags & ~(kLeft | kRight)) | (flags & kLeft) << 2 | (flags & kRight) >> 2;
}
}  // namespace

void ButtonSender::Send(std::uint32_t flags) {
  if (!read_ || (flags & (MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_RIGHTDOWN))) {
    swapped_ = windows_.ButtonsSwapped();
    read_ = true;
  }
  refusal_.reset();
  if (windows_.Insert(swapped_ ? LeftAndRightExchanged(flags) : flags)) return;
  // SendInput tells nothing of why; the probe tells a window with more
  // rights from input blocked otherwise (BlockInput, another desktop).
  refusal_ = windows_.TargetRefusesInput() ? Reason::ElevatedTarget : Reason::InputRefused;
}
