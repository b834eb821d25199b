#pragma once
// Where a scan pass must click: for tests and benchmarks that know what
// the screen shows.
#include <vector>

#include "platform/desktop.h"
#include "tracking/scan_grid.h"

struct Rect {
  int x, y, w, h;
};

// The grid points of the area whose whole run lies on one of the targets,
// in the order a pass visits them.
inline std::vector<ScreenPoint> GridPointsOn(const TRect& area, const std::vector<Rect>& targets) {
  std::vector<ScreenPoint> points;
  scan_grid::ForEachPoint(area, [&](std::int32_t x, std::int32_t y) {
    for (const Rect& t : targets)
      if (x >= t.x && x + scan_grid::kRunReach < t.x + t.w && y >= t.y && y < t.y + t.h) {
        points.push_back({x, y});
        return;
      }
  });
  return points;
}
