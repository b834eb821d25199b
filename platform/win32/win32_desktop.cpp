#include "platform/win32/win32_desktop.h"

#include <algorithm>

#include "platform/win32/windows_api.h"

namespace {
// A whole-screen device context, given back when the tracker replaces it.
class Win32ScreenContext final : public ScreenContext {
 public:
  explicit Win32ScreenContext(HDC dc) : dc_(dc) {}
  ~Win32ScreenContext() override {
    if (memory_) {
      ::SelectObject(memory_, initialBitmap_);
      ::DeleteDC(memory_);
    }
    if (bitmap_) ::DeleteObject(bitmap_);
    ::ReleaseDC(nullptr, dc_);
  }
  Win32ScreenContext(const Win32ScreenContext&) = delete;
  Win32ScreenContext& operator=(const Win32ScreenContext&) = delete;

  // GDI already answers CLR_INVALID off the screen or on failure.
  Colorref GetPixel(std::int32_t x, std::int32_t y) override { return ::GetPixel(dc_, x, y); }

  void ReadGrid(const SampleGrid& grid, Colorref* out) override;

 private:
  bool EnsureBitmap(std::int64_t width, std::int64_t height);

  HDC dc_;
  // Where bulk reads are copied to; kept for the next pass.
  HDC memory_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ initialBitmap_ = nullptr;
  const std::uint32_t* bits_ = nullptr;  // top-down rows of 0x00RRGGBB
  std::int64_t bitmapWidth_ = 0, bitmapHeight_ = 0;
};

// Largest copy of the screen held at once; taller grids are read in bands.
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 23;

bool Win32ScreenContext::EnsureBitmap(std::int64_t width, std::int64_t height) {
  if (bitmap_ && width <= bitmapWidth_ && height <= bitmapHeight_) return true;
  if (!memory_) {
    memory_ = ::CreateCompatibleDC(dc_);
    if (!memory_) return false;
  }
  width = std::max(width, bitmapWidth_);
  height = std::max(height, bitmapHeight_);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = static_cast<LONG>(width);
  info.bmiHeader.biHeight = -static_cast<LONG>(height);  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bitmap) return false;
  HGDIOBJ previous = ::SelectObject(memory_, bitmap);
  if (!initialBitmap_) initialBitmap_ = previous;
  if (bitmap_) ::DeleteObject(bitmap_);
  bitmap_ = bitmap;
  bits_ = static_cast<const std::uint32_t*>(bits);
  bitmapWidth_ = width;
  bitmapHeight_ = height;
  return true;
}

// One BitBlt of the grid's bounding box (clipped to the screen) per band of
// rows instead of a GetPixel per sample. Without CAPTUREBLT, which would make
// the copy wait on layered windows and flicker the cursor on every pass. Samples off the screen, or
// in a band that could not be copied, read as CLR_INVALID like a failed GetPixel.
void Win32ScreenContext::ReadGrid(const SampleGrid& grid, Colorref* out) {
  if (grid.Count() <= 0) return;
  const std::int64_t screenLeft = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  const std::int64_t screenTop = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  const std::int64_t screenRight = screenLeft + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const std::int64_t screenBottom = screenTop + ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  const std::int64_t left = std::max(grid.X(0, 0), screenLeft);
  const std::int64_t right = std::min(grid.X(grid.runs - 1, grid.samples - 1) + 1, screenRight);
  const std::int64_t width = right - left;
  const std::int64_t rowsPerBand =
      width > 0 ? std::max<std::int64_t>(1, (kMaxBitmapPixels / width - 1) / grid.rowStep + 1)
                : grid.rows;

  for (std::int64_t firstRow = 0; firstRow < grid.rows; firstRow += rowsPerBand) {
    const std::int64_t endRow = std::min<std::int64_t>(grid.rows, firstRow + rowsPerBand);
    const std::int64_t top = std::max(grid.Y(firstRow), screenTop);
    const std::int64_t bottom = std::min(grid.Y(endRow - 1) + 1, screenBottom);
    const bool copied =
        width > 0 && bottom > top && EnsureBitmap(width, bottom - top) &&
        ::BitBlt(memory_, 0, 0, static_cast<int>(width), static_cast<int>(bottom - top), dc_,
                 static_cast<int>(left), static_cast<int>(top), SRCCOPY);
    for (std::int64_t row = firstRow; row < endRow; ++row) {
      const std::int64_t y = grid.Y(row);
      const bool rowOnScreen = copied && y >= top && y < bottom;
      for (std::int64_t sample = 0; sample < grid.samples; ++sample)
        for (std::int64_t run = 0; run < grid.runs; ++run) {
          const std::int64_t x = grid.X(run, sample);
          if (!rowOnScreen || x < left || x >= right) {
            *out++ = CLR_INVALID;
            continue;
          }
          const std::uint32_t pixel = bits_[(y - top) * bitmapWidth_ + (x - left)];
          *out++ = RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
        }
    }
  }
}
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

// On a monitor as the system has them now; the virtual screen's bounding
// box would also take in the gaps between monitors of different sizes.
bool Win32Desktop::CursorIsAt(std::int32_t x, std::int32_t y) {
  return ::MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONULL) != nullptr;
}

// GetAsyncKeyState reports the physical buttons, before the left and right
// swap: every one of them is asked, so a swapped mouse is covered too.
bool Win32Desktop::AnyMouseButtonDown() {
  for (int key : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2})
    if (::GetAsyncKeyState(key) & 0x8000) return true;
  return false;
}

// The topmost visible top-level window at the point, disabled ones
// included (the main window is disabled under an error box), frame
// included.
bool Win32Desktop::IsOwnWindowAt(std::int32_t x, std::int32_t y) {
  HWND desktop = ::GetDesktopWindow();
  HWND window = ::ChildWindowFromPointEx(desktop, POINT{x, y}, CWP_SKIPINVISIBLE);
  if (!window || window == desktop) return false;
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  return process == ::GetCurrentProcessId();
}
