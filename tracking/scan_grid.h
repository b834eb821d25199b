#pragma once
// Where a scan pass looks: rows Top+3, Top+6, ... while y < Bottom-3;
// columns Left+100, Left+200, ... while x < Right-90; at each point a run
// of five samples 5 px apart, x to x+20.
#include <cstdint>

struct TRect {
  std::int32_t Left = 0;
  std::int32_t Top = 0;
  std::int32_t Right = 0;
  std::int32_t Bottom = 0;
};

namespace scan_grid {
constexpr int kRowStep = 3;
constexpr int kColumnStep = 100;
constexpr int kTopMargin = 3;
constexpr int kLeftMargin = 100;
constexpr int kRightMargin = 90;
constexpr int kBottomMargin = 3;
constexpr int kSamples = 5;
constexpr int kSampleStep = 5;
// How far right of its point a run reaches.
constexpr int kRunReach = (kSamples - 1) * kSampleStep;

// The grid's first point and how many rows and points a row it has (none
// for an area too small). The bounds are computed in 64 bits, so corners
// near the ends of the 32-bit range cannot overflow; every point inside
// them fits in 32 bits.
struct Extent {
  std::int64_t firstX = 0, firstY = 0, rows = 0, runs = 0;
};
inline Extent ExtentOf(const TRect& area) {
  Extent e;
  e.firstX = std::int64_t{area.Left} + kLeftMargin;
  e.firstY = std::int64_t{area.Top} + kTopMargin;
  const std::int64_t endX = std::int64_t{area.Right} - kRightMargin;
  const std::int64_t endY = std::int64_t{area.Bottom} - kBottomMargin;
  if (e.firstY >= endY || e.firstX >= endX) return e;
  e.rows = (endY - e.firstY + kRowStep - 1) / kRowStep;
  e.runs = (endX - e.firstX + kColumnStep - 1) / kColumnStep;
  return e;
}

// Calls visit(x, y) for every grid point of the area, rows top to bottom
// and each row left to right.
template <typename Visit>
void ForEachPoint(const TRect& area, Visit visit) {
  const Extent e = ExtentOf(area);
  for (std::int64_t row = 0; row < e.rows; ++row)
    for (std::int64_t run = 0; run < e.runs; ++run)
      visit(static_cast<std::int32_t>(e.firstX + run * kColumnStep),
            static_cast<std::int32_t>(e.firstY + row * kRowStep));
}
}  // namespace scan_grid
