#pragma once
// One wlr virtual pointer, kept for the program's life: a pointer made
// for each click can lose that click while the seat takes it in.
#include <cstdint>

#include "platform/screen_layout.h"

class WaylandClient;
struct zwlr_virtual_pointer_v1;

class VirtualPointer {
 public:
  explicit VirtualPointer(WaylandClient& client);
  ~VirtualPointer();
  VirtualPointer(const VirtualPointer&) = delete;
  VirtualPointer& operator=(const VirtualPointer&) = delete;

  // Both are queued until the client flushes, so that a move and the press
  // that follows reach the compositor in one piece, which it handles with
  // nothing in between.
  // To a point of the layout, given the box all outputs span.
  void MoveTo(LogicalPoint point, LogicalBox extent);
  // A Linux button code (BTN_LEFT...), pressed or released.
  void Button(std::uint32_t code, bool pressed);

 private:
  WaylandClient& client_;
  zwlr_virtual_pointer_v1* pointer_ = nullptr;
};
