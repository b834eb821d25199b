#include <algorithm>
#include <optional>

#include "tracking/scan_grid.h"
#include "tracking/tracker.h"

using namespace scan_grid;

namespace {
// After a click only this many rows are read again at first, twice as many
// with each read that finds nothing: another click voids what was read
// beyond it, and the next one often follows within a target's height.
constexpr std::int64_t kRowsAfterClick = 16;
}  // namespace

void Tracker::SetScanChunkLimit(std::size_t samples) {
  scanChunkLimit_ = std::max<std::size_t>(samples, kSamples);
}

// The grid of scan_grid.h, whose bounds are compared in 64 bits as there.
//
// Handlers never overlap, so the area, the handle and the colour cannot
// change during a pass and are taken once. The screen can change, but only
// through a click as far as this pass is concerned, so everything after a
// click is read again after it.
//
// Most points fail at their first sample, so a read usually takes only the
// first samples, and the other four only for the rows where one matched:
// a fifth of the pixels when nothing is there. Right after a click a match
// nearby is likely, so that read takes all five at once.
PassReport Tracker::ScanPass() {
  PassReport report;
  const auto [firstX, firstY, rows, runs] = ExtentOf(TrackingArea);
  if (rows == 0) return report;

  // Without a handle every read fails, and a failed read never matches.
  ScreenContext* const screen = ScreenDC.get();
  const Colorref target = controls_.TargetColor.GetColor();
  if (!screen || target == CLR_INVALID || !BeginPass()) return report;

  const std::int64_t limit =
      static_cast<std::int64_t>(std::min<std::size_t>(scanChunkLimit_, std::size_t{1} << 40));
  std::int64_t row = 0, run = 0;  // the next grid point to test
  std::int64_t bandRows = rows;   // rows the next read may cover
  bool justClicked = false;
  while (row < rows) {
    // Whole rows where they fit, else a piece of the one row.
    std::int64_t firstRun = 0, chunkRuns = runs, chunkRows = 1;
    if (runs * kSamples <= limit)
      chunkRows = std::min({rows - row, limit / (runs * kSamples), bandRows});
    else
      firstRun = run, chunkRuns = std::min(runs - run, limit / kSamples);
    const std::int64_t skip = run - firstRun;  // points of the first row already done
    SampleGrid grid;
    grid.left = static_cast<std::int32_t>(firstX + firstRun * kColumnStep);
    grid.top = static_cast<std::int32_t>(firstY + row * kRowStep);
    grid.rows = static_cast<std::int32_t>(chunkRows);
    grid.rowStep = kRowStep;
    grid.runs = static_cast<std::int32_t>(chunkRuns);
    grid.runStep = kColumnStep;
    grid.sampleStep = kSampleStep;

    // firsts[r * chunkRuns + g] is the first sample of point (r, g); the
    // other four lie in lines of chunkRuns, rest + (r - restRow) * 4 * chunkRuns.
    const Colorref* firsts;
    const Colorref* rest;
    std::int64_t restRow = 0, restRows = chunkRows;
    if (justClicked) {
      grid.samples = kSamples;
      Read(grid, scanSamples_);
      firsts = rest = nullptr;
    } else {
      grid.samples = 1;
      Read(grid, scanFirsts_);
      firsts = scanFirsts_.data();
      // The rows with a first sample that matches, first to last.
      restRows = 0;
      for (std::int64_t r = 0, g = skip; r < chunkRows; ++r, g = 0)
        for (const Colorref* f = firsts + r * chunkRuns; g < chunkRuns; ++g)
          if (f[g] == target) {
            if (restRows == 0) restRow = r;
            restRows = r - restRow + 1;
            break;
          }
      if (restRows > 0) {
        SampleGrid others = grid;
        others.left += kSampleStep;
        others.top = static_cast<std::int32_t>(grid.Y(restRow));
        others.rows = static_cast<std::int32_t>(restRows);
        others.samples = kSamples - 1;
        Read(others, scanSamples_);
      }
      rest = scanSamples_.data();
    }

    bool clicked = false;
    for (std::int64_t r = restRow; r < restRow + restRows && !clicked; ++r) {
      // Each sample index as its own line of chunkRuns values.
      const Colorref* line[kSamples];
      if (firsts) {
        line[0] = firsts + r * chunkRuns;
        for (int k = 1; k < kSamples; ++k)
          line[k] = rest + ((r - restRow) * (kSamples - 1) + k - 1) * chunkRuns;
      } else {
        for (int k = 0; k < kSamples; ++k)
          line[k] = scanSamples_.data() + (r * kSamples + k) * chunkRuns;
      }
      for (std::int64_t g = r == 0 ? skip : 0; g < chunkRuns; ++g) {
        if (line[0][g] != target || line[1][g] != target || line[2][g] != target ||
            line[3][g] != target || line[4][g] != target)
          continue;
        // A skipped point changed nothing: what was read still holds.
        if (!ClickAt(static_cast<std::int32_t>(grid.X(g, 0)),
                     static_cast<std::int32_t>(grid.Y(r)))) {
          ++report.skipped;
          continue;
        }
        ++report.clicks;
        row += r;
        run = firstRun + g + 1;
        clicked = true;
        break;
      }
    }
    justClicked = clicked;
    if (clicked) {
      bandRows = kRowsAfterClick;
      if (run == runs) ++row, run = 0;
    } else {
      bandRows = std::min(rows, bandRows * 2);
      if (firstRun + chunkRuns == runs)
        row += chunkRows, run = 0;
      else
        run = firstRun + chunkRuns;
    }
  }
  TellWhatWasDropped();
  return report;
}

// Into a buffer kept across passes, grown only when a read needs more.
void Tracker::Read(const SampleGrid& grid, std::vector<Colorref>& buffer) {
  const auto count = static_cast<std::size_t>(grid.Count());
  if (buffer.size() < count) buffer.resize(count);
  ScreenDC->ReadGrid(grid, buffer.data());
}

PassReport Tracker::ScanPassPerSample() {
  PassReport report;
  if (!BeginPass()) return report;
  ForEachPoint(TrackingArea, [&](std::int32_t x, std::int32_t y) {
    if (RunMatches(x, y)) ++(ClickAt(x, y) ? report.clicks : report.skipped);
  });
  TellWhatWasDropped();
  return report;
}

// A screen that is not the user's (locked, a secure desktop, a program
// that has it to itself) may read black where nothing is: such a pass
// reads nothing and clicks nothing, and the next tick asks again. Input
// still queued from the last pass is waited for once more here; after
// that the system has handled it or dropped it (a hook may swallow it),
// and waiting on would stop tracking for good.
bool Tracker::BeginPass() {
  if (!desktop_.SessionOnScreen()) return false;
  if (inputQueued_) desktop_.AwaitInputHandled();
  inputQueued_ = false;
  if (ScreenDC) ScreenDC->StartPass();
  return true;
}

// Five samples 5 px apart, read one at a time and only until one differs.
// A failed read never matches, even when the target itself is CLR_INVALID;
// a sample on no monitor is not read, as in a bulk read.
bool Tracker::RunMatches(std::int32_t x, std::int32_t y) {
  for (int k = 0; k < kSamples; ++k) {
    const std::int32_t sx = x + k * kSampleStep;
    const Colorref pixel =
        ScreenDC && ScreenDC->OnMonitor(sx, y) ? ScreenDC->GetPixel(sx, y) : CLR_INVALID;
    if (pixel == CLR_INVALID || pixel != controls_.TargetColor.GetColor()) return false;
  }
  return true;
}

// Never on this program's own window, which shows the target colour
// itself; not while the user holds a button (a synthetic press would drop
// what they drag, or end a capture in progress); not where the system
// would drop it unseen; and not where the screen has gone or the cursor
// did not go: asked right before the press, with the layout held until
// the click is done. The cursor moves on only once the system has handled
// the last click's events: while they are queued, they would go along with
// it, and the desktop could take our own press for the user's. A click the
// system refused is no click: after a refused press nothing is released.
bool Tracker::ClickAt(std::int32_t x, std::int32_t y) {
  if (inputQueued_ || desktop_.IsOwnWindowAt(x, y) || desktop_.AnyMouseButtonDown()) return false;
  if (desktop_.DropsInputAt(x, y)) {
    Dropped(Reason::ElevatedTarget);
    return false;
  }
  struct LayoutHold {
    Desktop& desktop;
    explicit LayoutHold(Desktop& d) : desktop(d) { desktop.HoldScreenLayout(true); }
    ~LayoutHold() { desktop.HoldScreenLayout(false); }
  };
  std::optional<Reason> refused;
  {
    LayoutHold hold(desktop_);
    desktop_.SetCursorPos(x, y);
    if (!desktop_.CursorIsAt(x, y)) return false;
    Clicker.Press(1);
    refused = desktop_.InputRefused();
    if (!refused) {
      Clicker.Wait(0);
      Clicker.Release(1);
      refused = desktop_.InputRefused();
    }
  }
  // Not while the layout is held: on X11 the window manager that holds our
  // click back until it has seen it could not get at the server.
  inputQueued_ = !desktop_.AwaitInputHandled();
  if (refused) Dropped(*refused);
  return !refused;
}

void Tracker::Dropped(Reason why) {
  static_assert(static_cast<int>(Reason::CompositorLost) < 64, "one bit a reason");
  dropped_ |= std::uint64_t{1} << static_cast<int>(why);
}

// After the pass, not inside it: a message box's own message loop runs the
// timer, and a pass must not start within another. All are marked told
// before the first is shown, so a pass run meanwhile tells none again.
void Tracker::TellWhatWasDropped() {
  const std::uint64_t untold = dropped_ & ~toldOfDropped_;
  toldOfDropped_ |= untold;
  for (int why = 0; why < 64; ++why)
    if ((untold >> why & 1) && tellUser_) tellUser_({static_cast<Reason>(why), {}, {}});
}
