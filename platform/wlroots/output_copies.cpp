#include "platform/wlroots/output_copies.h"

#include <wayland-client-protocol.h>

#include <algorithm>
#include <cmath>

#include "platform/wlroots/copy_format.h"
#include "platform/wlroots/output_geometry.h"
#include "platform/wlroots/wayland_client.h"

namespace {

using Clock = std::chrono::steady_clock;

// A frame that does not come within this long counts as a failed read.
constexpr int kCaptureTimeoutMs = 500;
// Captures reach this far beyond what a read asks for, so that the read of
// the other samples of the same runs, which comes right after, finds them
// already there.
constexpr std::int64_t kCaptureMargin = 64;

}  // namespace

Colorref OutputCopy::Shown(std::int64_t x, std::int64_t y) const {
  if (transform == WL_OUTPUT_TRANSFORM_NORMAL)
    return capture.Pixel(std::int32_t(x - rect.left), std::int32_t(y - rect.top));
  const auto at = InBuffer(transform, x, y, shownWidth, shownHeight);
  return at ? capture.Pixel(std::int32_t(at->first), std::int32_t(at->second)) : CLR_INVALID;
}

const OutputCopy* OutputCopies::Get(WaylandClient& client, int index, PixelRect need,
                                    bool wholeOutput) {
  const ScreenLayout& layout = client.Layout();
  const PlacedOutput o = layout.Outputs()[std::size_t(index)];
  const std::uint64_t generation = client.LayoutGeneration();
  if (copies_.size() < layout.Outputs().size()) copies_.resize(layout.Outputs().size());
  auto& slot = copies_[std::size_t(index)];
  if (!slot) slot = std::make_unique<OutputCopy>();
  OutputCopy& c = *slot;
  const double ageMs = std::chrono::duration<double, std::milli>(Clock::now() - c.at).count();
  if (c.valid && c.layoutGeneration == generation && c.inputGeneration == inputGeneration_ &&
      ageMs < client.FramePeriodMs(index) && c.rect.Covers(need))
    return &c;
  c.valid = false;
  c.transform = client.TransformOf(index);
  if (c.transform != WL_OUTPUT_TRANSFORM_NORMAL) {
    // Regions of a turned output are turned too: whole ones only.
    if (!InBuffer(c.transform, 0, 0, 1, 1)) return nullptr;
    wholeOutput = true;
  }

  const OutputGeometry& g = o.geometry;
  AlignedSpan xs{0, g.logicalWidth, 0, g.pixelWidth}, ys{0, g.logicalHeight, 0, g.pixelHeight};
  if (!wholeOutput && c.regionsWork) {
    xs = Align(std::max<std::int64_t>(0, need.left - kCaptureMargin),
               std::min<std::int64_t>(g.pixelWidth, need.right + kCaptureMargin), o.scale,
               g.logicalWidth, g.pixelWidth);
    ys = Align(std::max<std::int64_t>(0, need.top - kCaptureMargin),
               std::min<std::int64_t>(g.pixelHeight, need.bottom + kCaptureMargin), o.scale,
               g.logicalHeight, g.pixelHeight);
  }
  // The compositor rounds a region's edges to pixels at its own scale:
  // where that is known only within a range, a region whose edges fall
  // on other pixels at other scales of it would be read shifted.
  const auto sure = [&](std::int32_t edge, std::int32_t size) {
    return edge >= size || std::llround(edge * o.scaleLow) == std::llround(edge * o.scaleHigh);
  };
  if (!o.ScaleKnown() && !(sure(xs.first, g.logicalWidth) && sure(xs.end, g.logicalWidth) &&
                           sure(ys.first, g.logicalHeight) && sure(ys.end, g.logicalHeight))) {
    xs = {0, g.logicalWidth, 0, g.pixelWidth};
    ys = {0, g.logicalHeight, 0, g.pixelHeight};
  }
  const bool whole =
      xs.first == 0 && ys.first == 0 && xs.end == g.logicalWidth && ys.end == g.logicalHeight;
  const OutputCapture::Result result =
      whole ? c.capture.Copy(client, index, 0, 0, 0, 0, kCaptureTimeoutMs)
            : c.capture.Copy(client, index, xs.first, ys.first, xs.end - xs.first,
                             ys.end - ys.first, kCaptureTimeoutMs);
  if (result == OutputCapture::Result::NoSharedMemory)
    Problem(Reason::NoSharedMemoryCopies, client.OutputName(index));
  if (result == OutputCapture::Result::Unreadable)
    Problem(Reason::UnreadableCopyFormat,
            client.OutputName(index) + ": " + FormatName(c.capture.Format()));
  // The outputs may have changed while we waited: this copy then answers
  // nothing.
  if (result != OutputCapture::Result::Copied || client.LayoutGeneration() != generation)
    return nullptr;
  const bool sideways = c.transform % 2 == 1;
  if (c.capture.Width() != (sideways ? ys : xs).pixelEnd - (sideways ? ys : xs).pixelFirst ||
      c.capture.Height() != (sideways ? xs : ys).pixelEnd - (sideways ? xs : ys).pixelFirst) {
    if (whole) return nullptr;
    c.regionsWork = false;
    return Get(client, index, need, true);
  }
  c.valid = true;
  c.rect = {xs.pixelFirst, ys.pixelFirst, xs.pixelEnd, ys.pixelEnd};
  c.shownWidth = g.pixelWidth;
  c.shownHeight = g.pixelHeight;
  c.inputGeneration = inputGeneration_;
  c.layoutGeneration = generation;
  c.at = Clock::now();
  return &c;
}

void OutputCopies::Problem(Reason why, std::string detail) {
  if (told_.insert({why, detail}).second) untold_.push_back({why, std::move(detail), {}});
}
