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

// Samples laid out as short horizontal runs on a regular grid: rows at
// top + r * rowStep, runs in each row starting at left + g * runStep, each
// run `samples` pixels sampleStep apart. Counts and steps are positive.
struct SampleGrid {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t rows = 0;
  std::int32_t rowStep = 1;
  std::int32_t runs = 0;
  std::int32_t runStep = 1;
  std::int32_t samples = 0;
  std::int32_t sampleStep = 1;

  std::int64_t Count() const { return std::int64_t{rows} * runs * samples; }
  std::int64_t X(std::int64_t run, std::int64_t sample) const {
    return left + run * runStep + sample * sampleStep;
  }
  std::int64_t Y(std::int64_t row) const { return top + row * rowStep; }
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
  // Fills out[(row * samples + sample) * runs + run] with the pixel at
  // (grid.X(run, sample), grid.Y(row)): per row, one line per sample index
  // across all runs. CLR_INVALID where a pixel cannot be read or lies
  // outside the 32-bit range. What a scan pass reads in one go; backends
  // override it with as few screen reads as they can.
  virtual void ReadGrid(const SampleGrid& grid, Colorref* out);
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

  // Asked before each click, so that a click lands only where its samples
  // matched.
  // Whether (x, y) lies on a monitor of the screen as it is right now; a
  // press there would be clamped to the edge, onto whatever is there.
  // Asked after the cursor was moved to (x, y), right before the press.
  virtual bool IsOnScreen(std::int32_t x, std::int32_t y) = 0;
  // While held, the screen's size and monitors cannot change, so that what
  // IsOnScreen says still holds when the press follows. Held only for the
  // few requests of one click; backends without such a lock do nothing.
  virtual void HoldScreenLayout(bool hold) { (void)hold; }
  // Whether the user holds any mouse button down right now, as the desktop
  // reports it (not the program's own synthetic events).
  virtual bool AnyMouseButtonDown() = 0;
  // Whether the topmost window at (x, y), frame included, is this
  // program's own.
  virtual bool IsOwnWindowAt(std::int32_t x, std::int32_t y) = 0;

  // The user starts tracking. A desktop that reads and clicks only with
  // the user's consent, and has none (refused, or ended since), asks for
  // it again now; the others have nothing to do.
  virtual void RequestAccess() {}
};
