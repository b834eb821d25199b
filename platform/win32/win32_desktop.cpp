#include "platform/win32/win32_desktop.h"

#include "platform/win32/windows_api.h"

namespace {
// A whole-screen device context, given back when the tracker replaces it.
class Win32ScreenContext final : public ScreenContext {
 public:
  explicit Win32ScreenContext(HDC dc) : dc_(dc) {}
  ~Win32ScreenContext() override { ::ReleaseDC(nullptr, dc_); }
  Win32ScreenContext(const Win32ScreenContext&) = delete;
  Win32ScreenContext& operator=(const Win32ScreenContext&) = delete;

  // GDI already answers CLR_INVALID off the screen or on failure.
  Colorref GetPixel(std::int32_t x, std::int32_t y) override { return ::GetPixel(dc_, x, y); }

 private:
  HDC dc_;
};
}  // namespace

ScreenPoint Win32Desktop::GetCursorPos() {
  POINT p{};
  // On failure (e.g. a secure desktop is up) the origin stands in, as the
  // framework's cursor read would give.
  if (!::GetCursorPos(&p)) p = {};
  return {static_cast<std::int32_t>(p.x), static_cast<std::int32_t>(p.y)};
}

std::unique_ptr<ScreenContext> Win32Desktop::GetDC() {
  HDC dc = ::GetDC(nullptr);
  if (!dc) return nullptr;
  return std::make_unique<Win32ScreenContext>(dc);
}

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
