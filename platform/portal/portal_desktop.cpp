#include "platform/portal/portal_desktop.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "platform/linux_button_codes.h"
#include "platform/output_reads.h"
#include "platform/portal/pipewire_streams.h"
#include "platform/portal/pointer_puts.h"
#include "platform/portal/portal_layout.h"
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
// ScreenCast cursor modes.
constexpr std::uint32_t kCursorHidden = 1, kCursorEmbedded = 2, kCursorMetadata = 4;
// A monitor whose stream sent no picture this long after the session
// started is told of: the first came within 0.4 s here, and KWin without
// a GPU never sends one.
constexpr std::chrono::seconds kFirstPicture{10};

// Which layout a read, a move or a press was made in: the session's
// streams, and the generation of their pictures' sizes.
struct LayoutStamp {
  std::uint64_t session = 0, pictures = 0;
  bool operator==(const LayoutStamp&) const = default;
};
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
  // Where the program put the pointer lately (streams with the pointer).
  PointerPuts puts;

  // A stream's picture may change size between a read and a click (its
  // first picture at a scale other than 1 moves every other monitor), and
  // a frame that cannot be used drops it. So the pointer moves, and the
  // press follows, only while the layout is the one of the latest read.
  std::uint64_t sessions = 0;
  LayoutStamp readStamp;
  std::optional<LayoutStamp> moveStamp;  // of the move a press may follow
  bool pressDropped = false;             // so its release goes too
  Clock::time_point startedAt;
  bool picturesChecked = false;

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
    puts.Clear();
    ++sessions;
    moveStamp.reset();
    pressDropped = false;
    startedAt = Clock::now();
    picturesChecked = false;
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
      const std::string failure = pictures->NegotiationFailure();
      session->End();
      Ended(failure.empty() ? Notice{Reason::ScreenStreamBroken, {}, {}}
                            : Notice{Reason::NoPictureFormat, failure, {}});
    }
    return Running();
  }

  // Once, a while after the session started: the monitors whose streams
  // sent no picture yet, which read as nothing until one comes. A stream
  // that agreed on no format by then never will (PipeWire leaves a link
  // that could not agree as it is): that ends the session.
  void CheckPictures() {
    if (!Running() || picturesChecked || Clock::now() - startedAt < kFirstPicture) return;
    picturesChecked = true;
    std::string silent;
    bool agreed = true;
    for (std::size_t i = 0; i < streams.size(); ++i) {
      const PipeWireStreams::Health health = pictures->HealthOf(i);
      if (health.pictures > 0) continue;
      silent += (silent.empty() ? "" : ", ") + std::to_string(i + 1);
      agreed = agreed && health.agreed;
      std::fprintf(stderr,
                   "colorclicker: monitor %zu (PipeWire node %u): no picture in %lld s; format "
                   "%s, %llu frames unreadable\n",
                   i + 1, streams[i].node, static_cast<long long>(kFirstPicture.count()),
                   health.agreed ? "agreed" : "not agreed",
                   static_cast<unsigned long long>(health.unusable));
    }
    if (silent.empty()) return;
    if (agreed) return Tell({Reason::NoPictures, silent, {}});
    session->End();
    Ended({Reason::NoPictureFormat, {}, {}});
  }

  // The screen space over the shared monitors, and which layout it is.
  ScreenLayout Layout(std::vector<std::size_t>* streamOf = nullptr,
                      LayoutStamp* stamp = nullptr) const {
    const PipeWireStreams::Sizes sizes = pictures->PictureSizes();
    if (stamp) *stamp = {sessions, sizes.generation};
    return PortalLayout(streams, sizes.sizes, streamOf);
  }
  LayoutStamp Stamp() const { return {sessions, pictures->Generation()}; }

  // The first read after a click waits until the compositor has handled
  // it (where the streams tell the pointer's moves), or for the next
  // picture (where they do not).
  std::shared_ptr<const StreamFrame> Picture(std::size_t stream) {
    puts.WaitHandled(*pictures);
    if (!waitAfterInput[stream]) return pictures->Newest(stream);
    waitAfterInput[stream] = false;
    return pictures->WaitNewer(stream, sequenceAtInput[stream], kPictureAfterInput);
  }

  void InputSent() {
    if (pictures->TellPointer()) {
      puts.InputSent();
      return;
    }
    for (std::size_t i = 0; i < streams.size(); ++i) {
      const std::shared_ptr<const StreamFrame> newest = pictures->Newest(i);
      sequenceAtInput[i] = newest ? newest->sequence : 0;
      waitAfterInput[i] = true;
    }
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
    const ScreenLayout layout = s_->Layout(&streamOf, &s_->readStamp);
    const int index = layout.OutputAt(x, y);
    if (index < 0) return CLR_INVALID;
    const PlacedOutput& o = layout.Outputs()[std::size_t(index)];
    const std::shared_ptr<const StreamFrame> picture = s_->Picture(streamOf[std::size_t(index)]);
    if (!picture || !(s_->Stamp() == s_->readStamp)) return CLR_INVALID;
    return picture->Shown(x - o.left, y - o.top);
  }

 private:
  // From the pictures kept: no waiting, except once per stream after a click.
  void ReadBulk(const SampleGrid& g, Colorref* out) override {
    if (!s_->Usable()) {
      std::fill(out, out + g.Count(), CLR_INVALID);
      return;
    }
    // An output whose picture changed size or went meanwhile is not read,
    // nor those after it.
    std::vector<std::size_t> streamOf;
    const ScreenLayout layout = s_->Layout(&streamOf, &s_->readStamp);
    ReadGridPerOutput(layout.Outputs(), g, out,
                      [&](std::size_t i, const PixelRect&) -> std::shared_ptr<const StreamFrame> {
                        auto picture = s_->Picture(streamOf[i]);
                        if (!(s_->Stamp() == s_->readStamp)) return nullptr;
                        return picture;
                      });
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
// Not in another layout than the latest read's: the point would not be
// where its colour was read.
void PortalDesktop::SetCursorPos(std::int32_t x, std::int32_t y) {
  state_->moveStamp.reset();
  if (!state_->Usable()) return;
  std::vector<std::size_t> streamOf;
  LayoutStamp stamp;
  const ScreenLayout layout = state_->Layout(&streamOf, &stamp);
  const ScreenLayout::Nearest to = layout.NearestPixel(x, y);
  if (to.output < 0 || !(stamp == state_->readStamp)) return;
  state_->moveStamp = stamp;
  const PlacedOutput& o = layout.Outputs()[std::size_t(to.output)];
  const std::size_t stream = streamOf[std::size_t(to.output)];
  state_->puts.Note(*state_->pictures, stream,
                    ScreenPoint{std::int32_t(to.x - o.left), std::int32_t(to.y - o.top)});
  state_->session->MovePointer(state_->streams[stream].node,
                               (double(to.x - o.left) + 0.25) / o.scale,
                               (double(to.y - o.top) + 0.25) / o.scale);
}

// A press goes only while the layout is still the one of its move; a
// press left out takes its release along. A refused button call ends the
// session on the spot, its pictures with it: nothing more goes out then.
void PortalDesktop::MouseEvent(std::uint32_t flags) {
  if (!state_->Usable()) return;
  ForEachButtonEvent(flags, [this](MouseButton button, bool press) {
    State& s = *state_;
    if (press) s.pressDropped = !s.moveStamp || !(*s.moveStamp == s.Stamp());
    if (s.pressDropped) {
      if (press)
        std::fprintf(stderr, "colorclicker: the screen changed before a press: left out\n");
      else
        s.pressDropped = false;
      return;
    }
    if (s.session->Button(std::int32_t(LinuxButtonCode(button)), press) && s.Running())
      s.InputSent();
  });
}

void PortalDesktop::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Where the streams tell where the pointer is, no press while the user
// moves it: the press would follow their hand. Decided from what they
// told already, with no wait, so that the press follows the move at once.
// Where they do not, only whether the point is on a monitor. Either way
// not once the layout changed since the move, made in the latest read's.
bool PortalDesktop::CursorIsAt(std::int32_t x, std::int32_t y) {
  if (!state_->Usable() || !state_->moveStamp) return false;
  std::vector<std::size_t> streamOf;
  LayoutStamp stamp;
  const ScreenLayout layout = state_->Layout(&streamOf, &stamp);
  const int index = layout.OutputAt(x, y);
  if (index < 0 || !(stamp == *state_->moveStamp)) return false;
  if (!state_->pictures->TellPointer()) return true;
  const PlacedOutput& o = layout.Outputs()[std::size_t(index)];
  const ScreenPoint at{std::int32_t(x - o.left), std::int32_t(y - o.top)};
  // The pointer was sent to this very point just now, or it cannot be told.
  return state_->puts.JustPut(streamOf[std::size_t(index)], at) &&
         !state_->puts.UserMoving(*state_->pictures);
}

// As XWayland last saw the buttons, as under wlroots.
bool PortalDesktop::AnyMouseButtonDown() { return state_->xPointer->AnyButtonDown(); }

bool PortalDesktop::IsOwnWindowAt(std::int32_t x, std::int32_t y) {
  return state_->Running() && state_->xPointer->OwnWindowAt(state_->Layout(), x, y);
}

int PortalDesktop::EventIntervalMs() const { return 250; }

void PortalDesktop::TakeEvents() {
  if (state_->Usable()) state_->CheckPictures();
}
