#include "platform/wlroots/wlroots_desktop.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/linux_button_codes.h"
#include "platform/output_reads.h"
#include "platform/screen_layout.h"
#include "platform/wlroots/output_copies.h"
#include "platform/wlroots/virtual_pointer.h"
#include "platform/wlroots/wayland_client.h"
#include "platform/x11/xwayland_pointer.h"

struct WlrootsDesktop::State {
  std::unique_ptr<WaylandClient> client;
  std::unique_ptr<VirtualPointer> pointer;
  std::unique_ptr<XWaylandPointer> xPointer;
  OutputCopies copies;
  OnDesktopLost onLost;

  // Takes what has arrived; after a protocol error, which ends only that
  // connection, starts a new one. False when the compositor has gone.
  bool Usable() {
    if (client && client->TakeEvents()) return true;
    if (!client) return false;
    if (client->Error() == EPROTO)
      std::fprintf(stderr, "colorclicker: Wayland protocol error, connecting again\n");
    copies.Clear();
    pointer.reset();
    client = WaylandClient::Connect();
    if (client && client->Missing().empty()) {
      pointer = std::make_unique<VirtualPointer>(*client);
      return true;
    }
    client.reset();
    if (onLost) onLost(Reason::CompositorLost);
    return false;
  }
};

namespace {

class WlrootsScreenContext final : public BulkScreenContext {
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

 private:
  // Per output, one copy of the part of it that the samples span.
  void ReadBulk(const SampleGrid& g, Colorref* out) override {
    if (!s_->Usable()) {
      std::fill(out, out + g.Count(), CLR_INVALID);
      return;
    }
    // Taking a copy handles what the compositor sent meanwhile: outputs
    // that changed since are not read.
    const std::uint64_t generation = s_->client->LayoutGeneration();
    const std::vector<PlacedOutput> outputs = s_->client->Layout().Outputs();
    ReadGridPerOutput(outputs, g, out,
                      [&](std::size_t i, const PixelRect& need) -> const OutputCopy* {
                        if (s_->client->LayoutGeneration() != generation) return nullptr;
                        return s_->copies.Get(*s_->client, int(i), need, false);
                      });
  }

  std::shared_ptr<WlrootsDesktop::State> s_;
};

}  // namespace

DesktopRoute::Opening WlrootsDesktop::Open(const OnDesktopLost& onLost) {
  DesktopRoute::Opening opening;
  auto state = std::make_shared<State>();
  state->client = WaylandClient::Connect();
  if (!state->client) {
    opening.why = {Reason::NoCompositor, {}, {}};
    return opening;
  }
  std::string missing;
  for (const std::string& protocol : state->client->Missing())
    missing += (missing.empty() ? "" : ", ") + protocol;
  if (!missing.empty()) {
    opening.why = {Reason::MissingProtocols, missing, {}};
    return opening;
  }
  state->xPointer = XWaylandPointer::Open(onLost);
  if (!state->xPointer) {
    opening.why = {Reason::NoXWaylandForPointer, {}, {}};
    return opening;
  }
  state->pointer = std::make_unique<VirtualPointer>(*state->client);
  state->onLost = onLost;
  opening.desktop.reset(new WlrootsDesktop(std::move(state)));
  opening.name = "screen: wlr-screencopy, pointer: wlr-virtual-pointer, cursor position: XWayland";
  return opening;
}

WlrootsDesktop::WlrootsDesktop(std::shared_ptr<State> state) : state_(std::move(state)) {}

WlrootsDesktop::~WlrootsDesktop() = default;

ScreenPoint WlrootsDesktop::GetCursorPos() {
  state_->Usable();
  if (!state_->client) return {};
  return state_->xPointer->PixelUnder(state_->client->Layout()).value_or(ScreenPoint{});
}

std::unique_ptr<ScreenContext> WlrootsDesktop::GetDC() {
  return std::make_unique<WlrootsScreenContext>(state_);
}

void WlrootsDesktop::SetCursorPos(std::int32_t x, std::int32_t y) {
  if (!state_->Usable()) return;
  const ScreenLayout& layout = state_->client->Layout();
  const ScreenLayout::Nearest to = layout.NearestPixel(x, y);
  if (to.output < 0) return;
  state_->pointer->MoveTo(layout.ToLogical(to.output, to.x, to.y), layout.Extent());
  state_->copies.InputSent();
}

void WlrootsDesktop::MouseEvent(std::uint32_t flags) {
  if (!state_->Usable()) return;
  ForEachButtonEvent(flags, [this](MouseButton button, bool press) {
    state_->pointer->Button(LinuxButtonCode(button), press);
    state_->copies.InputSent();
  });
}

void WlrootsDesktop::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool WlrootsDesktop::CursorIsAt(std::int32_t x, std::int32_t y) {
  return state_->Usable() && state_->client->Layout().OutputAt(x, y) >= 0;
}

// As XWayland last saw the buttons: right while the pointer is over an X
// window (ours included) or a press on one holds it; over a native Wayland
// window X hears of no press, and this says false.
bool WlrootsDesktop::AnyMouseButtonDown() { return state_->xPointer->AnyButtonDown(); }

// Our window is an X window: the topmost X window there is compared with
// it. A native Wayland window lying over ours is unknown to X and missed.
bool WlrootsDesktop::IsOwnWindowAt(std::int32_t x, std::int32_t y) {
  return state_->Usable() && state_->xPointer->OwnWindowAt(state_->client->Layout(), x, y);
}

// Often enough to see output changes and a compositor that went before
// the next pass, seldom enough to cost nothing.
int WlrootsDesktop::EventIntervalMs() const { return 250; }

void WlrootsDesktop::TakeEvents() { state_->Usable(); }
