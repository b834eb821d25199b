#include "platform/win32/window_at_point.h"

#include <dwmapi.h>

namespace {
// Windows of apps on another virtual desktop, and suspended store apps,
// stay "visible" but are cloaked: nothing of them is on the screen.
bool IsCloaked(HWND window) {
  DWORD cloaked = 0;
  return SUCCEEDED(::DwmGetWindowAttribute(window, DWMWA_CLOAKED, &cloaked, sizeof cloaked)) &&
         cloaked != 0;
}

// The system's hit test for a top-level window, without sending it a
// message: shown, not click-through, the point inside its rectangle and
// its region if it has one.
bool TakesClickAt(HWND window, POINT point) {
  RECT rect{};
  if (!::IsWindowVisible(window) || !::GetWindowRect(window, &rect) || !::PtInRect(&rect, point))
    return false;
  const LONG_PTR clickThrough = WS_EX_LAYERED | WS_EX_TRANSPARENT;
  if ((::GetWindowLongPtrW(window, GWL_EXSTYLE) & clickThrough) == clickThrough) return false;
  HRGN region = ::CreateRectRgn(0, 0, 0, 0);
  const bool inside = ::GetWindowRgn(window, region) == ERROR ||
                      ::PtInRegion(region, point.x - rect.left, point.y - rect.top);
  ::DeleteObject(region);
  return inside;
}

}  // namespace

// ChildWindowFromPointEx on the desktop window takes points relative to
// it, and its rectangle is the primary monitor's: it finds nothing on the
// others.
HWND TopLevelWindowAt(POINT point) {
  HWND hit = ::WindowFromPoint(point);
  HWND window = hit ? ::GetAncestor(hit, GA_ROOT) : nullptr;
  if (!window || !IsCloaked(window)) return window;
  for (HWND below = ::GetWindow(window, GW_HWNDNEXT); below;
       below = ::GetWindow(below, GW_HWNDNEXT))
    if (!IsCloaked(below) && TakesClickAt(below, point)) return below;
  return nullptr;
}

// Reading the owner's integrity level would not do: a service's process
// cannot be opened at all. Nobody handles the message; a window that is
// merely busy takes it later and lets it go.
bool RefusesOurInput(HWND window, PostMessageFunction post) {
  static const UINT probe = ::RegisterWindowMessageW(L"colorclicker input probe");
  if (!window || !probe) return false;
  ::SetLastError(ERROR_SUCCESS);
  return !post(window, probe, 0, 0) && ::GetLastError() == ERROR_ACCESS_DENIED;
}
