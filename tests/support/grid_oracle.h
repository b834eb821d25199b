#pragma once
// Where a scan pass must click: for tests and benchmarks that know what
// the screen shows.
#include <cstdint>
#include <vector>

#include "platform/desktop.h"
#include "tracking/scan_grid.h"

struct Rect {
  int x, y, w, h;
};

// The grid points of the area whose whole run (x to x+20) lies on one of
// the targets, in the order a pass visits them: rows Top+3, Top+6, ...
// while y < Bottom-3, columns Left+100, Left+200, ... while x < Right-90.
// Written out apart from the scan's own grid code, so that a wrong margin
// or step there shows.
inline std::vector<ScreenPoint> GridPointsOn(const TRect& area, const std::vector<Rect>& targets) {
  std::vector<ScreenPoint> points;
  for (std::int64_t y = std::int64_t{area.Top} + 3; y < std::int64_t{area.Bottom} - 3; y += 3)
    for (std::int64_t x = std::int64_t{area.Left} + 100; x < std::int64_t{area.Right} - 90;
         x += 100)
      for (const Rect& t : targets)
        if (x >= t.x && x + 20 < t.x + t.w && y >= t.y && y < t.y + t.h) {
          points.push_back({std::int32_t(x), std::int32_t(y)});
          break;
        }
  return points;
}
