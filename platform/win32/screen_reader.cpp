#include "platform/win32/screen_reader.h"

#include <algorithm>
#include <vector>

const ScreenDcSource kWholeScreenDc{[] { return ::GetDC(nullptr); },
                                    [](HDC dc) { ::ReleaseDC(nullptr, dc); }};

namespace {
// Largest copy of the screen held at once; taller grids are read in bands.
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 23;

BOOL CALLBACK AddMonitor(HMONITOR, HDC, LPRECT rect, LPARAM list) {
  reinterpret_cast<std::vector<MonitorRect>*>(list)->push_back(
      {rect->left, rect->top, rect->right, rect->bottom});
  return TRUE;
}

void EnumerateMonitors(std::vector<MonitorRect>& out) {
  ::EnumDisplayMonitors(nullptr, nullptr, &AddMonitor, reinterpret_cast<LPARAM>(&out));
}
}  // namespace

Win32ScreenContext::Win32ScreenContext(HDC dc, const ScreenDcSource& source)
    : source_(source), dc_(dc), readFailed_(!dc) {
  monitors_.Take(&EnumerateMonitors);
}

std::unique_ptr<Win32ScreenContext> Win32ScreenContext::Open(const ScreenDcSource& source) {
  return std::make_unique<Win32ScreenContext>(source.take(), source);
}

Win32ScreenContext::~Win32ScreenContext() {
  DropBitmap();
  if (dc_) source_.release(dc_);
}

void Win32ScreenContext::DropBitmap() {
  if (memory_) {
    ::SelectObject(memory_, initialBitmap_);
    ::DeleteDC(memory_);
  }
  if (bitmap_) ::DeleteObject(bitmap_);
  memory_ = nullptr;
  bitmap_ = nullptr;
  initialBitmap_ = nullptr;
  bits_ = nullptr;
  bitmapWidth_ = bitmapHeight_ = 0;
}

// Only the screen's device context is taken anew: the copy is a 32-bit
// DIB, whatever the display's format, and is kept for the next pass.
void Win32ScreenContext::StartPass() {
  monitors_.Take(&EnumerateMonitors);
  if (!readFailed_) return;
  readFailed_ = false;
  if (dc_) source_.release(dc_);
  dc_ = source_.take();
}

Colorref Win32ScreenContext::GetPixel(std::int32_t x, std::int32_t y) {
  Colorref pixel = CLR_INVALID;
  ReadBulk({x, y, 1, 1, 1, 1, 1, 1}, &pixel);
  return pixel;
}

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
// rows. Without CAPTUREBLT, which would make the copy wait on layered
// windows and flicker the cursor on every pass. Samples off the monitors
// (in a gap between them too), or in a band that could not be copied, read
// as CLR_INVALID.
void Win32ScreenContext::ReadBulk(const SampleGrid& grid, Colorref* out) {
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
    const bool onScreen = width > 0 && bottom > top;
    const bool copied =
        onScreen && dc_ && EnsureBitmap(width, bottom - top) &&
        ::BitBlt(memory_, 0, 0, static_cast<int>(width), static_cast<int>(bottom - top), dc_,
                 static_cast<int>(left), static_cast<int>(top), SRCCOPY);
    if (onScreen && !copied) readFailed_ = true;
    for (std::int64_t row = firstRow; row < endRow; ++row) {
      const std::int64_t y = grid.Y(row);
      const bool rowOnScreen = copied && y >= top && y < bottom;
      for (std::int64_t sample = 0; sample < grid.samples; ++sample)
        for (std::int64_t run = 0; run < grid.runs; ++run) {
          const std::int64_t x = grid.X(run, sample);
          if (!rowOnScreen || x < left || x >= right || !monitors_.Contains(x, y)) {
            *out++ = CLR_INVALID;
            continue;
          }
          const std::uint32_t pixel = bits_[(y - top) * bitmapWidth_ + (x - left)];
          *out++ = RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
        }
    }
  }
}
