#pragma once
// Where an output's pixels lie in what wlr-screencopy hands out: the
// logical region to ask for so that a copy starts and ends on pixel edges,
// and where a pixel as shown lies in a copy of a turned or mirrored output.
#include <cstdint>
#include <optional>
#include <utility>

// A logical span [first, end) of one output axis that covers the physical
// pixels [pixelFirst, pixelEnd), whose ends fall on pixel edges.
struct AlignedSpan {
  std::int32_t first = 0, end = 0;
  std::int64_t pixelFirst = 0, pixelEnd = 0;
};

// The narrowest such span around the physical pixels [p0, p1) of an axis
// of logicalSize units and pixelSize pixels at `scale` pixels per unit, so
// that the compositor's copy starts and ends exactly where we think it does.
AlignedSpan Align(std::int64_t p0, std::int64_t p1, double scale, std::int32_t logicalSize,
                  std::int32_t pixelSize);

// Where pixel (x, y) of an output as shown, w x h, lies in the copy of the
// whole output, which the compositor hands out as the output scans it out:
// turned or mirrored by the output's transform (enum wl_output_transform).
// Nothing for a transform this does not know.
std::optional<std::pair<std::int64_t, std::int64_t>> InBuffer(int transform, std::int64_t x,
                                                              std::int64_t y, std::int64_t w,
                                                              std::int64_t h);
