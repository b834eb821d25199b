#include "platform/output_scale.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// The fraction of smallest denominator in (low, high], if a small one is.
std::optional<double> SimplestIn(double low, double high) {
  for (int denominator = 1; low < high && denominator <= 1000; ++denominator) {
    const double numerator = std::floor(high * denominator + 1e-9);
    if (numerator / denominator > low) return numerator / denominator;
  }
  return std::nullopt;
}

// A logical size l, cut from pixels / scale, puts the scale in
// (pixels / (l + 1), pixels / l]; rounded, in (pixels / (l + 0.5),
// pixels / (l - 0.5)]. Both sides at once: the intersection.
struct Bounds {
  double low, high;
};
Bounds SizesAllow(const OutputGeometry& g, double above, double below) {
  const auto ratio = [](std::int32_t pixels, double logical) { return pixels / logical; };
  return {std::max(ratio(g.pixelWidth, g.logicalWidth + above),
                   ratio(g.pixelHeight, g.logicalHeight + above)),
          std::min(ratio(g.pixelWidth, g.logicalWidth - below),
                   ratio(g.pixelHeight, g.logicalHeight - below))};
}

// The protocol's 24.8 fixed point, rounded (libwayland) or cut.
constexpr double kNamedBelow = 1.0 / 512, kNamedAbove = 1.0 / 256;
// Room for the compositor's single-precision arithmetic.
constexpr double kFloatSlack = 1e-6;

}  // namespace

double GuessedScale(const OutputGeometry& g) {
  const double across = double(g.pixelWidth) / g.logicalWidth;
  const double down = double(g.pixelHeight) / g.logicalHeight;
  if (std::abs(across - down) < 1e-9) return across;
  const Bounds b = SizesAllow(g, 1, 0.5);
  // Else sizes no one scale gives: the longer side's ratio errs least.
  return SimplestIn(b.low, b.high).value_or(g.logicalWidth >= g.logicalHeight ? across : down);
}

ScaleRange ScaleRangeOf(const OutputGeometry& g) {
  if (!g.cutSizes) {
    const double s = GuessedScale(g);
    return {s, s, s};
  }
  Bounds b = SizesAllow(g, 1, 0);
  b.low *= 1 - kFloatSlack;
  b.high *= 1 + kFloatSlack;
  if (!(b.low < b.high)) {
    // Not cut after all: what any of the sizes' scales allows.
    const double across = double(g.pixelWidth) / g.logicalWidth;
    const double down = double(g.pixelHeight) / g.logicalHeight;
    return {std::min(across, down), std::max(across, down), GuessedScale(g)};
  }
  if (g.toldScale > 0) {
    const double low = std::max(b.low, g.toldScale - kNamedBelow);
    const double high = std::min(b.high, g.toldScale + kNamedAbove);
    // A name that the sizes do not bear out (a change half told) counts
    // for nothing.
    if (low <= high) {
      const double k = std::floor(high * 120 + 1e-9);
      if (k / 120 >= low) return {k / 120, k / 120, k / 120};
      b = {low, high};
    }
  }
  // A whole scale the sizes allow, and wl_output names it as the scale
  // rounded up: nobody picks a scale a pixel's worth below a whole one.
  const double whole = g.scaleCeiling;
  if (whole > 0 && b.low <= whole && whole <= b.high) return {whole, whole, whole};
  return {b.low, b.high, SimplestIn(b.low, b.high).value_or((b.low + b.high) / 2)};
}
