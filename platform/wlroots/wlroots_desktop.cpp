#include "platform/wlroots/wlroots_desktop.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

#include "platform/index_span.h"
#include "platform/wlroots/output_copies.h"
#include "platform/wlroots/screen_layout.h"
#include "platform/wlroots/virtual_pointer.h"
#include "platform/wlroots/wayland_client.h"
#include "platform/wlroots/xwayland_pointer.h"

struct WlrootsDesktop::State {
  std::unique_ptr<WaylandClient> client;
  std::unique_ptr<VirtualPointer> pointer;
  std::unique_ptr<XWaylandPointer> xPointer;
  OutputCopies copies;
  std::function<void()> onLost;

  // Takes what has arrived; after a protocol error, which ends only that
  // connection, starts a new one. False when the compositor has gone.
  bool Usable() {
    if (client && client->TakeEvents()) return true;
    if (!client) return false;
    if (client->Error() == EPROTO)
      std::fprintf(stderr, "colorclicker: ошибка протокола Wayland, соединение открыто заново\n");
    copies.Clear();
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
    const OutputCopy* capture = s_->copies.Get(*s_->client, index, {px, py, px + 1, py + 1}, true);
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
      const PixelRect need{x0 - o.left, g.Y(rows.first) - o.top, x1 - o.left,
                           g.Y(rows.end - 1) + 1 - o.top};
      const OutputCopy* capture = s_->copies.Get(*s_->client, int(i), need, false);
      if (!capture) continue;
      for (std::int64_t row = rows.first; row < rows.end; ++row)
        for (std::int64_t sample = 0; sample < g.samples; ++sample) {
          const IndexSpan on = runsOf(sample);
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
  if (!state_->client) return {};
  const ScreenPoint pointer = state_->xPointer->Position();
  if (const auto point = state_->client->Layout().FromLogical(pointer.x, pointer.y)) return *point;
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
  state_->copies.InputSent();
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
      state_->copies.InputSent();
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
  return state_->xPointer->AnyButtonDown();
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
