#pragma once
// The seam between the tracking logic and the desktop it runs on.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/notice.h"

// 0x00BBGGRR, red in the lowest byte, as the Windows GDI reports pixels.
using Colorref = std::uint32_t;

// The names and values <windows.h> gives these, spelled as it spells them,
// so that this header and <windows.h> may come in either order.
#ifndef CLR_INVALID
#define CLR_INVALID 0xFFFFFFFF
#endif
// mouse_event flags; button events carry exactly these. Left means the
// primary button: where the user swapped the buttons for the left hand, a
// backend sends the physical one that is primary.
#ifndef MOUSEEVENTF_LEFTDOWN
#define MOUSEEVENTF_LEFTDOWN 0x0002
#define MOUSEEVENTF_LEFTUP 0x0004
#define MOUSEEVENTF_RIGHTDOWN 0x0008
#define MOUSEEVENTF_RIGHTUP 0x0010
#define MOUSEEVENTF_MIDDLEDOWN 0x0020
#define MOUSEEVENTF_MIDDLEUP 0x0040
#endif

struct ScreenPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const ScreenPoint&) const = default;
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
  // Whether (x, y) lies on a monitor, as the monitors were at the start of
  // the pass: the box around monitors of different sizes holds gaps, which
  // a backend may copy as black. A sample on none reads as CLR_INVALID
  // without being read.
  virtual bool OnMonitor(std::int32_t x, std::int32_t y) {
    (void)x, (void)y;
    return true;
  }
  // Before every scan pass. A context whose reads failed since the last
  // pass may take a fresh handle on the screen here, once, so that reading
  // comes back by itself when the screen does (Windows: after the lock
  // screen, a UAC prompt or a display change).
  virtual void StartPass() {}
};

// A screen read in bulk: regions are read as grids, and grids a bulk read
// cannot take (a step not positive) pixel by pixel.
class BulkScreenContext : public ScreenContext {
 public:
  void ReadRegion(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                  Colorref* out) final;
  void ReadGrid(const SampleGrid& grid, Colorref* out) final;

 protected:
  // As ReadGrid, with every count and step positive.
  virtual void ReadBulk(const SampleGrid& grid, Colorref* out) = 0;
};

// Shows the user a notice without stopping the window.
using TellUser = std::function<void(const Notice&)>;
// Runs when the display or compositor the desktop depends on has gone
// (Reason::DisplayLost or CompositorLost); it ends the process.
using OnDesktopLost = std::function<void(Reason)>;

class Desktop {
 public:
  virtual ~Desktop() = default;

  // The desktop's life around the window's: Start once the window is shown,
  // just before the event loop starts (a desktop that needs the user's consent asks
  // for it then; tellUser serves from then on); TakeEvents every
  // EventIntervalMs from the event loop (0: never), to handle what the
  // desktop sent meanwhile and to notice that it has gone; End before the
  // application goes, while its connections still work.
  virtual void Start(TellUser tellUser) { (void)tellUser; }
  virtual int EventIntervalMs() const { return 0; }
  virtual void TakeEvents() {}
  virtual void End() {}

  // Physical screen pixels, in the same space as pixels and cursor moves.
  virtual ScreenPoint GetCursorPos() = 0;
  // Null when the screen cannot be read at all.
  virtual std::unique_ptr<ScreenContext> GetDC() = 0;
  virtual void SetCursorPos(std::int32_t x, std::int32_t y) = 0;
  // Button events at the current cursor position; flags MOUSEEVENTF_*,
  // each set bit handled in increasing order.
  virtual void MouseEvent(std::uint32_t flags) = 0;
  // Waits, for a moment at most, until the system has handled the button
  // events sent so far: where it only queues them (Windows, behind every
  // low-level hook), a cursor moved on too soon would take a click along.
  // False when they are still queued.
  virtual bool AwaitInputHandled() { return true; }
  // Why the system took in nothing of the last button event, if it did not
  // (Windows: SendInput inserted nothing); nothing when it went in.
  virtual std::optional<Reason> InputRefused() { return std::nullopt; }
  virtual void Sleep(std::uint32_t ms) = 0;

  // Asked after the cursor was moved to (x, y), right before the press:
  // whether the press would land at (x, y) as the screen is right now. Not
  // when (x, y) is on no monitor (the cursor stops at an edge, over
  // whatever is there), nor when the cursor is elsewhere (the user moved
  // it, or the system kept it out), as far as the desktop can tell. A
  // desktop whose first move can land wrong may move it once more first.
  virtual bool CursorIsAt(std::int32_t x, std::int32_t y) = 0;
  // While held, the screen's size and monitors cannot change, so that what
  // CursorIsAt says still holds when the press follows. Held only for the
  // few requests of one click; backends without such a lock do nothing.
  virtual void HoldScreenLayout(bool hold) { (void)hold; }
  // Whether the user holds any mouse button down right now: the user's own
  // buttons, never the program's synthetic events.
  virtual bool AnyMouseButtonDown() = 0;
  // Whether the screen shows the user's session and takes its input right
  // now. Not on a lock screen or a secure desktop, nor under a program that
  // has the screen to itself: reads there may come back black, and clicks
  // would go elsewhere.
  virtual bool SessionOnScreen() { return true; }
  // Whether the topmost window at (x, y), frame included, is this
  // program's own.
  virtual bool IsOwnWindowAt(std::int32_t x, std::int32_t y) = 0;
  // Whether the system would drop a synthetic click at (x, y) without a
  // word (Windows: the window there runs at a higher integrity level).
  virtual bool DropsInputAt(std::int32_t x, std::int32_t y) {
    (void)x, (void)y;
    return false;
  }

  // The user starts tracking. A desktop that reads and clicks only with
  // the user's consent, and has none (refused, or ended since), asks for
  // it again now; the others have nothing to do.
  virtual void RequestAccess() {}
};
