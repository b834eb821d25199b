#include "platform/x11/x11_desktop.h"

#include <X11/extensions/XTest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/button_events.h"
#include "platform/x11/connection_lost.h"
#include "platform/x11/screen_reader.h"
#include "platform/x11/x11_connection.h"

namespace {
// Long enough for a window manager to let a frozen click through: about a
// millisecond when idle, up to 122 ms seen with a build running beside it,
// and a stall of the whole machine does not count. A click still queued
// after it ends the clicks of its pass rather than being taken for the
// user's held button.
constexpr int kReleaseHandledWithinMs = 500;
}  // namespace

DesktopRoute::Opening X11Desktop::OpenRoute(const OnDesktopLost& onLost) {
  DesktopRoute::Opening opening;
  std::unique_ptr<X11Desktop> x11 = Open();
  if (!x11) {
    const char* display = std::getenv("DISPLAY");
    opening.why = {Reason::NoXDisplay, display ? display : "", {}};
    return opening;
  }
  x11->OnConnectionLost([onLost] { onLost(Reason::DisplayLost); });
  opening.name = "screen: X11 (" + x11->ReadMethodName() + "), pointer: XTest";
  opening.desktop = std::move(x11);
  return opening;
}

std::unique_ptr<X11Desktop> X11Desktop::Open(const char* displayName, X11ReadOptions options) {
  std::shared_ptr<X11Connection> connection = X11Connection::Open(displayName, options);
  if (!connection) return nullptr;
  int eventBase, errorBase, major, minor;
  if (!XTestQueryExtension(connection->display, &eventBase, &errorBase, &major, &minor))
    return nullptr;
  return std::unique_ptr<X11Desktop>(new X11Desktop(std::move(connection)));
}

X11Desktop::X11Desktop(std::shared_ptr<X11Connection> connection)
    : connection_(std::move(connection)), pointer_(connection_->display, connection_->root) {}

X11Desktop::~X11Desktop() = default;

// The window's toolkit took Xlib's handler for broken connections.
void X11Desktop::Start(TellUser) { KeepWatchingConnections(); }

void X11Desktop::OnConnectionLost(std::function<void()> onLost) {
  WatchConnection(connection_->display, std::move(onLost));
}

X11ReadOptions X11Desktop::ReadMethod() const { return connection_->usable; }

std::string X11Desktop::ReadMethodName() const {
  const X11ReadOptions m = ReadMethod();
  return std::string(m.render ? "XRender sampling + " : "whole area, ") +
         (m.sharedMemory ? "XShmGetImage" : "XGetImage");
}

ScreenPoint X11Desktop::GetCursorPos() { return pointer_.Position(); }

std::unique_ptr<ScreenContext> X11Desktop::GetDC() { return OpenScreenReader(connection_); }

void X11Desktop::SetCursorPos(std::int32_t x, std::int32_t y) {
  // A real motion event, so the window under the cursor sees it enter.
  XTestFakeMotionEvent(connection_->display, -1, x, y, CurrentTime);
  XSync(connection_->display, False);
}

void X11Desktop::MouseEvent(std::uint32_t flags) {
  ForEachButtonEvent(flags, [this](MouseButton button, bool press) {
    // X numbers the middle button 2 and the right one 3.
    const unsigned int x = button == MouseButton::Left ? 1 : button == MouseButton::Right ? 3 : 2;
    XTestFakeButtonEvent(connection_->display, x, press, CurrentTime);
    if (!press) releasedButtons_ |= Button1Mask << (x - 1);
    // Each event reaches the server before anything is read again.
    XSync(connection_->display, False);
  });
}

// XSync only says that the server has taken the events in: while a window
// manager's grab holds pointer events back, the server still reports the
// button held, and the next point would be taken for one the user holds.
bool X11Desktop::AwaitInputHandled() {
  if (releasedButtons_ == 0) return true;
  if (!pointer_.AwaitButtonsUp(releasedButtons_, kReleaseHandledWithinMs)) {
    // Why the rest of the pass goes unclicked, for whoever reads the log.
    std::fprintf(stderr, "colorclicker: a button released %d ms ago still shows held\n",
                 kReleaseHandledWithinMs);
    return false;
  }
  releasedButtons_ = 0;
  return true;
}

void X11Desktop::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Grabbing the server keeps other clients' requests, RandR's screen and
// monitor changes among them, from running between the check and the
// click; the grab lasts a few round trips.
void X11Desktop::HoldScreenLayout(bool hold) {
  if (hold)
    XGrabServer(connection_->display);
  else
    XUngrabServer(connection_->display);
  XFlush(connection_->display);
}

bool X11Desktop::CursorIsAt(std::int32_t x, std::int32_t y) { return pointer_.IsAt(x, y); }

bool X11Desktop::AnyMouseButtonDown() { return pointer_.AnyButtonDown(); }

bool X11Desktop::IsOwnWindowAt(std::int32_t x, std::int32_t y) {
  return pointer_.OwnWindowAt(x, y);
}
