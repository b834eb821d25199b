// Bulk screen reads must give exactly what one GetPixel per sample gives,
// on the screen, across its edges and off it. Run on a desktop with
// something of several colours on it (the Wine test's scene):
//   screen_read_check.exe
#include <cstdio>
#include <vector>

#include "platform/win32/win32_desktop.h"
#include "platform/win32/windows_api.h"

namespace {
int passes = 0, failures = 0;

// The base class's ReadGrid, one GetPixel per sample, is the reference.
void Compare(ScreenContext& screen, const char* name, const SampleGrid& grid, bool expectOnScreen) {
  const auto count = static_cast<std::size_t>(grid.Count());
  std::vector<Colorref> bulk(count, 0x12345678u), single(count, 0x9ABCDEF0u);
  screen.ReadGrid(grid, bulk.data());
  screen.ScreenContext::ReadGrid(grid, single.data());
  std::size_t differ = 0, onScreen = 0;
  for (std::size_t i = 0; i < count; ++i) {
    if (single[i] != CLR_INVALID) ++onScreen;
    if (bulk[i] != single[i] && differ++ < 5)
      std::printf("  %s: sample %zu: bulk %08lx, GetPixel %08lx\n", name, i,
                  static_cast<unsigned long>(bulk[i]), static_cast<unsigned long>(single[i]));
  }
  const bool ok = differ == 0 && (onScreen > 0) == expectOnScreen;
  std::printf("%s: %s (%zu samples, %zu on screen, %zu differ)\n", ok ? "ok" : "FAILED", name,
              count, onScreen, differ);
  (ok ? passes : failures)++;
}

SampleGrid Grid(int left, int top, int rows, int rowStep, int runs, int runStep, int samples,
                int sampleStep) {
  SampleGrid g;
  g.left = left, g.top = top, g.rows = rows, g.rowStep = rowStep;
  g.runs = runs, g.runStep = runStep, g.samples = samples, g.sampleStep = sampleStep;
  return g;
}
}  // namespace

int main() {
  Win32Desktop desktop;
  auto screen = desktop.GetDC();
  if (!screen) {
    std::printf("FAILED: no screen\n0 passed, 1 failed\n");
    return 1;
  }
  const int width = ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
            height = ::GetSystemMetrics(SM_CYVIRTUALSCREEN);
  const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN),
            top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  Compare(*screen, "a scan pass's grid",
          Grid(left + 100, top + 3, height / 3 - 2, 3, width / 100 - 1, 100, 5, 5), true);
  Compare(*screen, "a scan pass's first samples",
          Grid(left + 100, top + 3, height / 3 - 2, 3, width / 100 - 1, 100, 1, 5), true);
  Compare(*screen, "a fine grid over the whole screen",
          Grid(left, top, height / 7, 7, width / 23, 23, 4, 5), true);
  Compare(*screen, "a grid across every edge",
          Grid(left - 30, top - 7, height / 90 + 3, 100, width / 97 + 3, 97, 5, 7), true);
  Compare(*screen, "one sample", Grid(left + width / 2, top + height / 2, 1, 1, 1, 1, 1, 1), true);
  Compare(*screen, "a grid off the screen", Grid(left + width + 10, top, 5, 3, 3, 100, 5, 5),
          false);
  // The same context reads again, into a bitmap it already has.
  Compare(*screen, "a scan pass's grid read again",
          Grid(left + 100, top + 3, height / 3 - 2, 3, width / 100 - 1, 100, 5, 5), true);
  std::printf("%d passed, %d failed\n", passes, failures);
  return failures == 0 ? 0 : 1;
}
