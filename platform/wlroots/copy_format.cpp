#include "platform/wlroots/copy_format.h"

#include <wayland-client-protocol.h>

#include <cstdio>

CopyLayout LayoutOf(std::uint32_t format) {
  switch (format) {
    case WL_SHM_FORMAT_XRGB8888:
    case WL_SHM_FORMAT_ARGB8888: return CopyLayout::Xrgb8888;
    case WL_SHM_FORMAT_XBGR8888:
    case WL_SHM_FORMAT_ABGR8888: return CopyLayout::Xbgr8888;
    case WL_SHM_FORMAT_XRGB2101010:
    case WL_SHM_FORMAT_ARGB2101010: return CopyLayout::Xrgb2101010;
    case WL_SHM_FORMAT_XBGR2101010:
    case WL_SHM_FORMAT_ABGR2101010: return CopyLayout::Xbgr2101010;
    default: return CopyLayout::Unreadable;
  }
}

// wl_shm numbers its two oldest formats 0 and 1; the others are DRM's
// four-character codes.
std::string FormatName(std::uint32_t format) {
  if (format == WL_SHM_FORMAT_ARGB8888) return "ARGB8888 (0)";
  if (format == WL_SHM_FORMAT_XRGB8888) return "XRGB8888 (1)";
  std::string name;
  for (int shift = 0; shift < 32; shift += 8) {
    const char c = char(format >> shift & 0xFF);
    name += c >= 0x20 && c < 0x7F ? c : '?';
  }
  char number[16];
  std::snprintf(number, sizeof number, " (0x%08x)", format);
  return name + number;
}
