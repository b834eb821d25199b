#pragma once
// Whether the compositor paints the pointer into the copies of an output:
// outputs without a cursor plane (virtual machines, headless outputs,
// WLR_NO_HARDWARE_CURSORS) do, and there the pointer could hide a target
// or be taken for one. Found out once per output.
#include <cstdint>
#include <map>

#include "platform/screen_layout.h"

class WaylandClient;
class VirtualPointer;

class PointerPainting {
 public:
  // Whether copies of output `index` may show the pointer: yes until found
  // otherwise.
  bool MayShow(const WaylandClient& client, int index) const;
  // With the pointer just put at `at` (layout units) on output `index`:
  // whether copies show it there, found out now if not known yet by
  // copying the pixels around it with it there, moved to `aside` and back.
  // Yes where it cannot be told. Leaves the pointer at `at`; queued moves
  // are sent.
  bool Shows(WaylandClient& client, VirtualPointer& pointer, int index, LogicalPoint at,
             LogicalPoint aside);
  // Before the client goes away.
  void Clear() { known_.clear(); }

 private:
  // Per output, by its global's name: whether it shows the pointer, or
  // (negative) how many tries could not tell.
  std::map<std::uint32_t, int> known_;
};
