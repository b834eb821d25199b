#pragma once
// Whether the user holds a mouse button: from what the low-level mouse hook
// saw, while that view is current, and otherwise from the system's own
// state, where a state it hides counts as held (no click rather than one
// into a drag).
//
// Windows 7 and later remove a low-level hook that overruns
// LowLevelHooksTimeout without a word, and a removed hook sees nothing
// more: its last view, "no button held" too, would stand while the user
// drags. So the view counts only while the hook is in, has seen events
// since it was last put back, and saw the session's last input
// (GetLastInputInfo) or that input was a cursor move of ours, which no hook
// is shown. A hook that missed our own event within the wait may have been
// removed, and is put back. Any other input it is not shown (the keyboard)
// leaves the decision to the system's state until the next mouse event.
//
// Every button counts, whichever one is primary: a left-handed user's
// primary button is the physical right one, and holding it is holding a
// button.
//
// Plain C++: the hook's thread tells what it sees here, and the Windows
// calls the decisions take come in through System.
#include <atomic>
#include <cstdint>

class ButtonWatch {
 public:
  // One bit a button, as the hook tells them.
  enum Button : unsigned { kLeft = 1, kRight = 2, kMiddle = 4, kX1 = 8, kX2 = 16 };

  class System {
   public:
    virtual ~System() = default;
    // GetAsyncKeyState of the five buttons: ours held too until the system
    // has handled them, all up while a window that refuses our input is
    // in front.
    virtual bool AnyButtonDown() = 0;
    // Whether the window in front refuses our input, which hides the
    // buttons' state from us.
    virtual bool FrontRefusesInput() = 0;
    // GetLastInputInfo: the tick of the session's last input of any kind.
    virtual std::uint32_t LastInputTick() = 0;
    // Waits a moment at most until every hook has seen our last event:
    // false when they have not.
    virtual bool AwaitOwnEventsSeen() = 0;
    // Puts the hook in again, on its thread, which then tells HookIn.
    virtual void PutHookBack() = 0;
  };

  // --- On the hook's thread (quick: atomic stores only) ---
  // The hook went in at `tick`; the system held the buttons `held` then.
  void HookIn(unsigned held, std::uint32_t tick);
  // It is out, or could not be put in.
  void HookOut() { in_ = false; }
  // A button of the user's (not ours) went down or up.
  void UserButton(unsigned button, bool down);
  // It saw an event, ours or the user's, of that time stamp.
  void Saw(std::uint32_t tick);

  // --- On the window's thread ---
  // Right after a cursor move of ours: input up to `tick` is our own.
  void OwnInputUpTo(std::uint32_t tick) { ownUpTo_ = tick; }
  bool UserHoldsButton(System& system) const;
  // Waits until the system has handled our last event, as far as the hook
  // tells: false when it missed it.
  bool AwaitOwnInput(System& system);
  bool ViewIsCurrent(std::uint32_t lastInput) const;

  // The hook stamps an event with its own time and GetLastInputInfo may
  // tell a tick or two later: input that close to the hook's last event is
  // taken for that event.
  static constexpr std::uint32_t kSameInputMs = 50;

 private:
  std::atomic<bool> in_{false}, putBack_{false};
  std::atomic<unsigned> buttons_{0};
  std::atomic<std::uint32_t> lastSeen_{0}, ownUpTo_{0};
};
