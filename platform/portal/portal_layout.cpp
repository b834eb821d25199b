#include "platform/portal/portal_layout.h"

ScreenLayout PortalLayout(const std::vector<PortalStream>& streams,
                          const std::vector<std::pair<std::int32_t, std::int32_t>>& sizes,
                          std::vector<std::size_t>* streamOf) {
  std::vector<OutputGeometry> geometries;
  std::int32_t nextX = 0;
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const PortalStream& s = streams[i];
    const bool agreed = i < sizes.size() && sizes[i].first > 0 && sizes[i].second > 0;
    OutputGeometry g;
    g.pixelWidth = agreed ? sizes[i].first : s.width;
    g.pixelHeight = agreed ? sizes[i].second : s.height;
    g.logicalWidth = s.width > 0 ? s.width : g.pixelWidth;
    g.logicalHeight = s.height > 0 ? s.height : g.pixelHeight;
    g.logicalX = s.placed ? s.x : nextX;
    g.logicalY = s.placed ? s.y : 0;
    nextX = g.logicalX + g.logicalWidth;
    if (streamOf && ScreenLayout::HasSize(g)) streamOf->push_back(i);
    geometries.push_back(g);
  }
  return ScreenLayout(geometries);
}
