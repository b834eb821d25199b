#include "platform/win32/win32_desktop.h"

#include "platform/win32/screen_reader.h"
#include "platform/win32/window_at_point.h"
#include "platform/win32/windows_api.h"

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
// bits in increasing order (down before up).
void Win32Desktop::MouseEvent(std::uint32_t flags) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  ::SendInput(1, &input, sizeof input);
}

void Win32Desktop::Sleep(std::uint32_t ms) { ::Sleep(ms); }

// SetCursorPos says nothing when it puts the cursor elsewhere: inside a
// ClipCursor rectangle (games set one), or where the user moved the mouse
// since. So the cursor is asked where it is. And on a monitor as the system
// has them now: the virtual screen's bounding box also takes in the gaps
// between monitors of different sizes.
bool Win32Desktop::CursorIsAt(std::int32_t x, std::int32_t y) {
  POINT p{};
  return ::GetCursorPos(&p) && p.x == x && p.y == y &&
         ::MonitorFromPoint(p, MONITOR_DEFAULTTONULL) != nullptr;
}

// GetAsyncKeyState reports the physical buttons, before the left and right
// swap: every one of them is asked, so a swapped mouse is covered too.
bool Win32Desktop::AnyMouseButtonDown() {
  for (int key : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2})
    if (::GetAsyncKeyState(key) & 0x8000) return true;
  return false;
}

// Any window of this process counts: the main one, disabled or not, and
// the message boxes over it.
bool Win32Desktop::IsOwnWindowAt(std::int32_t x, std::int32_t y) {
  HWND window = TopLevelWindowAt(POINT{x, y});
  DWORD process = 0;
  return window && ::GetWindowThreadProcessId(window, &process) &&
         process == ::GetCurrentProcessId();
}

bool Win32Desktop::DropsInputAt(std::int32_t x, std::int32_t y) {
  return RunsAboveUs(TopLevelWindowAt(POINT{x, y}));
}
