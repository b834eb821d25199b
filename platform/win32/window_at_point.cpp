#include "platform/win32/window_at_point.h"

#include <dwmapi.h>

#include <optional>

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

// The mandatory label's RID (SECURITY_MANDATORY_*_RID) of a process's
// token.
std::optional<DWORD> IntegrityLevelOf(HANDLE process) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) return std::nullopt;
  alignas(TOKEN_MANDATORY_LABEL) unsigned char
      buffer[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  std::optional<DWORD> level;
  if (::GetTokenInformation(token, TokenIntegrityLevel, buffer, sizeof buffer, &size)) {
    PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer)->Label.Sid;
    if (::IsValidSid(sid) && *::GetSidSubAuthorityCount(sid) > 0)
      level = *::GetSidSubAuthority(sid, *::GetSidSubAuthorityCount(sid) - 1u);
  }
  ::CloseHandle(token);
  return level;
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

// Processes of the same user may read each other's level, elevated or
// not. Another user's (a service's window) cannot be read and counts as
// not higher: better a click that may be dropped than none where it would
// land.
bool RunsAboveUs(HWND window) {
  DWORD processId = 0;
  if (!window || !::GetWindowThreadProcessId(window, &processId)) return false;
  static const std::optional<DWORD> ours = IntegrityLevelOf(::GetCurrentProcess());
  if (!ours) return false;
  HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return false;
  const std::optional<DWORD> theirs = IntegrityLevelOf(process);
  ::CloseHandle(process);
  return theirs && *theirs > *ours;
}
