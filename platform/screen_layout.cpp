#include "platform/screen_layout.h"

#include <algorithm>
#include <cmath>

ScreenLayout::ScreenLayout(const std::vector<OutputGeometry>& outputs) {
  double largest = 1;
  bool first = true;
  for (const OutputGeometry& g : outputs) {
    if (!HasSize(g)) continue;
    PlacedOutput placed;
    placed.geometry = g;
    // From the sizes rather than the integer wl_output scale, which cannot
    // say 1.5.
    placed.scale = ScaleOf(g);
    largest = first ? placed.scale : std::max(largest, placed.scale);
    first = false;
    outputs_.push_back(placed);
  }
  // Rounding up keeps outputs apart: an output that ends at logical x = e
  // ends at or before ceil(e * largest), where its right neighbour starts.
  for (PlacedOutput& o : outputs_) {
    o.left = static_cast<std::int64_t>(std::ceil(o.geometry.logicalX * largest - 1e-9));
    o.top = static_cast<std::int64_t>(std::ceil(o.geometry.logicalY * largest - 1e-9));
  }
}

double ScreenLayout::ScaleOf(const OutputGeometry& g) {
  const double across = double(g.pixelWidth) / g.logicalWidth;
  const double down = double(g.pixelHeight) / g.logicalHeight;
  if (std::abs(across - down) < 1e-9) return across;
  // A logical size l, cut or rounded from pixels / scale, puts the scale
  // in (pixels / (l + 1), pixels / (l - 0.5)].
  const auto lowest = [](std::int32_t pixels, std::int32_t logical) {
    return double(pixels) / (logical + 1);
  };
  const auto highest = [](std::int32_t pixels, std::int32_t logical) {
    return double(pixels) / (logical - 0.5);
  };
  const double low =
      std::max(lowest(g.pixelWidth, g.logicalWidth), lowest(g.pixelHeight, g.logicalHeight));
  const double high =
      std::min(highest(g.pixelWidth, g.logicalWidth), highest(g.pixelHeight, g.logicalHeight));
  for (int denominator = 1; low < high && denominator <= 1000; ++denominator) {
    const double numerator = std::floor(high * denominator + 1e-9);
    if (numerator / denominator > low) return numerator / denominator;
  }
  // Sizes no one scale gives: the longer side's ratio errs least.
  return g.logicalWidth >= g.logicalHeight ? across : down;
}

int ScreenLayout::OutputAt(std::int64_t x, std::int64_t y) const {
  for (std::size_t i = 0; i < outputs_.size(); ++i)
    if (outputs_[i].Holds(x, y)) return static_cast<int>(i);
  return -1;
}

// The last pixel of an output whose logical size was cut reaches past it,
// or lies wholly past it (2560 pixels at 1.5 in 1706 units), where no
// pointer goes: then just inside the edge.
LogicalPoint ScreenLayout::ToLogical(int output, std::int64_t x, std::int64_t y) const {
  const PlacedOutput& o = outputs_[static_cast<std::size_t>(output)];
  const auto within = [&](std::int64_t pixel, std::int32_t size) {
    return std::min((double(pixel) + 0.5) / o.scale, size - 1.0 / 16);
  };
  return {o.geometry.logicalX + within(x - o.left, o.geometry.logicalWidth),
          o.geometry.logicalY + within(y - o.top, o.geometry.logicalHeight)};
}

std::optional<ScreenPoint> ScreenLayout::FromLogical(double x, double y) const {
  for (const PlacedOutput& o : outputs_) {
    const OutputGeometry& g = o.geometry;
    if (x < g.logicalX || y < g.logicalY || x >= double(g.logicalX) + g.logicalWidth ||
        y >= double(g.logicalY) + g.logicalHeight)
      continue;
    // The small allowance keeps a point exactly on a pixel's edge (logical
    // 300 at scale 1.5 is pixel 450) from falling into the one before.
    const auto px = std::min<std::int64_t>(
        g.pixelWidth - 1, static_cast<std::int64_t>(std::floor((x - g.logicalX) * o.scale + 1e-6)));
    const auto py = std::min<std::int64_t>(
        g.pixelHeight - 1,
        static_cast<std::int64_t>(std::floor((y - g.logicalY) * o.scale + 1e-6)));
    return ScreenPoint{static_cast<std::int32_t>(o.left + px),
                       static_cast<std::int32_t>(o.top + py)};
  }
  return std::nullopt;
}

ScreenLayout::Nearest ScreenLayout::NearestPixel(std::int64_t x, std::int64_t y) const {
  Nearest best;
  std::int64_t bestDistance = -1;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    const PlacedOutput& o = outputs_[i];
    const std::int64_t cx = std::clamp<std::int64_t>(x, o.left, o.left + o.geometry.pixelWidth - 1);
    const std::int64_t cy = std::clamp<std::int64_t>(y, o.top, o.top + o.geometry.pixelHeight - 1);
    const std::int64_t d = std::abs(cx - x) + std::abs(cy - y);
    if (bestDistance < 0 || d < bestDistance) best = {int(i), cx, cy}, bestDistance = d;
  }
  return best;
}

LogicalBox ScreenLayout::Extent() const {
  if (outputs_.empty()) return {};
  std::int64_t x0 = outputs_[0].geometry.logicalX, y0 = outputs_[0].geometry.logicalY;
  std::int64_t x1 = x0, y1 = y0;
  for (const PlacedOutput& o : outputs_) {
    const OutputGeometry& g = o.geometry;
    x0 = std::min<std::int64_t>(x0, g.logicalX);
    y0 = std::min<std::int64_t>(y0, g.logicalY);
    x1 = std::max<std::int64_t>(x1, std::int64_t{g.logicalX} + g.logicalWidth);
    y1 = std::max<std::int64_t>(y1, std::int64_t{g.logicalY} + g.logicalHeight);
  }
  return {static_cast<std::int32_t>(x0), static_cast<std::int32_t>(y0),
          static_cast<std::int32_t>(x1 - x0), static_cast<std::int32_t>(y1 - y0)};
}
