#pragma once
// The seam between the tracking logic and the desktop it runs on.
#include <cstdint>
#include <memory>

// 0x00BBGGRR, red in the lowest byte, as the Windows GDI reports pixels.
using Colorref = std::uint32_t;
constexpr Colorref CLR_INVALID = 0xFFFFFFFFu;

struct ScreenPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

// mouse_event flag values; button events carry exactly these.
enum MouseEventFlag : std::uint32_t {
  MOUSEEVENTF_LEFTDOWN = 0x0002,
  MOUSEEVENTF_LEFTUP = 0x0004,
  MOUSEEVENTF_RIGHTDOWN = 0x0008,
  MOUSEEVENTF_RIGHTUP = 0x0010,
  MOUSEEVENTF_MIDDLEDOWN = 0x0020,
  MOUSEEVENTF_MIDDLEUP = 0x0040,
};

// A handle on the pixels of the whole screen; released when destroyed.
class ScreenContext {
 public:
  virtual ~ScreenContext() = default;
  // CLR_INVALID for a pixel off the screen or a read that failed.
  virtual Colorref GetPixel(std::int32_t x, std::int32_t y) = 0;
  // Fills out[row * width + col] with the pixels of the rectangle, row by
  // row; pixels that cannot be read come back as CLR_INVALID. Backends
  // override this with a single bulk read.
  virtual void ReadRegion(std::int32_t left, std::int32_t top, std::int32_t width,
                          std::int32_t height, Colorref* out);
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Physical screen pixels, in the same space as pixels and cursor moves.
  virtual ScreenPoint GetCursorPos() = 0;
  // Null when the screen cannot be read at all.
  virtual std::unique_ptr<ScreenContext> GetDC() = 0;
  virtual void SetCursorPos(std::int32_t x, std::int32_t y) = 0;
  // Button events at the current cursor position; flags as in MouseEventFlag,
  // each set bit handled in increasing order.
  virtual void MouseEvent(std::uint32_t flags) = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
};
