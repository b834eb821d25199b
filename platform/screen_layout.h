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
// room; where a neighbour starts there, that column is the neighbour's,
// where a pointer sent to it goes.)
//
// Outputs whose layout rectangles overlap (mirrored on the same place)
// share pixels of the space: such a pixel is the output's that the
// pointer goes to there, the later one in the list, and is read and
// pressed through that output only.
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
  // What more a compositor tells of its scale (wlroots): the scale its
  // output manager names for it, to 1/256 (0: none), and whether the
  // logical size is the pixel size over the scale cut to whole units, as
  // wlroots' xdg-output tells it (elsewhere it may be rounded).
  double toldScale = 0;
  bool cutSizes = false;
  // wl_output's whole-number scale, which wlroots sends as the scale
  // rounded up (0: none).
  std::int32_t scaleCeiling = 0;
};

struct PlacedOutput {
  OutputGeometry geometry;
  // Where its pixel (0, 0) lies in the screen space.
  std::int64_t left = 0, top = 0;
  // Physical pixels per logical unit, the same across and down: the
  // compositor scales an output evenly. It may really be any scale in
  // [scaleLow, scaleHigh]; the same when the compositor's own is known.
  double scale = 1, scaleLow = 1, scaleHigh = 1;
  // Whether pixels of another output lie on some of its own.
  bool shared = false;

  bool Holds(std::int64_t x, std::int64_t y) const {
    return x >= left && y >= top && x < left + geometry.pixelWidth &&
           y < top + geometry.pixelHeight;
  }
  bool Covers(double x, double y) const {
    return x >= geometry.logicalX && y >= geometry.logicalY &&
           x < double(geometry.logicalX) + geometry.logicalWidth &&
           y < double(geometry.logicalY) + geometry.logicalHeight;
  }
  bool ScaleKnown() const { return scaleLow == scaleHigh; }
};

struct LogicalPoint {
  double x = 0, y = 0;
};

// How far from a point asked a pointer may land, in logical units: the
// wlroots virtual pointer moves in 64ths of a unit.
inline constexpr double kPointerStep = 1.0 / 64;

struct LogicalBox {
  std::int32_t x = 0, y = 0, width = 0, height = 0;
};

// Index of the output that shows pixel (x, y) of the screen space, or -1:
// of those whose pixels lie there, the one that the pointer goes to at
// that pixel's centre (the last of those, if several), else the last.
int OutputShowing(const std::vector<PlacedOutput>& outputs, std::int64_t x, std::int64_t y);

class ScreenLayout {
 public:
  ScreenLayout() = default;
  // Outputs without a size yet are left out. Where outputs overlap, the
  // later one has the pointer.
  explicit ScreenLayout(const std::vector<OutputGeometry>& outputs);
  static bool HasSize(const OutputGeometry& g) {
    return g.logicalWidth > 0 && g.logicalHeight > 0 && g.pixelWidth > 0 && g.pixelHeight > 0;
  }

  const std::vector<PlacedOutput>& Outputs() const { return outputs_; }
  // Index into Outputs() of the output that shows screen pixel (x, y), or -1.
  int OutputAt(std::int64_t x, std::int64_t y) const;
  // The layout point at the centre of screen pixel (x, y) of that output
  // (just inside the output's edge for a last pixel that reaches past it).
  LogicalPoint ToLogical(int output, std::int64_t x, std::int64_t y) const;
  // Where a pointer must go to be over screen pixel (x, y) of that output
  // and no other, at whichever of its scales the compositor shows it,
  // with room for the pointer's steps (kPointerStep). Nothing where no
  // point is: a last pixel past the output's logical edge, one whose
  // place the possible scales disagree on, or one under a later output,
  // which the pointer would go to.
  std::optional<LogicalPoint> PointerPoint(int output, std::int64_t x, std::int64_t y) const;
  // The index of the output the pointer is on at a layout point, or -1.
  int OutputUnder(double x, double y) const;
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
