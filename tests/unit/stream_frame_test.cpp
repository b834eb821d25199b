// Pictures from the desktop portal come in either byte order; a pixel must
// read as the same colour from both.
#include <gtest/gtest.h>

#include "platform/portal/pipewire_streams.h"

namespace {

StreamFrame OnePixel(bool redFirst, std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  StreamFrame frame;
  frame.width = 2;
  frame.height = 1;
  frame.stride = 8;
  frame.redFirst = redFirst;
  frame.pixels = {0, 0, 0, 0, b0, b1, b2, 0xFF};
  return frame;
}

TEST(StreamFrame, BothByteOrdersGiveTheSameColour) {
  const Colorref blue = 0x00CC6633;                                // RGB 33 66 CC
  EXPECT_EQ(OnePixel(false, 0xCC, 0x66, 0x33).Shown(1, 0), blue);  // BGRx
  EXPECT_EQ(OnePixel(true, 0x33, 0x66, 0xCC).Shown(1, 0), blue);   // RGBx
  EXPECT_EQ(OnePixel(false, 0, 0, 0).Shown(2, 0), CLR_INVALID);
  EXPECT_EQ(OnePixel(false, 0, 0, 0).Shown(0, -1), CLR_INVALID);
}

}  // namespace
