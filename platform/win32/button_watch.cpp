#include "platform/win32/button_watch.h"

namespace {
// Whether tick `a` is not after `b`; ticks wrap after 49.7 days.
bool NotAfter(std::uint32_t a, std::uint32_t b) { return static_cast<std::int32_t>(a - b) <= 0; }
}  // namespace

// What the system says was held then is all that is known of the moments
// before: as good as an event seen then.
void ButtonWatch::HookIn(unsigned held, std::uint32_t tick) {
  buttons_ = held;
  lastSeen_ = tick;
  ownUpTo_ = tick;
  in_ = true;
}

void ButtonWatch::UserButton(unsigned button, bool down) {
  if (down)
    buttons_ |= button;
  else
    buttons_ &= ~button;
}

// The buttons are stored before this, so a view found current here holds
// the buttons of that event.
void ButtonWatch::Saw(std::uint32_t tick) {
  lastSeen_ = tick;
  putBack_ = false;
}

bool ButtonWatch::ViewIsCurrent(std::uint32_t lastInput) const {
  if (!in_ || putBack_) return false;
  return NotAfter(lastInput, lastSeen_ + kSameInputMs) || NotAfter(lastInput, ownUpTo_);
}

// The system's state also has the last word over a button the hook saw go
// down but never up (released on a secure desktop, where hooks are not
// called), unless a window it hides the buttons from is in front.
bool ButtonWatch::UserHoldsButton(System& system) const {
  if (ViewIsCurrent(system.LastInputTick()) && buttons_ == 0) return false;
  return system.AnyButtonDown() || system.FrontRefusesInput();
}

// Without the hook nothing tells, and the events go on as sent. A missed
// event may also have been swallowed by a hook called before ours; put back,
// ours is called first. Once is enough until it has seen events again.
bool ButtonWatch::AwaitOwnInput(System& system) {
  if (!in_) return true;
  if (system.AwaitOwnEventsSeen()) return true;
  if (!putBack_.exchange(true)) system.PutHookBack();
  return false;
}
