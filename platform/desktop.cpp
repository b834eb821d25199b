#include "platform/desktop.h"

#include <cstdint>
#include <limits>

void ScreenContext::ReadRegion(std::int32_t left, std::int32_t top, std::int32_t width,
                               std::int32_t height, Colorref* out) {
  for (std::int64_t row = 0; row < height; ++row)
    for (std::int64_t col = 0; col < width; ++col)
      *out++ =
          GetPixel(static_cast<std::int32_t>(left + col), static_cast<std::int32_t>(top + row));
}

// One GetPixel per sample on a monitor: the reference every bulk read must
// agree with.
void ScreenContext::ReadGrid(const SampleGrid& grid, Colorref* out) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  for (std::int64_t row = 0; row < grid.rows; ++row) {
    const std::int64_t y = grid.Y(row);
    for (std::int64_t sample = 0; sample < grid.samples; ++sample)
      for (std::int64_t run = 0; run < grid.runs; ++run) {
        const std::int64_t x = grid.X(run, sample);
        const bool read = x >= kMin && x <= kMax && y >= kMin && y <= kMax &&
                          OnMonitor(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
        *out++ = read ? GetPixel(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y))
                      : CLR_INVALID;
      }
  }
}

void BulkScreenContext::ReadRegion(std::int32_t left, std::int32_t top, std::int32_t width,
                                   std::int32_t height, Colorref* out) {
  if (width > 0 && height > 0) ReadGrid({left, top, height, 1, width, 1, 1, 1}, out);
}

void BulkScreenContext::ReadGrid(const SampleGrid& grid, Colorref* out) {
  if (grid.rows <= 0 || grid.runs <= 0 || grid.samples <= 0) return;
  if (grid.rowStep <= 0 || grid.runStep <= 0 || grid.sampleStep <= 0)
    ScreenContext::ReadGrid(grid, out);
  else
    ReadBulk(grid, out);
}
