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

// Calls visit(x, y) for every grid point of the area, rows top to bottom
// and each row left to right. The bounds are compared in 64 bits, so
// corners near the ends of the 32-bit range cannot overflow; every point
// that passes them fits in 32 bits.
template <typename Visit>
void ForEachPoint(const TRect& area, Visit visit) {
  for (std::int64_t y = std::int64_t{area.Top} + kTopMargin;
       y < std::int64_t{area.Bottom} - kBottomMargin; y += kRowStep)
    for (std::int64_t x = std::int64_t{area.Left} + kLeftMargin;
         x < std::int64_t{area.Right} - kRightMargin; x += kColumnStep)
      visit(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
}
}  // namespace scan_grid
