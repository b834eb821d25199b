#include "tracking/tracker.h"

namespace {
constexpr int kRowStep = 3;
constexpr int kColumnStep = 100;
constexpr int kRightMargin = 90;
constexpr int kBottomMargin = 3;
constexpr int kSamples = 5;
constexpr int kSampleStep = 5;
}  // namespace

// Grid: rows Top+3, Top+6, ... while y < Bottom-3; columns Left+100,
// Left+200, ... while x < Right-90. The bounds are compared in 64 bits, so
// corners near the ends of the 32-bit range cannot overflow; every point
// and sample that passes them fits in 32 bits.
void Tracker::ScanPass() {
  const std::int64_t top = TrackingArea.Top;
  for (std::int64_t y = top + kRowStep; y < std::int64_t{TrackingArea.Bottom} - kBottomMargin;
       y += kRowStep) {
    const std::int64_t left = TrackingArea.Left;
    for (std::int64_t x = left + kColumnStep;
         x < std::int64_t{TrackingArea.Right} - kRightMargin; x += kColumnStep) {
      if (RunMatches(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)))
        ClickAt(static_cast<std::int32_t>(x), static_cast<std::int32_t>(y));
    }
  }
}

// Five samples 5 px apart, read one at a time and only until one differs.
// A failed read never matches, even when the target itself is CLR_INVALID.
bool Tracker::RunMatches(std::int32_t x, std::int32_t y) {
  for (int k = 0; k < kSamples; ++k) {
    const Colorref pixel = ScreenDC ? ScreenDC->GetPixel(x + k * kSampleStep, y) : CLR_INVALID;
    if (pixel == CLR_INVALID || pixel != controls_.Edit5.GetColor()) return false;
  }
  return true;
}

void Tracker::ClickAt(std::int32_t x, std::int32_t y) {
  desktop_.SetCursorPos(x, y);
  Clicker.Press(1);
  Clicker.Wait(0);
  Clicker.Release(1);
}
