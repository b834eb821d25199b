#pragma once
#include <cstdint>

class Desktop;

// Sends button-down and button-up events at the cursor for buttons
// 1 (left), 2 (right) and 3 (middle).
class MouseClicker {
 public:
  explicit MouseClicker(Desktop& desktop) : desktop_(desktop) {}

  void Press(int button);
  void Wait(unsigned ms);
  void Release(int button);

  // The button-down flag of the latest Press or Release.
  std::uint32_t EventFlags = 0;

 private:
  void ComputeFlags(int button);
  Desktop& desktop_;
};
