#include "platform/screen_layout.h"

#include <algorithm>
#include <cmath>

#include "platform/output_scale.h"

namespace {

// The layout point at the centre of pixel (x, y) of output o, held just
// inside its edge.
LogicalPoint CentreOf(const PlacedOutput& o, std::int64_t x, std::int64_t y) {
  const auto within = [&](std::int64_t pixel, std::int32_t size) {
    return std::min((double(pixel) + 0.5) / o.scale, size - 1.0 / 16);
  };
  return {o.geometry.logicalX + within(x - o.left, o.geometry.logicalWidth),
          o.geometry.logicalY + within(y - o.top, o.geometry.logicalHeight)};
}

// The compositor hands the pointer to the first output of its list that
// has the point, and puts an output added later first (wlroots).
int Under(const std::vector<PlacedOutput>& outputs, double x, double y) {
  for (std::size_t i = outputs.size(); i-- > 0;)
    if (outputs[i].Covers(x, y)) return int(i);
  return -1;
}

}  // namespace

int OutputShowing(const std::vector<PlacedOutput>& outputs, std::int64_t x, std::int64_t y) {
  int last = -1;
  for (std::size_t i = outputs.size(); i-- > 0;) {
    const PlacedOutput& o = outputs[i];
    if (!o.Holds(x, y)) continue;
    if (!o.shared) return int(i);
    const LogicalPoint centre = CentreOf(o, x, y);
    if (Under(outputs, centre.x, centre.y) == int(i)) return int(i);
    if (last < 0) last = int(i);
  }
  return last;
}

ScreenLayout::ScreenLayout(const std::vector<OutputGeometry>& outputs) {
  double largest = 1;
  bool first = true;
  for (const OutputGeometry& g : outputs) {
    if (!HasSize(g)) continue;
    PlacedOutput placed;
    placed.geometry = g;
    // Not the integer wl_output scale, which cannot say 1.5.
    const ScaleRange scales = ScaleRangeOf(g);
    placed.scale = scales.chosen;
    placed.scaleLow = scales.low;
    placed.scaleHigh = scales.high;
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
  for (std::size_t i = 0; i < outputs_.size(); ++i)
    for (std::size_t j = i + 1; j < outputs_.size(); ++j) {
      PlacedOutput &a = outputs_[i], &b = outputs_[j];
      if (a.left < b.left + b.geometry.pixelWidth && b.left < a.left + a.geometry.pixelWidth &&
          a.top < b.top + b.geometry.pixelHeight && b.top < a.top + a.geometry.pixelHeight)
        a.shared = b.shared = true;
    }
}

int ScreenLayout::OutputAt(std::int64_t x, std::int64_t y) const {
  return OutputShowing(outputs_, x, y);
}

// The last pixel of an output whose logical size was cut reaches past it,
// or lies wholly past it (2560 pixels at 1.5 in 1706 units), where no
// pointer goes: then just inside the edge.
LogicalPoint ScreenLayout::ToLogical(int output, std::int64_t x, std::int64_t y) const {
  return CentreOf(outputs_[static_cast<std::size_t>(output)], x, y);
}

// Pixel p spans [p / s, (p + 1) / s) at scale s: at every scale of the
// range, [p / low, (p + 1) / high). The middle of that, a pointer's step
// away from its ends.
std::optional<LogicalPoint> ScreenLayout::PointerPoint(int output, std::int64_t x,
                                                       std::int64_t y) const {
  const PlacedOutput& o = outputs_[static_cast<std::size_t>(output)];
  const auto along = [&](std::int64_t pixel, std::int32_t size) -> std::optional<double> {
    const double first = double(pixel) / o.scaleLow + kPointerStep;
    const double end = std::min((double(pixel) + 1) / o.scaleHigh, double(size)) - kPointerStep;
    if (first >= end) return std::nullopt;
    return (first + end) / 2;
  };
  const std::optional<double> px = along(x - o.left, o.geometry.logicalWidth);
  const std::optional<double> py = along(y - o.top, o.geometry.logicalHeight);
  if (!px || !py) return std::nullopt;
  const LogicalPoint p{o.geometry.logicalX + *px, o.geometry.logicalY + *py};
  if (OutputUnder(p.x, p.y) != output) return std::nullopt;
  return p;
}

int ScreenLayout::OutputUnder(double x, double y) const { return Under(outputs_, x, y); }

std::optional<ScreenPoint> ScreenLayout::FromLogical(double x, double y) const {
  const int index = OutputUnder(x, y);
  if (index < 0) return std::nullopt;
  const PlacedOutput& o = outputs_[std::size_t(index)];
  const OutputGeometry& g = o.geometry;
  // The small allowance keeps a point exactly on a pixel's edge (logical
  // 300 at scale 1.5 is pixel 450) from falling into the one before.
  const auto px = std::min<std::int64_t>(
      g.pixelWidth - 1, static_cast<std::int64_t>(std::floor((x - g.logicalX) * o.scale + 1e-6)));
  const auto py = std::min<std::int64_t>(
      g.pixelHeight - 1, static_cast<std::int64_t>(std::floor((y - g.logicalY) * o.scale + 1e-6)));
  return ScreenPoint{static_cast<std::int32_t>(o.left + px), static_cast<std::int32_t>(o.top + py)};
}

ScreenLayout::Nearest ScreenLayout::NearestPixel(std::int64_t x, std::int64_t y) const {
  if (const int on = OutputAt(x, y); on >= 0) return {on, x, y};
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
