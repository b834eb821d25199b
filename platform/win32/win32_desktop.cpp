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

bool CursorAt(std::int32_t x, std::int32_t y) {
  POINT p{};
  return ::GetCursorPos(&p) && p.x == x && p.y == y &&
         ::MonitorFromPoint(p, MONITOR_DEFAULTTONULL) != nullptr;
}
}  // namespace

bool Win32Desktop::Calls::ButtonsSwapped() { return ::GetSystemMetrics(SM_SWAPBUTTON) != 0; }

// One input event carrying the flags as given: no move, no absolute
// position, so it acts at the cursor, and the system handles the set button
// bits in increasing order (down before up). Marked as ours for the watch.
bool Win32Desktop::Calls::Insert(std::uint32_t flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.dwExtraInfo = watch_.NextMark();
  if (::SendInput(1, &input, sizeof input) != 1) return false;
  watch_.MarkSent();
  return true;
}

// UIPI keeps our input from a window with more rights at the cursor, or
// holding the mouse from the front.
bool Win32Desktop::Calls::TargetRefusesInput() {
  POINT p{};
  return (::GetCursorPos(&p) && RefusesOurInput(TopLevelWindowAt(p))) ||
         RefusesOurInput(::GetForegroundWindow());
}

bool Win32Desktop::Calls::AnyButtonDown() {
  for (int key : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2})
    if (::GetAsyncKeyState(key) & 0x8000) return true;
  return false;
}

bool Win32Desktop::Calls::FrontRefusesInput() { return RefusesOurInput(::GetForegroundWindow()); }

// Not known: as if input came now, which the hook has not seen.
std::uint32_t Win32Desktop::Calls::LastInputTick() {
  LASTINPUTINFO info{sizeof info, 0};
  return ::GetLastInputInfo(&info) ? info.dwTime : ::GetTickCount();
}

bool Win32Desktop::Calls::AwaitOwnEventsSeen() { return watch_.AwaitSeen(kInputHandledWithinMs); }

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

// Wine counts a cursor move as input, which no hook is shown.
void Win32Desktop::MoveCursor(std::int32_t x, std::int32_t y) {
  ::SetCursorPos(x, y);
  watch_.View().OwnInputUpTo(calls_.LastInputTick());
}

void Win32Desktop::SetCursorPos(std::int32_t x, std::int32_t y) { MoveCursor(x, y); }

void Win32Desktop::MouseEvent(std::uint32_t flags) { sender_.Send(flags); }

bool Win32Desktop::AwaitInputHandled() { return watch_.View().AwaitOwnInput(calls_); }

std::optional<Reason> Win32Desktop::InputRefused() { return sender_.Refusal(); }

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
  MoveCursor(x, y);
  return CursorAt(x, y);
}

bool Win32Desktop::AnyMouseButtonDown() { return watch_.View().UserHoldsButton(calls_); }

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
