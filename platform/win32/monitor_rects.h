#pragma once
// Where the monitors are, taken once a pass. The virtual screen's bounding
// box also holds the gaps between monitors of different sizes, which
// Windows copies as black and the cursor cannot reach: a point there is on
// no monitor, and reads as no colour, so that a dark target is not found
// there at every grid point. Plain C++: the monitors come from a source
// (EnumDisplayMonitors in the program).
#include <cstdint>
#include <vector>

struct MonitorRect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;  // right and bottom outside
};

class MonitorRects {
 public:
  // Fills `out`, which comes empty, with the monitors as they are now.
  using Source = void (*)(std::vector<MonitorRect>& out);

  // Into the list kept from the last time: a pass allocates nothing.
  void Take(Source source) {
    rects_.clear();
    source(rects_);
  }
  // With no monitor known (none was found) every point counts, as the
  // virtual screen alone decides then.
  bool Contains(std::int64_t x, std::int64_t y) const {
    if (rects_.empty()) return true;
    for (const MonitorRect& r : rects_)
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
  }

 private:
  std::vector<MonitorRect> rects_;
};
