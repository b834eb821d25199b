#pragma once
// What the words of a wlr-screencopy copy mean: the wl_shm formats this
// reads, each pixel one little-endian 32-bit word.
#include <cstdint>
#include <string>

#include "platform/desktop.h"

enum class CopyLayout { Unreadable, Xrgb8888, Xbgr8888, Xrgb2101010, Xbgr2101010 };

// How to read a copy in `format` (enum wl_shm_format); alpha or padding
// bits are left aside, as the screen shows no transparency.
CopyLayout LayoutOf(std::uint32_t format);

// A pixel word as COLORREF. A 10-bit channel keeps its 8 high bits: a
// compositor stores an 8-bit colour v as 4v + v/64 or round(v * 1023 /
// 255), and both give v back.
inline Colorref ToColorref(CopyLayout layout, std::uint32_t p) {
  switch (layout) {
    case CopyLayout::Xrgb8888:  // 0xXXRRGGBB
      return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
    case CopyLayout::Xbgr8888:  // 0xXXBBGGRR, as COLORREF
      return p & 0xFFFFFF;
    case CopyLayout::Xrgb2101010:  // 2 bits X, then 10 each of R, G, B
      return (p >> 22 & 0xFF) | (p >> 4 & 0xFF00) | (p << 14 & 0xFF0000);
    case CopyLayout::Xbgr2101010:  // 2 bits X, then 10 each of B, G, R
      return (p >> 2 & 0xFF) | (p >> 4 & 0xFF00) | (p >> 6 & 0xFF0000);
    case CopyLayout::Unreadable: break;
  }
  return CLR_INVALID;
}

// A format as the user can look it up: its four characters and number.
std::string FormatName(std::uint32_t format);
