#pragma once
// Pixels as an X visual stores them, turned into COLORREF: each channel
// cut out with the visual's mask and scaled to 8 bits. Plain code, no X
// server needed.
#include <cstdint>

#include "platform/desktop.h"

// One channel, its shift and range found once so that the conversion
// loops do no bit searching.
class ChannelMask {
 public:
  explicit ChannelMask(unsigned long mask = 0) : mask_(mask) {
    if (!mask_) return;
    while (!((mask_ >> shift_) & 1)) ++shift_;
    max_ = mask_ >> shift_;
  }
  // The channel of `pixel`, scaled to 0..255.
  std::uint32_t operator()(unsigned long pixel) const {
    if (!mask_) return 0;
    return static_cast<std::uint32_t>(((pixel & mask_) >> shift_) * 255 / max_);
  }

 private:
  unsigned long mask_ = 0;
  int shift_ = 0;
  unsigned long max_ = 0;
};

class PixelFormat {
 public:
  PixelFormat() = default;
  PixelFormat(unsigned long redMask, unsigned long greenMask, unsigned long blueMask)
      : red_(redMask),
        green_(greenMask),
        blue_(blueMask),
        rgb888_(redMask == 0xFF0000 && greenMask == 0xFF00 && blueMask == 0xFF) {}

  Colorref FromPixel(unsigned long pixel) const {
    return red_(pixel) | green_(pixel) << 8 | blue_(pixel) << 16;
  }
  // 32-bit pixels `step` apart, as a row of an image in the host's byte
  // order holds them.
  void FromPixels32(const std::uint32_t* pixels, std::int64_t count, std::int64_t step,
                    Colorref* out) const;

 private:
  ChannelMask red_, green_, blue_;
  // 0x00RRGGBB, what nearly every 24- and 32-bit display uses.
  bool rgb888_ = false;
};

// 0x00RRGGBB pixels side by side to COLORREF, red and blue swapped: four
// at a time with SSE2 (most of a scan pass's own time goes here), the rest
// one by one.
void Rgb888ToColorref(const std::uint32_t* pixels, std::int64_t count, Colorref* out);
// The same one by one: the reference the fast loop is held to.
void Rgb888ToColorrefScalar(const std::uint32_t* pixels, std::int64_t count, Colorref* out);
