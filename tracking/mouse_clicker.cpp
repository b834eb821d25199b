#include "tracking/mouse_clicker.h"

#include "platform/desktop.h"

// 2^(2*button - 1): left 0x02, right 0x08, middle 0x20; button 0 or below
// gives the left button's flag.
void MouseClicker::ComputeFlags(int button) {
  EventFlags = 2;
  // Once shifted out the flag stays 0, so the loop may stop early.
  for (long long i = 1; i < 2LL * button - 1 && EventFlags != 0; ++i) EventFlags <<= 1;
}

void MouseClicker::Press(int button) {
  ComputeFlags(button);
  desktop_.MouseEvent(EventFlags);
}

// The up flag is always the bit above the down flag.
void MouseClicker::Release(int button) {
  ComputeFlags(button);
  desktop_.MouseEvent(EventFlags << 1);
}

// Sleeps in 10 ms slices; a remainder under 10 ms is slept in one last
// shorter slice rather than wrapping the unsigned count around.
void MouseClicker::Wait(unsigned ms) {
  while (ms >= 10) {
    desktop_.Sleep(10);
    ms -= 10;
  }
  if (ms != 0) desktop_.Sleep(ms);
}
