#include "platform/wlroots/output_geometry.h"

#include <wayland-client-protocol.h>

#include <algorithm>
#include <cmath>

namespace {
bool Whole(double v) { return std::abs(v - std::round(v)) < 1e-6; }
}  // namespace

AlignedSpan Align(std::int64_t p0, std::int64_t p1, double scale, std::int32_t logicalSize,
                  std::int32_t pixelSize) {
  auto first = static_cast<std::int32_t>(std::floor(p0 / scale + 1e-9));
  auto end = std::min(logicalSize, static_cast<std::int32_t>(std::ceil(p1 / scale - 1e-9)));
  while (first > 0 && !Whole(first * scale)) --first;
  while (end < logicalSize && !Whole(end * scale)) ++end;
  const auto pixel = [&](std::int32_t l) {
    return l >= logicalSize ? std::int64_t{pixelSize} : std::int64_t(std::llround(l * scale));
  };
  return {first, end, pixel(first), pixel(end)};
}

std::optional<std::pair<std::int64_t, std::int64_t>> InBuffer(int transform, std::int64_t x,
                                                              std::int64_t y, std::int64_t w,
                                                              std::int64_t h) {
  switch (transform) {
    case WL_OUTPUT_TRANSFORM_NORMAL: return std::pair{x, y};
    case WL_OUTPUT_TRANSFORM_90: return std::pair{y, w - 1 - x};
    case WL_OUTPUT_TRANSFORM_180: return std::pair{w - 1 - x, h - 1 - y};
    case WL_OUTPUT_TRANSFORM_270: return std::pair{h - 1 - y, x};
    case WL_OUTPUT_TRANSFORM_FLIPPED: return std::pair{w - 1 - x, y};
    case WL_OUTPUT_TRANSFORM_FLIPPED_90: return std::pair{y, x};
    case WL_OUTPUT_TRANSFORM_FLIPPED_180: return std::pair{x, h - 1 - y};
    case WL_OUTPUT_TRANSFORM_FLIPPED_270: return std::pair{h - 1 - y, w - 1 - x};
    default: return std::nullopt;
  }
}
