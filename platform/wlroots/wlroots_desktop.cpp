#include "platform/wlroots/wlroots_desktop.h"

#include <linux/input-event-codes.h>
#include <wayland-client-protocol.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <thread>
#include <utility>

#include "platform/wlroots/output_capture.h"
#include "platform/wlroots/screen_layout.h"
#include "platform/wlroots/virtual_pointer.h"
#include "platform/wlroots/wayland_client.h"
#include "platform/wlroots/xwayland_pointer.h"

namespace {

using Clock = std::chrono::steady_clock;

// A frame that does not come within this long counts as a failed read.
constexpr int kCaptureTimeoutMs = 500;
// Captures reach this far beyond what a read asks for, so that the read of
// the other samples of the same runs, which comes right after, finds them
// already there.
constexpr std::int64_t kCaptureMargin = 64;

std::int64_t CeilDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? (a + b - 1) / b : -(-a / b); }
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// The indices i in [0, n) with lo <= start + i * step < hi, as [first, end).
struct Span {
  std::int64_t first = 0, end = 0;
  bool empty() const { return first >= end; }
};
Span IndexSpan(std::int64_t start, std::int64_t step, std::int64_t n, std::int64_t lo,
               std::int64_t hi) {
  const std::int64_t first = std::max<std::int64_t>(0, CeilDiv(lo - start, step));
  const std::int64_t end = std::min<std::int64_t>(n, FloorDiv(hi - 1 - start, step) + 1);
  return {first, std::max(first, end)};
}

bool Whole(double v) { return std::abs(v - std::round(v)) < 1e-6; }

// A logical span [first, end) of one output axis that covers the physical
// pixels [p0, p1) and whose ends fall on pixel edges, so the compositor's
// copy starts and ends exactly where we think it does.
struct AlignedSpan {
  std::int32_t first = 0, end = 0;
  std::int64_t pixelFirst = 0, pixelEnd = 0;
};
AlignedSpan Align(std::int64_t p0, std::int64_t p1, double scale, std::int32_t logicalSize,
                  std::int32_t pixelSize) {
  auto first = static_cast<std::int32_t>(std::floor(p0 / scale + 1e-9));
  auto end = std::min(logicalSize, static_cast<std::int32_t>(std::ceil(p1 / scale - 1e-9)));
  while (first > 0 && !Whole(first * scale)) --first;
  while (end < logicalSize && !Whole(end * scale)) ++end;
  const auto pixel = [&](std::int32_t l) {
    return l >= logicalSize ? std::int64_t{pixelSize} : std::int64_t(std::llround(l * scale));
  };
  return {first, end, pixel(first), pixel(end)};
}

// A rectangle of an output's pixels, output-local.
struct PixelRect {
  std::int64_t left = 0, top = 0, right = 0, bottom = 0;
  bool Covers(const PixelRect& r) const {
    return left <= r.left && top <= r.top && right >= r.right && bottom >= r.bottom;
  }
};

// Where pixel (x, y) of an output as shown, w x h, lies in the copy of
// the whole output, which the compositor hands out as the output scans it
// out: turned or mirrored by the output's transform.
std::optional<std::pair<std::int64_t, std::int64_t>> InBuffer(int transform, std::int64_t x,
                                                              std::int64_t y, std::int64_t w,
                                                              std::int64_t h) {
  switch (transform) {
    case WL_OUTPUT_TRANSFORM_NORMAL: return std::pair{x, y};
    case WL_OUTPUT_TRANSFORM_90: return std::pair{y, w - 1 - x};
    case WL_OUTPUT_TRANSFORM_180: return std::pair{w - 1 - x, h - 1 - y};
    case WL_OUTPUT_TRANSFORM_270: return std::pair{h - 1 - y, x};
    case WL_OUTPUT_TRANSFORM_FLIPPED: return std::pair{w - 1 - x, y};
    case WL_OUTPUT_TRANSFORM_FLIPPED_90: return std::pair{y, x};
    case WL_OUTPUT_TRANSFORM_FLIPPED_180: return std::pair{x, h - 1 - y};
    case WL_OUTPUT_TRANSFORM_FLIPPED_270: return std::pair{h - 1 - y, w - 1 - x};
    default: return std::nullopt;
  }
}

// The latest copy of an output and what it is still good for.
struct CachedCapture {
  OutputCapture capture;
  bool valid = false;
  PixelRect rect;  // what the copy holds, as the output shows it
  int transform = WL_OUTPUT_TRANSFORM_NORMAL;
  std::int64_t shownWidth = 0, shownHeight = 0;
  std::uint64_t inputGeneration = 0, layoutGeneration = 0;
  Clock::time_point at;
  // Cleared when a region copy came back in another size than expected:
  // whole outputs from then on.
  bool regionsWork = true;

  // Pixel (x, y) of the output as shown, which must lie in rect.
  Colorref Shown(std::int64_t x, std::int64_t y) const {
    if (transform == WL_OUTPUT_TRANSFORM_NORMAL)
      return capture.Pixel(std::int32_t(x - rect.left), std::int32_t(y - rect.top));
    const auto at = InBuffer(transform, x, y, shownWidth, shownHeight);
    return at ? capture.Pixel(std::int32_t(at->first), std::int32_t(at->second)) : CLR_INVALID;
  }
};

}  // namespace

struct WlrootsDesktop::State {
  std::unique_ptr<WaylandClient> client;
  std::unique_ptr<VirtualPointer> pointer;
  std::unique_ptr<XWaylandPointer> xPointer;
  std::vector<std::unique_ptr<CachedCapture>> captures;
  // Bumped by every pointer event we send: what was read before may have
  // changed.
  std::uint64_t inputGeneration = 0;
  std::function<void()> onLost;

  // Takes what has arrived; after a protocol error, which ends only that
  // connection, starts a new one. False when the compositor has gone.
  bool Usable() {
    if (client && client->TakeEvents()) return true;
    if (!client) return false;
    if (client->Error() == EPROTO)
      std::fprintf(stderr, "colorclicker: ошибка протокола Wayland, соединение открыто заново\n");
    captures.clear();
    pointer.reset();
    client = WaylandClient::Connect();
    if (client && client->Missing().empty()) {
      pointer = std::make_unique<VirtualPointer>(*client);
      return true;
    }
    client.reset();
    if (onLost) onLost();
    return false;
  }

  // A copy of output `index` that holds `need` (pixels as shown), fresh enough to stand for
  // the screen now: taken after the latest pointer event we sent, and no
  // older than one frame of that output. Null when it cannot be had.
  const CachedCapture* Captured(int index, PixelRect need, bool wholeOutput) {
    const ScreenLayout& layout = client->Layout();
    const PlacedOutput o = layout.Outputs()[std::size_t(index)];
    const std::uint64_t generation = client->LayoutGeneration();
    if (captures.size() < layout.Outputs().size()) captures.resize(layout.Outputs().size());
    auto& slot = captures[std::size_t(index)];
    if (!slot) slot = std::make_unique<CachedCapture>();
    CachedCapture& c = *slot;
    const double ageMs = std::chrono::duration<double, std::milli>(Clock::now() - c.at).count();
    if (c.valid && c.layoutGeneration == generation && c.inputGeneration == inputGeneration &&
        ageMs < client->FramePeriodMs(index) && c.rect.Covers(need))
      return &c;
    c.valid = false;
    c.transform = client->TransformOf(index);
    if (c.transform != WL_OUTPUT_TRANSFORM_NORMAL) {
      // Regions of a turned output are turned too: whole ones only.
      if (!InBuffer(c.transform, 0, 0, 1, 1)) return nullptr;
      wholeOutput = true;
    }

    const OutputGeometry& g = o.geometry;
    AlignedSpan xs{0, g.logicalWidth, 0, g.pixelWidth}, ys{0, g.logicalHeight, 0, g.pixelHeight};
    if (!wholeOutput && c.regionsWork) {
      xs = Align(std::max<std::int64_t>(0, need.left - kCaptureMargin),
                 std::min<std::int64_t>(g.pixelWidth, need.right + kCaptureMargin), o.scaleX,
                 g.logicalWidth, g.pixelWidth);
      ys = Align(std::max<std::int64_t>(0, need.top - kCaptureMargin),
                 std::min<std::int64_t>(g.pixelHeight, need.bottom + kCaptureMargin), o.scaleY,
                 g.logicalHeight, g.pixelHeight);
    }
    const bool whole = xs.first == 0 && ys.first == 0 && xs.end == g.logicalWidth &&
                       ys.end == g.logicalHeight;
    const bool copied =
        whole ? c.capture.Copy(*client, client->OutputOf(index), 0, 0, 0, 0, kCaptureTimeoutMs)
              : c.capture.Copy(*client, client->OutputOf(index), xs.first, ys.first,
                               xs.end - xs.first, ys.end - ys.first, kCaptureTimeoutMs);
    // The outputs may have changed while we waited: this copy then answers
    // nothing.
    if (!copied || client->LayoutGeneration() != generation) return nullptr;
    const bool sideways = c.transform % 2 == 1;
    if (c.capture.Width() != (sideways ? ys : xs).pixelEnd - (sideways ? ys : xs).pixelFirst ||
        c.capture.Height() != (sideways ? xs : ys).pixelEnd - (sideways ? xs : ys).pixelFirst) {
      if (whole) return nullptr;
      c.regionsWork = false;
      return Captured(index, need, true);
    }
    c.valid = true;
    c.rect = {xs.pixelFirst, ys.pixelFirst, xs.pixelEnd, ys.pixelEnd};
    c.shownWidth = g.pixelWidth;
    c.shownHeight = g.pixelHeight;
    c.inputGeneration = inputGeneration;
    c.layoutGeneration = generation;
    c.at = Clock::now();
    return &c;
  }
};

namespace {

class WlrootsScreenContext final : public ScreenContext {
 public:
  explicit WlrootsScreenContext(std::shared_ptr<WlrootsDesktop::State> state)
      : s_(std::move(state)) {}

  Colorref GetPixel(std::int32_t x, std::int32_t y) override {
    if (!s_->Usable()) return CLR_INVALID;
    const int index = s_->client->Layout().OutputAt(x, y);
    if (index < 0) return CLR_INVALID;
    const PlacedOutput& o = s_->client->Layout().Outputs()[std::size_t(index)];
    const std::int64_t px = x - o.left, py = y - o.top;
    // The whole output at once: a per-pixel reader asks for its
    // neighbours next.
    const CachedCapture* capture = s_->Captured(index, {px, py, px + 1, py + 1}, true);
    return capture ? capture->Shown(px, py) : CLR_INVALID;
  }

  void ReadRegion(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                  Colorref* out) override {
    if (width > 0 && height > 0) ReadGrid({left, top, height, 1, width, 1, 1, 1}, out);
  }

  // Per output, one copy of the part of it that the samples span.
  void ReadGrid(const SampleGrid& g, Colorref* out) override {
    if (g.rows <= 0 || g.runs <= 0 || g.samples <= 0) return;
    if (g.rowStep <= 0 || g.runStep <= 0 || g.sampleStep <= 0) {
      ScreenContext::ReadGrid(g, out);
      return;
    }
    std::fill(out, out + g.Count(), CLR_INVALID);
    if (!s_->Usable()) return;
    const std::uint64_t generation = s_->client->LayoutGeneration();
    const std::size_t outputs = s_->client->Layout().Outputs().size();
    for (std::size_t i = 0; i < outputs && s_->client->LayoutGeneration() == generation; ++i) {
      const PlacedOutput o = s_->client->Layout().Outputs()[i];
      const Span rows = IndexSpan(g.top, g.rowStep, g.rows, o.top, o.top + o.geometry.pixelHeight);
      if (rows.empty()) continue;
      auto runsOf = [&](std::int64_t sample) {
        return IndexSpan(g.X(0, sample), g.runStep, g.runs, o.left, o.left + o.geometry.pixelWidth);
      };
      std::int64_t x0 = o.left + o.geometry.pixelWidth, x1 = o.left;
      for (std::int64_t sample = 0; sample < g.samples; ++sample) {
        const Span on = runsOf(sample);
        if (on.empty()) continue;
        x0 = std::min(x0, g.X(on.first, sample));
        x1 = std::max(x1, g.X(on.end - 1, sample) + 1);
      }
      if (x0 >= x1) continue;
      const PixelRect need{x0 - o.left, g.Y(rows.first) - o.top, x1 - o.left,
                           g.Y(rows.end - 1) + 1 - o.top};
      const CachedCapture* capture = s_->Captured(int(i), need, false);
      if (!capture) continue;
      for (std::int64_t row = rows.first; row < rows.end; ++row)
        for (std::int64_t sample = 0; sample < g.samples; ++sample) {
          const Span on = runsOf(sample);
          Colorref* line = out + (row * g.samples + sample) * g.runs;
          for (std::int64_t run = on.first; run < on.end; ++run)
            line[run] = capture->Shown(g.X(run, sample) - o.left, g.Y(row) - o.top);
        }
    }
  }

 private:
  std::shared_ptr<WlrootsDesktop::State> s_;
};

}  // namespace

WlrootsDesktop::Opening WlrootsDesktop::Open(std::function<void()> onCompositorLost) {
  Opening opening;
  auto state = std::make_shared<State>();
  state->client = WaylandClient::Connect();
  if (!state->client) return opening;
  opening.compositorFound = true;
  opening.missing = state->client->Missing();
  state->xPointer = XWaylandPointer::Open(onCompositorLost);
  opening.xwaylandFound = state->xPointer != nullptr;
  if (!opening.missing.empty() || !opening.xwaylandFound) return opening;
  state->pointer = std::make_unique<VirtualPointer>(*state->client);
  state->onLost = std::move(onCompositorLost);
  opening.desktop.reset(new WlrootsDesktop(std::move(state)));
  return opening;
}

WlrootsDesktop::WlrootsDesktop(std::shared_ptr<State> state) : state_(std::move(state)) {}

WlrootsDesktop::~WlrootsDesktop() = default;

// XWayland reports logical units, and only whole ones: at scale 1.5 a
// corner lands on every third pixel but one.
ScreenPoint WlrootsDesktop::GetCursorPos() {
  state_->Usable();
  const auto pointer = state_->xPointer->Query();
  if (!pointer || !state_->client) return {};
  if (const auto point = state_->client->Layout().FromLogical(pointer->x, pointer->y))
    return *point;
  return {};
}

std::unique_ptr<ScreenContext> WlrootsDesktop::GetDC() {
  return std::make_unique<WlrootsScreenContext>(state_);
}

void WlrootsDesktop::SetCursorPos(std::int32_t x, std::int32_t y) {
  if (!state_->Usable()) return;
  const ScreenLayout& layout = state_->client->Layout();
  if (layout.Outputs().empty()) return;
  // A point between or beyond the outputs goes to the nearest pixel of
  // the nearest output, as a cursor stops at the screen's edge.
  int best = 0;
  std::int64_t bestX = x, bestY = y, bestDistance = -1;
  for (std::size_t i = 0; i < layout.Outputs().size(); ++i) {
    const PlacedOutput& o = layout.Outputs()[i];
    const std::int64_t cx = std::clamp<std::int64_t>(x, o.left, o.left + o.geometry.pixelWidth - 1);
    const std::int64_t cy = std::clamp<std::int64_t>(y, o.top, o.top + o.geometry.pixelHeight - 1);
    const std::int64_t d = std::abs(cx - x) + std::abs(cy - y);
    if (bestDistance < 0 || d < bestDistance) best = int(i), bestX = cx, bestY = cy, bestDistance = d;
  }
  state_->pointer->MoveTo(layout.ToLogical(best, bestX, bestY), layout.Extent());
  ++state_->inputGeneration;
}

void WlrootsDesktop::MouseEvent(std::uint32_t flags) {
  struct ButtonFlag {
    std::uint32_t flag;
    std::uint32_t code;
    bool press;
  };
  static constexpr ButtonFlag kButtons[] = {
      {MOUSEEVENTF_LEFTDOWN, BTN_LEFT, true},     {MOUSEEVENTF_LEFTUP, BTN_LEFT, false},
      {MOUSEEVENTF_RIGHTDOWN, BTN_RIGHT, true},   {MOUSEEVENTF_RIGHTUP, BTN_RIGHT, false},
      {MOUSEEVENTF_MIDDLEDOWN, BTN_MIDDLE, true}, {MOUSEEVENTF_MIDDLEUP, BTN_MIDDLE, false},
  };
  if (!state_->Usable()) return;
  for (const ButtonFlag& b : kButtons)
    if (flags & b.flag) {
      state_->pointer->Button(b.code, b.press);
      ++state_->inputGeneration;
    }
}

void WlrootsDesktop::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool WlrootsDesktop::IsOnScreen(std::int32_t x, std::int32_t y) {
  return state_->Usable() && state_->client->Layout().OutputAt(x, y) >= 0;
}

// As XWayland last saw the buttons: right while the pointer is over an X
// window (ours included) or a press on one holds it; over a native Wayland
// window X hears of no press, and this says false.
bool WlrootsDesktop::AnyMouseButtonDown() {
  const auto pointer = state_->xPointer->Query();
  return pointer && pointer->anyButton;
}

// Our window is an X window: the topmost X window there is compared with
// it. A native Wayland window lying over ours is unknown to X and missed.
bool WlrootsDesktop::IsOwnWindowAt(std::int32_t x, std::int32_t y) {
  if (!state_->Usable()) return false;
  const ScreenLayout& layout = state_->client->Layout();
  const int index = layout.OutputAt(x, y);
  if (index < 0) return false;
  const LogicalPoint p = layout.ToLogical(index, x, y);
  return state_->xPointer->OwnWindowAt(int(std::floor(p.x)), int(std::floor(p.y)));
}

void WlrootsDesktop::TakeEvents() { state_->Usable(); }
