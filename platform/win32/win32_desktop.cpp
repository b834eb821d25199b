#include "platform/win32/win32_desktop.h"

#include "platform/win32/screen_reader.h"
#include "platform/win32/session_state.h"
#include "platform/win32/window_at_point.h"
#include "platform/win32/windows_api.h"

namespace {
// Ample for the hooks of mouse utilities, which the system passes over
// when they take too long (LowLevelHooksTimeout); a click not handled by
// then ends the clicks of its pass.
constexpr DWORD kInputHandledWithinMs = 500;
// Wine reports a stale cursor position for up to 6 ms after a move.
constexpr DWORD kEchoSettleMs = 10;

// The system's state of the buttons: ours included until it handled them,
// and all up while a window of a program with more rights is in front.
bool SystemSaysButtonDown() {
  for (int key : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2})
    if (::GetAsyncKeyState(key) & 0x8000) return true;
  return false;
}

bool CursorAt(std::int32_t x, std::int32_t y) {
  POINT p{};
  return ::GetCursorPos(&p) && p.x == x && p.y == y &&
         ::MonitorFromPoint(p, MONITOR_DEFAULTTONULL) != nullptr;
}
}  // namespace

void Win32Desktop::Start(TellUser) { watch_.Start(); }

void Win32Desktop::End() { watch_.Stop(); }

ScreenPoint Win32Desktop::GetCursorPos() {
  POINT p{};
  // On failure (e.g. a secure desktop is up) the origin stands in, as the
  // framework's cursor read would give.
  if (!::GetCursorPos(&p)) p = {};
  return {static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
}

std::unique_ptr<ScreenContext> Win32Desktop::GetDC() { return Win32ScreenContext::Open(); }

void Win32Desktop::SetCursorPos(std::int32_t x, std::int32_t y) { ::SetCursorPos(x, y); }

// One input event carrying the flags as given: no move, no absolute
// position, so it acts at the cursor, and the system handles the set button
// bits in increasing order (down before up). Marked as ours for the watch.
void Win32Desktop::MouseEvent(std::uint32_t flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.dwExtraInfo = watch_.MarkNext();
  ::SendInput(1, &input, sizeof input);
}

// Without the watch nothing tells, and the events go on as sent.
bool Win32Desktop::AwaitInputHandled() {
  return !watch_.Running() || watch_.AwaitSeen(kInputHandledWithinMs);
}

void Win32Desktop::Sleep(std::uint32_t ms) { ::Sleep(ms); }

// SetCursorPos says nothing when it puts the cursor elsewhere: inside a
// ClipCursor rectangle (games set one), or where the user moved the mouse
// since. So the cursor is asked where it is. And on a monitor as the system
// has them now: the virtual screen's bounding box also takes in the gaps
// between monitors of different sizes. A first move can land wrong where
// monitors differ in size, and under Wine a late echo of an earlier move
// can overwrite it, 1 to 6 ms after: so it is made once more, once such
// an echo has come in, before the point is given up.
bool Win32Desktop::CursorIsAt(std::int32_t x, std::int32_t y) {
  if (CursorAt(x, y)) return true;
  ::Sleep(kEchoSettleMs);
  ::SetCursorPos(x, y);
  return CursorAt(x, y);
}

// The watch's view decides: the system's own state holds our press until it
// handled it. It also has the last word over a button the watch saw go down
// but never up (released on a secure desktop, where hooks are not called),
// unless a window it hides the buttons from is in front. Without the watch,
// a hidden state counts as held: better no click than one into a drag.
bool Win32Desktop::AnyMouseButtonDown() {
  if (watch_.Running() && !watch_.UserHoldsButton()) return false;
  return SystemSaysButtonDown() || RefusesOurInput(::GetForegroundWindow());
}

bool Win32Desktop::SessionOnScreen() { return UserSessionOnScreen(); }

// Any window of this process counts: the main one, disabled or not, and
// the message boxes over it.
bool Win32Desktop::IsOwnWindowAt(std::int32_t x, std::int32_t y) {
  HWND window = TopLevelWindowAt(POINT{x, y});
  DWORD process = 0;
  return window && ::GetWindowThreadProcessId(window, &process) &&
         process == ::GetCurrentProcessId();
}

bool Win32Desktop::DropsInputAt(std::int32_t x, std::int32_t y) {
  return RefusesOurInput(TopLevelWindowAt(POINT{x, y}));
}
