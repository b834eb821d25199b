#pragma once
// One screen space in physical pixels over the compositor's outputs.
//
// The compositor places outputs in a layout of logical units; an output at
// scale s shows s physical pixels per logical unit. With one scale for all
// outputs (the usual case) an output's screen-space origin is its logical
// position times that scale, so the space is simply the desktop in pixels.
// With mixed scales every origin is the logical position times the largest
// scale, rounded up: an output never grows past the logical room it has at
// that scale, so no two overlap, and every one of its pixels has a place
// of its own; what lies between outputs reads as nothing. (Only an output
// whose logical size was cut to whole units reaches up to a pixel past its
// room; where a neighbour starts there, that column is the first one's,
// which shows the same, and is never pressed.)
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/desktop.h"

// One output as the compositor describes it: its rectangle in the layout
// in logical units, and its size in physical pixels as shown (after any
// rotation).
struct OutputGeometry {
  std::int32_t logicalX = 0, logicalY = 0;
  std::int32_t logicalWidth = 0, logicalHeight = 0;
  std::int32_t pixelWidth = 0, pixelHeight = 0;
};

struct PlacedOutput {
  OutputGeometry geometry;
  // Where its pixel (0, 0) lies in the screen space.
  std::int64_t left = 0, top = 0;
  // Physical pixels per logical unit, the same across and down: the
  // compositor scales an output evenly.
  double scale = 1;

  bool Holds(std::int64_t x, std::int64_t y) const {
    return x >= left && y >= top && x < left + geometry.pixelWidth &&
           y < top + geometry.pixelHeight;
  }
};

struct LogicalPoint {
  double x = 0, y = 0;
};

struct LogicalBox {
  std::int32_t x = 0, y = 0, width = 0, height = 0;
};

class ScreenLayout {
 public:
  ScreenLayout() = default;
  // Outputs without a size yet are left out.
  explicit ScreenLayout(const std::vector<OutputGeometry>& outputs);
  // The scale an output is shown at, from its sizes: the compositor tells
  // the logical size in whole units, cut or rounded (1280 pixels at 1.5
  // make 853 units), so one side's ratio may be off by up to a unit. Of the
  // scales that give both sizes, the simplest fraction, as people choose
  // 1.5 or 1.25.
  static double ScaleOf(const OutputGeometry& g);
  static bool HasSize(const OutputGeometry& g) {
    return g.logicalWidth > 0 && g.logicalHeight > 0 && g.pixelWidth > 0 && g.pixelHeight > 0;
  }

  const std::vector<PlacedOutput>& Outputs() const { return outputs_; }
  // Index into Outputs() of the output that shows screen pixel (x, y), or -1.
  int OutputAt(std::int64_t x, std::int64_t y) const;
  // The layout point at the centre of screen pixel (x, y) of that output:
  // where a pointer must go to be over that pixel and no other (just inside
  // the output's edge for a last pixel that reaches past it).
  LogicalPoint ToLogical(int output, std::int64_t x, std::int64_t y) const;
  // The screen pixel under a layout point; nothing when no output has it.
  std::optional<ScreenPoint> FromLogical(double x, double y) const;
  // The pixel nearest to (x, y) and its output: (x, y) itself when it is
  // on one, else the nearest edge pixel of the nearest output, as a cursor
  // stops at the screen's edge. Output -1 when there are none.
  struct Nearest {
    int output = -1;
    std::int64_t x = 0, y = 0;
  };
  Nearest NearestPixel(std::int64_t x, std::int64_t y) const;
  // The logical box around all outputs: what an absolute pointer motion spans.
  LogicalBox Extent() const;

 private:
  std::vector<PlacedOutput> outputs_;
};
