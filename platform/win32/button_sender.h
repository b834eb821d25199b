#pragma once
// The button events this program sends, as Windows takes them. A click of
// the left button means the primary one: with the buttons swapped for the
// left hand (SM_SWAPBUTTON), SendInput's LEFTDOWN arrives as a right click,
// so the physical button that is primary goes out. And an event SendInput
// did not insert was refused, for a reason the user is told. Plain C++ over
// the few Windows calls involved (win32_desktop.cpp has the real ones).
#include <cstdint>
#include <optional>

#include "platform/notice.h"

class ButtonSender {
 public:
  class Windows {
   public:
    virtual ~Windows() = default;
    // GetSystemMetrics(SM_SWAPBUTTON) != 0, as the setting is now.
    virtual bool ButtonsSwapped() = 0;
    // One event of these (physical) flags, marked as ours, through
    // SendInput: whether it was inserted.
    virtual bool Insert(std::uint32_t flags) = 0;
    // Whether a window the event would go to keeps our input out (user
    // interface privilege isolation): the one at the cursor or in front.
    virtual bool TargetRefusesInput() = 0;
  };

  explicit ButtonSender(Windows& windows) : windows_(windows) {}

  // MOUSEEVENTF_* flags, left meaning primary and right secondary. The
  // setting is read at every press, as the user may change it while
  // tracking runs; a release goes to the button its press went to.
  void Send(std::uint32_t flags);
  // Why the last event was not inserted; nothing when it was.
  std::optional<Reason> Refusal() const { return refusal_; }

 private:
  Windows& windows_;
  bool read_ = false, swapped_ = false;
  std::optional<Reason> refusal_;
};
