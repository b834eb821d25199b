#include "platform/wlroots/wlroots_desktop.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <utility>

#include "platform/linux_button_codes.h"
#include "platform/output_reads.h"
#include "platform/screen_layout.h"
#include "platform/wlroots/output_copies.h"
#include "platform/wlroots/pointer_painting.h"
#include "platform/wlroots/virtual_pointer.h"
#include "platform/wlroots/wayland_client.h"
#include "platform/x11/connection_lost.h"
#include "platform/x11/xwayland_pointer.h"

namespace {
using Clock = std::chrono::steady_clock;
// A round trip the compositor does not answer within this long counts as
// a layout that may have changed.
constexpr int kRoundtripTimeoutMs = 500;
// How long a new connection waits for the compositor to tell what it
// offers; a reconnection goes on waiting in the background after that.
constexpr int kConnectTimeoutMs = 2000;
// After the outputs change, no press until they have stayed as they are
// this long: a monitor plugged in or a scale changed comes as several
// changes in a row, and the compositor moves and redraws the windows on
// them for a while after each.
constexpr std::chrono::milliseconds kLayoutSettles{1000};
constexpr std::uint64_t kNoGeneration = ~std::uint64_t{0};
}  // namespace

struct WlrootsDesktop::State {
  std::unique_ptr<WaylandClient> client;
  // After a protocol error: the new connection, until the compositor has
  // told what it offers.
  std::unique_ptr<WaylandClient> connecting;
  TellUser tellUser;
  std::unique_ptr<VirtualPointer> pointer;
  std::unique_ptr<XWaylandPointer> xPointer;
  OutputCopies copies;
  PointerPainting painting;
  OnDesktopLost onLost;

  // The compositor applies a pointer motion to its layout as it is when
  // the motion gets there, which may have changed since we heard of it. So
  // a press goes only where the colour was read: while the layout is the
  // one of the latest read and has settled, with the move sent along with
  // the press, in one piece the compositor handles with nothing between.
  std::uint64_t readGeneration = kNoGeneration;
  std::uint64_t knownGeneration = kNoGeneration;
  Clock::time_point layoutChangedAt;
  struct Move {
    ScreenPoint at;
    LogicalPoint to;
    LogicalBox extent;
    std::uint64_t generation = 0;
  };
  std::optional<Move> move;
  // The last move that went out with a press.
  std::optional<Move> clicked;
  // The pointer's pixel and layout point as GetCursorPos last told them: a
  // read of that pixel is of what lies under the pointer.
  std::optional<std::pair<ScreenPoint, ScreenPoint>> told;

  // Takes what has arrived; after a protocol error, which ends only that
  // connection, starts a new one, waiting for it a bounded time here and
  // then without blocking on later calls. False while there is none, and
  // when the compositor has gone.
  bool Usable() {
    if (client && client->TakeEvents()) {
      NoteLayout();
      return true;
    }
    if (client) {
      if (client->Error() == EPROTO)
        std::fprintf(stderr, "colorclicker: Wayland protocol error, connecting again\n");
      copies.Clear();
      painting.Clear();
      pointer.reset();
      readGeneration = knownGeneration = kNoGeneration;
      move.reset();
      clicked.reset();
      client.reset();
      connecting = WaylandClient::Open();
      if (connecting)
        connecting->WaitFor([this] { return connecting->Ready(); }, kConnectTimeoutMs,
                            {Reason::AwaitedOutputs, {}});
    } else if (connecting && !connecting->TakeEvents()) {
      connecting.reset();
    }
    if (connecting && connecting->Error() == 0 && !connecting->Ready()) {
      TellWhatCame(*connecting);
      return false;
    }
    if (connecting && connecting->Error() == 0 && connecting->Missing().empty()) {
      client = std::move(connecting);
      pointer = std::make_unique<VirtualPointer>(*client);
      NoteLayout();
      return true;
    }
    if (!connecting) return false;
    connecting.reset();
    if (onLost) onLost(Reason::CompositorLost);
    return false;
  }

  // Before the window is there to tell through, kept for it.
  std::vector<Notice> untold;
  void Tell(Notice notice) {
    if (tellUser)
      tellUser(notice);
    else
      untold.push_back(std::move(notice));
  }

  // Once a read or a check is over: what could not be read, and the
  // compositor's silences, each told once.
  void TellWhatCame(WaylandClient& from) {
    for (const Notice& problem : copies.TakeProblems()) Tell(problem);
    for (Notice& awaited : from.TakeUnanswered())
      Tell({Reason::CompositorSilent, {}, {std::move(awaited)}});
  }
  void TellWhatCame() {
    if (client) TellWhatCame(*client);
  }

  void NoteLayout() {
    if (client->LayoutGeneration() != knownGeneration) {
      knownGeneration = client->LayoutGeneration();
      layoutChangedAt = Clock::now();
    }
  }

  // Where the compositor paints the pointer into what is read, it would
  // hide the target: it is kept out of the way at the bottom-right pixel
  // of the rightmost output, where the grid never reads (it stops 70
  // pixels short of the area's right edge, which a captured corner never
  // puts past the screen's) and the arrow falls off the screen.
  std::optional<LogicalPoint> Aside() const {
    const ScreenLayout& layout = client->Layout();
    const auto corner = [](const PlacedOutput& o) {
      return std::pair{o.left + o.geometry.pixelWidth, o.top + o.geometry.pixelHeight};
    };
    int park = -1;
    for (std::size_t i = 0; i < layout.Outputs().size(); ++i)
      if (park < 0 || corner(layout.Outputs()[i]) > corner(layout.Outputs()[std::size_t(park)]))
        park = int(i);
    if (park < 0) return std::nullopt;
    const auto [right, bottom] = corner(layout.Outputs()[std::size_t(park)]);
    return layout.ToLogical(park, right - 1, bottom - 1);
  }

  // Queued; the caller flushes.
  void Park() {
    if (const std::optional<LogicalPoint> aside = Aside()) {
      pointer->MoveTo(*aside, client->Layout().Extent());
      copies.InputSent();
    }
  }

  // After a click the pointer stays where it clicked, as on other
  // desktops, unless that output paints it into what is read, or it
  // cannot be told.
  void AfterClick() {
    const std::optional<Move> at = std::exchange(clicked, std::nullopt);
    const int index = at ? client->Layout().OutputAt(at->at.x, at->at.y) : -1;
    const std::optional<LogicalPoint> aside = Aside();
    if (index < 0 || !aside || client->LayoutGeneration() != at->generation ||
        painting.Shows(*client, *pointer, index, at->to, *aside))
      Park();
  }
};

namespace {

class WlrootsScreenContext final : public BulkScreenContext {
 public:
  explicit WlrootsScreenContext(std::shared_ptr<WlrootsDesktop::State> state)
      : s_(std::move(state)) {}

  // The pixel under the pointer (a colour being picked) is read with the
  // pointer moved aside, which then goes back.
  Colorref GetPixel(std::int32_t x, std::int32_t y) override {
    if (!s_->Usable()) return CLR_INVALID;
    const auto told = std::exchange(s_->told, std::nullopt);
    const int index = s_->client->Layout().OutputAt(x, y);
    const bool underPointer = told && told->first == ScreenPoint{x, y} &&
                              (index < 0 || s_->painting.MayShow(*s_->client, index));
    if (underPointer) s_->Park();
    s_->readGeneration = s_->client->LayoutGeneration();
    Colorref pixel = CLR_INVALID;
    if (index >= 0) {
      const PlacedOutput& o = s_->client->Layout().Outputs()[std::size_t(index)];
      const std::int64_t px = x - o.left, py = y - o.top;
      // The whole output at once: a per-pixel reader asks for its
      // neighbours next.
      const OutputCopy* copy = s_->copies.Get(*s_->client, index, {px, py, px + 1, py + 1}, true);
      if (copy) pixel = copy->Shown(px, py);
    }
    if (underPointer) {
      s_->pointer->MoveTo({double(told->second.x), double(told->second.y)},
                          s_->client->Layout().Extent());
      s_->client->Flush();
      s_->copies.InputSent();
    }
    s_->TellWhatCame();
    return pixel;
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
    s_->readGeneration = generation;
    const std::vector<PlacedOutput> outputs = s_->client->Layout().Outputs();
    ReadGridPerOutput(outputs, g, out,
                      [&](std::size_t i, const PixelRect& need) -> const OutputCopy* {
                        if (s_->client->LayoutGeneration() != generation) return nullptr;
                        return s_->copies.Get(*s_->client, int(i), need, false);
                      });
    s_->TellWhatCame();
  }

  std::shared_ptr<WlrootsDesktop::State> s_;
};

}  // namespace

DesktopRoute::Opening WlrootsDesktop::Open(const OnDesktopLost& onLost) {
  DesktopRoute::Opening opening;
  auto state = std::make_shared<State>();
  state->client = WaylandClient::Open();
  if (!state->client) {
    opening.why = {Reason::NoCompositor, {}, {}};
    return opening;
  }
  WaylandClient& client = *state->client;
  if (!client.WaitFor([&] { return client.Ready(); }, kConnectTimeoutMs,
                      {Reason::AwaitedOutputs, {}})) {
    opening.why = {client.Error() ? Reason::NoCompositor : Reason::CompositorNotAnswering, {}, {}};
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
  state->knownGeneration = state->client->LayoutGeneration();
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
  const ScreenPoint logical = state_->xPointer->Position();
  const std::optional<ScreenPoint> pixel =
      state_->client->Layout().FromLogical(logical.x, logical.y);
  if (pixel) state_->told = {{*pixel, logical}};
  return pixel.value_or(ScreenPoint{});
}

std::unique_ptr<ScreenContext> WlrootsDesktop::GetDC() {
  return std::make_unique<WlrootsScreenContext>(state_);
}

// The move waits for the press, to go along with it.
void WlrootsDesktop::SetCursorPos(std::int32_t x, std::int32_t y) {
  state_->move.reset();
  state_->told.reset();
  if (!state_->Usable()) return;
  const ScreenLayout& layout = state_->client->Layout();
  const ScreenLayout::Nearest to = layout.NearestPixel(x, y);
  if (to.output < 0) return;
  // A pixel with no point a pointer lands on it from gets no move, and so
  // no press.
  const std::optional<LogicalPoint> point = to.x == x && to.y == y
                                                ? layout.PointerPoint(to.output, x, y)
                                                : layout.ToLogical(to.output, to.x, to.y);
  if (!point) return;
  state_->move = State::Move{{x, y}, *point, layout.Extent(), state_->client->LayoutGeneration()};
}

// A press goes out in one piece with the move before it; after a release
// the pointer goes out of the way where it would be read. No events are
// taken in before the press: a layout change taken in after CursorIsAt
// would go unchecked.
void WlrootsDesktop::MouseEvent(std::uint32_t flags) {
  if (!state_->client || !state_->pointer) return;
  ForEachButtonEvent(flags, [this](MouseButton button, bool press) {
    if (press && state_->move) {
      state_->pointer->MoveTo(state_->move->to, state_->move->extent);
      state_->clicked = state_->move;
    }
    state_->move.reset();
    state_->pointer->Button(LinuxButtonCode(button), press);
    if (!press) state_->AfterClick();
    state_->copies.InputSent();
  });
  state_->client->Flush();
}

void WlrootsDesktop::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// After a round trip the compositor has told every change it made before
// it: the point still lies where it was read only when none came since
// the read, and none for a while before.
bool WlrootsDesktop::CursorIsAt(std::int32_t x, std::int32_t y) {
  const std::optional<State::Move> move = std::exchange(state_->move, std::nullopt);
  if (!move || !(move->at == ScreenPoint{x, y}) || !state_->Usable()) return false;
  const bool answered =
      state_->client->Roundtrip(kRoundtripTimeoutMs, {Reason::AwaitedLayoutCheck, {}});
  state_->TellWhatCame();
  if (!answered) return false;
  state_->NoteLayout();
  const std::uint64_t now = state_->client->LayoutGeneration();
  if (move->generation != now || state_->readGeneration != now ||
      Clock::now() - state_->layoutChangedAt < kLayoutSettles)
    return false;
  // Off the outputs, or a last pixel that lies past its output's logical
  // edge, where no pointer goes.
  const std::optional<ScreenPoint> under =
      state_->client->Layout().FromLogical(move->to.x, move->to.y);
  if (!under || !(*under == ScreenPoint{x, y})) return false;
  state_->move = move;
  return true;
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
// The window's toolkit took Xlib's handler for broken connections.
void WlrootsDesktop::Start(TellUser tellUser) {
  KeepWatchingConnections();
  state_->tellUser = std::move(tellUser);
  for (Notice& notice : std::exchange(state_->untold, {})) state_->Tell(std::move(notice));
}

int WlrootsDesktop::EventIntervalMs() const { return 250; }

void WlrootsDesktop::TakeEvents() {
  state_->Usable();
  state_->TellWhatCame();
}
