#include "platform/portal/portal_desktop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <thread>
#include <utility>

#include "platform/linux_button_codes.h"
#include "platform/output_reads.h"
#include "platform/portal/pipewire_streams.h"
#include "platform/portal/portal_session.h"
#include "platform/screen_layout.h"
#include "platform/x11/connection_lost.h"
#include "platform/x11/xwayland_pointer.h"

namespace {
using Clock = std::chrono::steady_clock;
// Where the streams carry no pointer, a read after a click waits for the
// stream's next picture, at most this long: PipeWire sends one only when
// the screen changes, and a click that changes nothing is followed by none.
constexpr std::chrono::milliseconds kPictureAfterInput{100};
// Where they carry it, a read after a click waits for the stream to tell
// the pointer's move to the clicked point, which the compositor sends
// once it has handled the move (within a frame here); this long at most.
constexpr std::chrono::milliseconds kMoveHandled{100};
// A pointer move the program did not make, told this recently: the user
// is moving the mouse, and a press could follow their hand.
constexpr std::chrono::milliseconds kUserMoving{250};
// A move told to this place this long after the program put the pointer
// there counts as the program's own.
constexpr std::chrono::milliseconds kOwnMoveTold{2000};
// ScreenCast cursor modes.
constexpr std::uint32_t kCursorHidden = 1, kCursorEmbedded = 2, kCursorMetadata = 4;
}  // namespace

struct PortalDesktop::State {
  std::unique_ptr<XWaylandPointer> xPointer;
  std::uint32_t cursorMode = kCursorHidden;
  std::unique_ptr<PortalSession> session;
  TellUser tellUser;

  std::vector<PortalStream> streams;
  std::unique_ptr<PipeWireStreams> pictures;
  // Per stream: the sequence of its newest picture when input was last
  // sent, and whether a read still has to wait for a newer one (streams
  // without the pointer).
  std::vector<std::uint64_t> sequenceAtInput;
  std::vector<bool> waitAfterInput;
  // Where the program put the pointer lately (stream, its frame's pixels),
  // the newest last, and whether a read still has to wait until the
  // streams tell that the newest move was handled.
  struct Put {
    std::size_t stream = 0;
    ScreenPoint at;
    std::uint64_t movesBefore = 0;  // the streams' last move when it was sent
    bool alreadyThere = false;      // no move will be told
    Clock::time_point when;
  };
  std::deque<Put> puts;
  bool awaitMove = false;

  void Started(std::vector<PortalStream> shared, int fd) {
    std::vector<std::uint32_t> nodes;
    for (const PortalStream& s : shared) nodes.push_back(s.node);
    std::string error;
    pictures = PipeWireStreams::Open(fd, nodes, &error);
    if (!pictures) {
      session->End();
      Tell({Reason::ScreenUnreadable, error, {}});
      return;
    }
    streams = std::move(shared);
    sequenceAtInput.assign(streams.size(), 0);
    waitAfterInput.assign(streams.size(), false);
    puts.clear();
    awaitMove = false;
    std::fprintf(stderr, "colorclicker: the desktop shares %zu monitor(s)\n", streams.size());
  }

  void Ended(const Notice& why) {
    pictures.reset();
    streams.clear();
    Tell(why);
  }

  void Tell(const Notice& notice) {
    if (tellUser) tellUser(notice);
  }

  PortalSession::Events Events() {
    return {[this](std::vector<PortalStream> shared, int fd) { Started(std::move(shared), fd); },
            [this](const Notice& why) { Ended(why); }};
  }

  bool Running() const { return pictures && session && session->Running(); }

  // Running, and PipeWire still connected: a connection that broke ends the
  // session here, before anything is read or sent on it.
  bool Usable() {
    if (pictures && pictures->Broken()) {
      session->End();
      Ended({Reason::ScreenStreamBroken, {}, {}});
    }
    return Running();
  }

  // The screen space over the shared monitors: their places from the
  // portal (logical units), their pixel sizes from their pictures. Outputs
  // come in stream order; those of unknown size are left out, so *streamOf
  // maps an output back to its stream.
  ScreenLayout Layout(std::vector<std::size_t>* streamOf = nullptr) const {
    std::vector<OutputGeometry> geometries;
    std::int32_t nextX = 0;
    for (std::size_t i = 0; i < streams.size(); ++i) {
      const PortalStream& s = streams[i];
      OutputGeometry g;
      const std::shared_ptr<const StreamFrame> picture = pictures->Newest(i);
      g.pixelWidth = picture ? picture->width : s.width;
      g.pixelHeight = picture ? picture->height : s.height;
      g.logicalWidth = s.width > 0 ? s.width : g.pixelWidth;
      g.logicalHeight = s.height > 0 ? s.height : g.pixelHeight;
      // A portal that does not place the monitors: side by side.
      g.logicalX = s.placed ? s.x : nextX;
      g.logicalY = s.placed ? s.y : 0;
      nextX = g.logicalX + g.logicalWidth;
      if (streamOf && ScreenLayout::HasSize(g)) streamOf->push_back(i);
      geometries.push_back(g);
    }
    return ScreenLayout(geometries);
  }

  // The first read after a click waits until the compositor has handled
  // it: the streams tell the pointer's move to the clicked point, which
  // went just before the press. Not when the pointer was there already.
  std::shared_ptr<const StreamFrame> Picture(std::size_t stream) {
    if (std::exchange(awaitMove, false) && !puts.empty() && !puts.back().alreadyThere)
      pictures->WaitMoveTo(puts.back().stream, puts.back().at, puts.back().movesBefore,
                           kMoveHandled);
    if (!waitAfterInput[stream]) return pictures->Newest(stream);
    waitAfterInput[stream] = false;
    return pictures->WaitNewer(stream, sequenceAtInput[stream], kPictureAfterInput);
  }

  void InputSent() {
    if (pictures->TellPointer()) {
      awaitMove = true;
      return;
    }
    for (std::size_t i = 0; i < streams.size(); ++i) {
      const std::shared_ptr<const StreamFrame> newest = pictures->Newest(i);
      sequenceAtInput[i] = newest ? newest->sequence : 0;
      waitAfterInput[i] = true;
    }
  }

  void NotePut(std::size_t stream, ScreenPoint at) {
    const Clock::time_point now = Clock::now();
    while (!puts.empty() && now - puts.front().when > kOwnMoveTold) puts.pop_front();
    const auto cursor = pictures->LastCursor(stream);
    puts.push_back({stream, at, pictures->LastMove(), cursor && cursor->position == at, now});
  }

  // Whether a stream told lately of the pointer at a place the program
  // did not put it: the user's hand is on the mouse.
  bool UserMoving() const {
    for (const PipeWireStreams::PointerMove& m : pictures->MovesSince(Clock::now() - kUserMoving)) {
      if (!m.position) continue;
      const bool ours = std::any_of(puts.begin(), puts.end(), [&](const Put& p) {
        return p.stream == m.stream && p.at == *m.position;
      });
      if (!ours) return true;
    }
    return false;
  }
};

namespace {

class PortalScreenContext final : public BulkScreenContext {
 public:
  explicit PortalScreenContext(std::shared_ptr<PortalDesktop::State> state)
      : s_(std::move(state)) {}

  Colorref GetPixel(std::int32_t x, std::int32_t y) override {
    if (!s_->Usable()) return CLR_INVALID;
    std::vector<std::size_t> streamOf;
    const ScreenLayout layout = s_->Layout(&streamOf);
    const int index = layout.OutputAt(x, y);
    if (index < 0) return CLR_INVALID;
    const PlacedOutput& o = layout.Outputs()[std::size_t(index)];
    const std::shared_ptr<const StreamFrame> picture = s_->Picture(streamOf[std::size_t(index)]);
    return picture ? picture->Shown(x - o.left, y - o.top) : CLR_INVALID;
  }

 private:
  // From the pictures kept: no waiting, except once per stream after a click.
  void ReadBulk(const SampleGrid& g, Colorref* out) override {
    if (!s_->Usable()) {
      std::fill(out, out + g.Count(), CLR_INVALID);
      return;
    }
    std::vector<std::size_t> streamOf;
    const ScreenLayout layout = s_->Layout(&streamOf);
    ReadGridPerOutput(layout.Outputs(), g, out,
                      [&](std::size_t i, const PixelRect&) { return s_->Picture(streamOf[i]); });
  }

  std::shared_ptr<PortalDesktop::State> s_;
};

}  // namespace

DesktopRoute::Opening PortalDesktop::Open(const OnDesktopLost& onLost) {
  DesktopRoute::Opening opening;
  const std::optional<PortalSession::Offer> offer = PortalSession::Probe(&opening.why);
  if (!offer) return opening;
  auto state = std::make_shared<State>();
  state->xPointer = XWaylandPointer::Open(onLost);
  if (!state->xPointer) {
    opening.why = {Reason::NoXWaylandForWindow, {}, {}};
    return opening;
  }
  // Never the pointer painted into the pictures: just moved by a click, it
  // could hide a target or be taken for one.
  // An old portal without cursor modes is not asked for one (0).
  state->cursorMode = (offer->cursorModes & kCursorMetadata) ? kCursorMetadata
                      : (offer->cursorModes & kCursorHidden) ? kCursorHidden
                                                             : offer->cursorModes & kCursorEmbedded;
  opening.desktop.reset(new PortalDesktop(std::move(state)));
  opening.name = "screen: portal ScreenCast (PipeWire), pointer: portal RemoteDesktop";
  return opening;
}

PortalDesktop::PortalDesktop(std::shared_ptr<State> state) : state_(std::move(state)) {}

PortalDesktop::~PortalDesktop() { End(); }

// Pictures first: their thread calls into nothing else. The session is
// closed over the application's D-Bus connection, which must still exist.
void PortalDesktop::End() {
  state_->pictures.reset();
  state_->session.reset();
  state_->tellUser = nullptr;
}

void PortalDesktop::Start(TellUser tellUser) {
  // The window's toolkit took Xlib's handler for broken connections.
  KeepWatchingConnections();
  state_->tellUser = std::move(tellUser);
  state_->session = std::make_unique<PortalSession>(state_->cursorMode, state_->Events());
  state_->session->Ask();
}

bool PortalDesktop::Allowed() const { return state_->Running(); }

// Where the stream that has the pointer last said it is; else what
// XWayland knows, in whole logical units.
ScreenPoint PortalDesktop::GetCursorPos() {
  if (state_->Usable()) {
    std::vector<std::size_t> streamOf;
    const ScreenLayout layout = state_->Layout(&streamOf);
    std::optional<PipeWireStreams::Cursor> newest;
    std::size_t at = 0;
    for (std::size_t i = 0; i < streamOf.size(); ++i) {
      const auto cursor = state_->pictures->LastCursor(streamOf[i]);
      if (cursor && (!newest || cursor->when > newest->when)) newest = cursor, at = i;
    }
    if (newest) {
      const PlacedOutput& o = layout.Outputs()[at];
      return ScreenPoint{
          std::int32_t(o.left + std::clamp(newest->position.x, 0, o.geometry.pixelWidth - 1)),
          std::int32_t(o.top + std::clamp(newest->position.y, 0, o.geometry.pixelHeight - 1))};
    }
    return state_->xPointer->PixelUnder(layout).value_or(ScreenPoint{});
  }
  // Without access the monitors' places are unknown: the layout's logical
  // units, which are its pixels at scale 1.
  return state_->xPointer->Position();
}

std::unique_ptr<ScreenContext> PortalDesktop::GetDC() {
  return std::make_unique<PortalScreenContext>(state_);
}

void PortalDesktop::RequestAccess() {
  if (state_->session && !state_->session->Running() && !state_->session->Asking())
    state_->session->Ask();
}

// NotifyPointerMotionAbsolute takes a point in the stream's own logical
// units: a point of the pixel as a fraction of the picture, times the
// stream's size. A quarter into the pixel rather than its centre: GNOME
// cuts fractions off, KDE rounds them, and both keep a quarter on the pixel.
void PortalDesktop::SetCursorPos(std::int32_t x, std::int32_t y) {
  if (!state_->Usable()) return;
  std::vector<std::size_t> streamOf;
  const ScreenLayout layout = state_->Layout(&streamOf);
  const ScreenLayout::Nearest to = layout.NearestPixel(x, y);
  if (to.output < 0) return;
  const PlacedOutput& o = layout.Outputs()[std::size_t(to.output)];
  const std::size_t stream = streamOf[std::size_t(to.output)];
  state_->NotePut(stream, ScreenPoint{std::int32_t(to.x - o.left), std::int32_t(to.y - o.top)});
  state_->session->MovePointer(state_->streams[stream].node,
                               (double(to.x - o.left) + 0.25) / o.scale,
                               (double(to.y - o.top) + 0.25) / o.scale);
}

// A refused button call ends the session on the spot, its pictures with
// it: nothing more goes out then.
void PortalDesktop::MouseEvent(std::uint32_t flags) {
  if (!state_->Usable()) return;
  ForEachButtonEvent(flags, [this](MouseButton button, bool press) {
    if (state_->session->Button(std::int32_t(LinuxButtonCode(button)), press) && state_->Running())
      state_->InputSent();
  });
}

void PortalDesktop::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Where the streams tell where the pointer is, no press while the user
// moves it: the press would follow their hand. Decided from what they
// told already, with no wait, so that the press follows the move at once.
// Where they do not, only whether the point is on a monitor.
bool PortalDesktop::CursorIsAt(std::int32_t x, std::int32_t y) {
  if (!state_->Usable()) return false;
  std::vector<std::size_t> streamOf;
  const ScreenLayout layout = state_->Layout(&streamOf);
  const int index = layout.OutputAt(x, y);
  if (index < 0) return false;
  if (!state_->pictures->TellPointer()) return true;
  const PlacedOutput& o = layout.Outputs()[std::size_t(index)];
  const ScreenPoint at{std::int32_t(x - o.left), std::int32_t(y - o.top)};
  // The pointer was sent to this very point just now, or it cannot be told.
  const auto& puts = state_->puts;
  if (puts.empty() || puts.back().stream != streamOf[std::size_t(index)] ||
      !(puts.back().at == at) || Clock::now() - puts.back().when > kUserMoving)
    return false;
  return !state_->UserMoving();
}

// As XWayland last saw the buttons, as under wlroots.
bool PortalDesktop::AnyMouseButtonDown() { return state_->xPointer->AnyButtonDown(); }

bool PortalDesktop::IsOwnWindowAt(std::int32_t x, std::int32_t y) {
  return state_->Running() && state_->xPointer->OwnWindowAt(state_->Layout(), x, y);
}

int PortalDesktop::EventIntervalMs() const { return 250; }

void PortalDesktop::TakeEvents() { state_->Usable(); }
