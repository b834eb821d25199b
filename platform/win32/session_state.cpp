#include "platform/win32/session_state.h"

#include <string>

#include "platform/win32/windows_api.h"
// after <windows.h>
#include <shellapi.h>

namespace {
std::wstring NameOf(HDESK desktop) {
  wchar_t name[256] = {};
  DWORD size = 0;
  if (!desktop || !::GetUserObjectInformationW(desktop, UOI_NAME, name, sizeof name, &size))
    return {};
  return name;
}

// The secure desktop cannot be opened by a user's program at all; another
// desktop of the user's own can, and has another name.
bool InputDesktopIsOurs() {
  static const std::wstring ours = NameOf(::GetThreadDesktop(::GetCurrentThreadId()));
  HDESK input = ::OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS);
  if (!input) return false;
  const bool same = ours.empty() || NameOf(input) == ours;
  ::CloseDesktop(input);
  return same;
}
}  // namespace

bool UserSessionOnScreen() {
  QUERY_USER_NOTIFICATION_STATE state{};
  if (SUCCEEDED(::SHQueryUserNotificationState(&state)) &&
      (state == QUNS_NOT_PRESENT || state == QUNS_RUNNING_D3D_FULL_SCREEN))
    return false;
  return InputDesktopIsOurs();
}
