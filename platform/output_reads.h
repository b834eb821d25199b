#pragma once
// Bulk reads over a screen made of several outputs (monitors), each read
// from a picture of its own: the sample grid is clipped to each output and
// only the part of it the samples span is asked for.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/desktop.h"
#include "platform/index_span.h"
#include "platform/screen_layout.h"

// A rectangle of an output's pixels, output-local.
struct PixelRect {
  std::int64_t left = 0, top = 0, right = 0, bottom = 0;
  bool Covers(const PixelRect& r) const {
    return left <= r.left && top <= r.top && right >= r.right && bottom >= r.bottom;
  }
};

// Fills out as ScreenContext::ReadGrid does, each pixel from the output
// that shows it (OutputShowing). picture(i, need) gives
// output i's picture holding at least `need` (a pointer-like with
// Shown(x, y) in output-local pixels), or null when it cannot be read.
// Steps must be positive.
template <typename GetPicture>
void ReadGridPerOutput(const std::vector<PlacedOutput>& outputs, const SampleGrid& g, Colorref* out,
                       GetPicture picture) {
  std::fill(out, out + g.Count(), CLR_INVALID);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const PlacedOutput& o = outputs[i];
    const IndexSpan rows(g.top, g.rowStep, g.rows, o.top, o.top + o.geometry.pixelHeight);
    if (rows.empty()) continue;
    auto runsOf = [&](std::int64_t sample) {
      return IndexSpan(g.X(0, sample), g.runStep, g.runs, o.left, o.left + o.geometry.pixelWidth);
    };
    std::int64_t x0 = o.left + o.geometry.pixelWidth, x1 = o.left;
    for (std::int64_t sample = 0; sample < g.samples; ++sample) {
      const IndexSpan on = runsOf(sample);
      if (on.empty()) continue;
      x0 = std::min(x0, g.X(on.first, sample));
      x1 = std::max(x1, g.X(on.end - 1, sample) + 1);
    }
    if (x0 >= x1) continue;
    const auto shown = picture(i, PixelRect{x0 - o.left, g.Y(rows.first) - o.top, x1 - o.left,
                                            g.Y(rows.end - 1) + 1 - o.top});
    if (!shown) continue;
    for (std::int64_t row = rows.first; row < rows.end; ++row)
      for (std::int64_t sample = 0; sample < g.samples; ++sample) {
        const IndexSpan on = runsOf(sample);
        Colorref* line = out + (row * g.samples + sample) * g.runs;
        for (std::int64_t run = on.first; run < on.end; ++run) {
          const std::int64_t x = g.X(run, sample), y = g.Y(row);
          // Where outputs overlap, through the one that has the pixel.
          if (o.shared && OutputShowing(outputs, x, y) != int(i)) continue;
          line[run] = shown->Shown(x - o.left, y - o.top);
        }
      }
  }
}
