#include "platform/x11/pointer_queries.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/x11/error_trap.h"

namespace {
// Whether `window` or a window inside it (a window manager's frame holds the
// client window) carries our process id. Any of them may vanish meanwhile:
// asked inside an XErrorTrap, a vanished one carries nothing.
bool CarriesPid(Display* d, Atom netWmPid, Window window, int depth) {
  Atom type;
  int format;
  unsigned long items, remaining;
  unsigned char* data = nullptr;
  const bool read = XGetWindowProperty(d, window, netWmPid, 0, 1, False, XA_CARDINAL, &type,
                                       &format, &items, &remaining, &data) == Success;
  const bool carries = read && type != None;
  const bool ours = carries && data && format == 32 && items == 1 &&
                    *reinterpret_cast<unsigned long*>(data) == static_cast<unsigned long>(getpid());
  if (data) XFree(data);
  if (carries) return ours;
  if (depth == 0) return false;
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(d, window, &root, &parent, &children, &count)) return false;
  bool inside = false;
  for (unsigned int i = 0; i < count && !inside; ++i)
    inside = CarriesPid(d, netWmPid, children[i], depth - 1);
  if (children) XFree(children);
  return inside;
}
}  // namespace

X11PointerQueries::X11PointerQueries(Display* display, Window rootWindow)
    : display_(display), root_(rootWindow), netWmPid_(XInternAtom(display, "_NET_WM_PID", False)) {}

X11PointerQueries::Pointer X11PointerQueries::Query() {
  Pointer pointer;
  Window root, child;
  int windowX, windowY;
  pointer.onThisScreen = XQueryPointer(display_, root_, &root, &child, &pointer.at.x, &pointer.at.y,
                                       &windowX, &windowY, &pointer.buttons);
  return pointer;
}

ScreenPoint X11PointerQueries::Position() { return Query().at; }

// Asked right after the cursor was moved there: the server keeps the
// pointer on the screen's monitors, so it is at (x, y) exactly when the
// point is on one of them. One round trip, and the least time for the
// screen to change before the press; it also catches a pointer the user
// moved meanwhile, which the press would follow.
bool X11PointerQueries::IsAt(std::int32_t x, std::int32_t y) {
  const Pointer pointer = Query();
  return pointer.onThisScreen && pointer.at == ScreenPoint{x, y};
}

bool X11PointerQueries::AnyButtonDown() {
  return (Query().buttons &
          (Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask)) != 0;
}

// The wait counts only the time this process and the server were running:
// a round that took longer (the machine or the server stalled, as a
// virtual machine's host can stall it) counts a few ms, since the window
// manager could not let the click through meanwhile either. After such a
// stall the server may answer before the manager has had its turn.
bool X11PointerQueries::AwaitButtonsUp(unsigned int mask, int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  constexpr Clock::duration kRoundAtMost = std::chrono::milliseconds(5);
  const Clock::duration budget = std::chrono::milliseconds(timeoutMs);
  Clock::duration waited{};
  for (Clock::time_point last = Clock::now();;) {
    if ((Query().buttons & mask) == 0) return true;
    const Clock::time_point now = Clock::now();
    waited += std::min(now - last, kRoundAtMost);
    if (waited >= budget) return false;
    last = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

bool X11PointerQueries::OwnWindowAt(std::int32_t x, std::int32_t y) {
  XErrorTrap trap(display_);
  Window topLevel = None;
  int childX, childY;
  if (!XTranslateCoordinates(display_, root_, root_, x, y, &childX, &childY, &topLevel) ||
      topLevel == None)
    return false;
  return CarriesPid(display_, netWmPid_, topLevel, 2);
}
