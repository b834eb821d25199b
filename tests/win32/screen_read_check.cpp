// The screen reads of the Windows backend, on a desktop with something of
// several colours on it (the Wine test's scene):
//   screen_read_check.exe
// Bulk reads and single-pixel reads (the colour capture's) must give
// exactly what GDI's GetPixel gives, on the screen, across its edges and
// off it; and a context whose device context stopped working must come
// back by itself at the next pass, taking one fresh device context a pass.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/win32/screen_reader.h"
#include "platform/win32/windows_api.h"

namespace {
int passes = 0, failures = 0;

void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what);
  (ok ? passes : failures)++;
}

// GDI's GetPixel on a screen DC, one call a sample: the reference.
class GdiPixels final : public ScreenContext {
 public:
  GdiPixels() : dc_(::GetDC(nullptr)) {}
  ~GdiPixels() override { ::ReleaseDC(nullptr, dc_); }
  Colorref GetPixel(std::int32_t x, std::int32_t y) override { return ::GetPixel(dc_, x, y); }

 private:
  HDC dc_;
};

constexpr std::size_t kSinglePixelReads = 2000;

struct Reads {
  std::size_t samples = 0, onScreen = 0, differ = 0;
};

// The bulk read, the context's own pixel by pixel read and GDI's.
Reads Compare(ScreenContext& screen, const char* name, const SampleGrid& grid) {
  GdiPixels gdi;
  const auto count = static_cast<std::size_t>(grid.Count());
  std::vector<Colorref> bulk(count, 0x12345678u), single(count, 0x9ABCDEF0u),
      reference(count, 0x0FEDCBA9u);
  screen.ReadGrid(grid, bulk.data());
  // Pixel by pixel only where that is quick: each is a copy of its own.
  if (count <= kSinglePixelReads)
    screen.ScreenContext::ReadGrid(grid, single.data());
  else
    single = bulk;
  gdi.ReadGrid(grid, reference.data());
  Reads reads{count, 0, 0};
  for (std::size_t i = 0; i < count; ++i) {
    if (reference[i] != CLR_INVALID) ++reads.onScreen;
    if ((bulk[i] != reference[i] || single[i] != reference[i]) && reads.differ++ < 5)
      std::printf("  %s: sample %zu: bulk %08lx, single %08lx, GDI %08lx\n", name, i,
                  static_cast<unsigned long>(bulk[i]), static_cast<unsigned long>(single[i]),
                  static_cast<unsigned long>(reference[i]));
  }
  return reads;
}

void CheckReads(ScreenContext& screen, const char* name, const SampleGrid& grid,
                bool expectOnScreen) {
  const Reads r = Compare(screen, name, grid);
  char what[160];
  std::snprintf(what, sizeof what, "%s (%zu samples, %zu on screen, %zu differ)", name, r.samples,
                r.onScreen, r.differ);
  Check(r.differ == 0 && (r.onScreen > 0) == expectOnScreen, what);
}

SampleGrid Grid(int left, int top, int rows, int rowStep, int runs, int runStep, int samples,
                int sampleStep) {
  SampleGrid g;
  g.left = left, g.top = top, g.rows = rows, g.rowStep = rowStep;
  g.runs = runs, g.runStep = runStep, g.samples = samples, g.sampleStep = sampleStep;
  return g;
}

// A screen that can be locked: meanwhile every device context it gives is
// one a screen copy fails on, as on the lock screen.
struct Lockable {
  static inline bool locked = false;
  static inline int taken = 0, released = 0;
  static HDC Take() {
    ++taken;
    return locked ? ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr) : ::GetDC(nullptr);
  }
  static void Release(HDC dc) {
    ++released;
    if (::GetObjectType(dc) == OBJ_ENHMETADC)
      ::DeleteEnhMetaFile(::CloseEnhMetaFile(dc));
    else
      ::ReleaseDC(nullptr, dc);
  }
};

// Every sample of the bulk read and a single pixel read as CLR_INVALID.
bool ReadsFail(ScreenContext& screen, const SampleGrid& grid) {
  std::vector<Colorref> bulk(static_cast<std::size_t>(grid.Count()), 0);
  screen.ReadGrid(grid, bulk.data());
  return std::all_of(bulk.begin(), bulk.end(), [](Colorref c) { return c == CLR_INVALID; }) &&
         screen.GetPixel(grid.left, grid.top) == CLR_INVALID;
}

void CheckReadsComeBack(const SampleGrid& pass) {
  Lockable::locked = true;
  auto screen = Win32ScreenContext::Open({Lockable::Take, Lockable::Release});
  Check(screen && ReadsFail(*screen, pass), "while locked every read fails");
  screen->StartPass();
  ReadsFail(*screen, pass);
  screen->StartPass();
  Check(Lockable::taken == 3 && Lockable::released == 2,
        "after failed reads each pass takes one fresh device context and gives the old back");
  Lockable::locked = false;
  Check(ReadsFail(*screen, pass), "unlocked, the broken one still fails until the next pass");
  screen->StartPass();
  Check(Compare(*screen, "unlocked", pass).differ == 0, "the next pass reads again");
  screen->StartPass();
  screen.reset();
  Check(Lockable::taken == 4 && Lockable::released == 4,
        "a pass after good reads keeps its device context; all are given back");
}
}  // namespace

int main() {
  auto screen = Win32ScreenContext::Open();
  if (!screen) {
    std::printf("FAILED: no screen\n0 passed, 1 failed\n");
    return 1;
  }
  const int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
            height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN),
            top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  const SampleGrid pass = Grid(left + 100, top + 3, height / 3 - 2, 3, width / 100 - 1, 100, 5, 5);
  CheckReads(*screen, "a scan pass's grid", pass, true);
  CheckReads(*screen, "a scan pass's first samples",
             Grid(left + 100, top + 3, height / 3 - 2, 3, width / 100 - 1, 100, 1, 5), true);
  CheckReads(*screen, "a fine grid over the whole screen",
             Grid(left, top, height / 7, 7, width / 23, 23, 4, 5), true);
  CheckReads(*screen, "a grid across every edge",
             Grid(left - 30, top - 7, height / 90 + 3, 100, width / 97 + 3, 97, 5, 7), true);
  CheckReads(*screen, "one sample", Grid(left + width / 2, top + height / 2, 1, 1, 1, 1, 1, 1),
             true);
  CheckReads(*screen, "a grid off the screen", Grid(left + width + 10, top, 5, 3, 3, 100, 5, 5),
             false);
  // The same context reads again, into a bitmap it already has.
  CheckReads(*screen, "a scan pass's grid read again", pass, true);
  CheckReadsComeBack(pass);
  std::printf("%d passed, %d failed\n", passes, failures);
  return failures == 0 ? 0 : 1;
}
