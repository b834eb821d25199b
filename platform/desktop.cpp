#include "platform/desktop.h"

void ScreenContext::ReadRegion(std::int32_t left, std::int32_t top, std::int32_t width,
                               std::int32_t height, Colorref* out) {
  for (std::int64_t row = 0; row < height; ++row)
    for (std::int64_t col = 0; col < width; ++col)
      *out++ = GetPixel(static_cast<std::int32_t>(left + col), static_cast<std::int32_t>(top + row));
}
