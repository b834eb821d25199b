#include "platform/wlroots/pointer_painting.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "platform/wlroots/output_capture.h"
#include "platform/wlroots/virtual_pointer.h"
#include "platform/wlroots/wayland_client.h"

namespace {
// The square copied reaches this far (layout units) from the pointer's
// hot spot: pointer images are up to 48 units, most of them below and
// right of it.
constexpr std::int32_t kReach = 48;
constexpr int kCopyTimeoutMs = 500;
// Tries that could not tell (the screen changed under the pointer while
// it was copied) before the output counts as painting the pointer.
constexpr int kTries = 3;

std::optional<std::vector<Colorref>> CopyRegion(WaylandClient& client, int output, std::int32_t x,
                                                std::int32_t y, std::int32_t width,
                                                std::int32_t height) {
  OutputCapture capture;
  if (capture.Copy(client, output, x, y, width, height, kCopyTimeoutMs) !=
      OutputCapture::Result::Copied)
    return std::nullopt;
  std::vector<Colorref> pixels;
  pixels.reserve(std::size_t(capture.Width()) * std::size_t(capture.Height()));
  for (std::int32_t row = 0; row < capture.Height(); ++row)
    for (std::int32_t column = 0; column < capture.Width(); ++column)
      pixels.push_back(capture.Pixel(column, row));
  return pixels;
}
}  // namespace

bool PointerPainting::MayShow(const WaylandClient& client, int index) const {
  const auto found = known_.find(client.NameOf(index));
  return found == known_.end() || found->second != 0;
}

// A pointer that copies show changes the pixels around it when it moves
// away and back; one on a plane of its own, or an invisible one, does not.
// The copy with it there is taken twice, so that a screen that changed
// meanwhile is not taken for the pointer.
bool PointerPainting::Shows(WaylandClient& client, VirtualPointer& pointer, int index,
                            LogicalPoint at, LogicalPoint aside) {
  const std::uint32_t name = client.NameOf(index);
  if (const auto found = known_.find(name); found != known_.end() && found->second >= 0)
    return found->second != 0;
  const OutputGeometry& g = client.Layout().Outputs()[std::size_t(index)].geometry;
  const auto x = std::int32_t(std::floor(at.x)) - g.logicalX;
  const auto y = std::int32_t(std::floor(at.y)) - g.logicalY;
  const std::int32_t left = std::clamp(x - kReach, 0, g.logicalWidth);
  const std::int32_t top = std::clamp(y - kReach, 0, g.logicalHeight);
  const std::int32_t width = std::clamp(x + kReach, 0, g.logicalWidth) - left;
  const std::int32_t height = std::clamp(y + kReach, 0, g.logicalHeight) - top;
  const LogicalBox extent = client.Layout().Extent();
  std::optional<std::vector<Colorref>> there, away, back;
  if (width > 0 && height > 0) {
    there = CopyRegion(client, index, left, top, width, height);
    pointer.MoveTo(aside, extent);
    away = CopyRegion(client, index, left, top, width, height);
    pointer.MoveTo(at, extent);
    back = CopyRegion(client, index, left, top, width, height);
  }
  client.Flush();
  int& answer = known_.try_emplace(name, 0).first->second;
  if (there && away && back && *there == *back)
    answer = *there != *away ? 1 : 0;
  else
    answer = answer - 1 <= -kTries ? 1 : answer - 1;
  return answer != 0;
}
