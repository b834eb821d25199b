// Times full scan passes on Windows, under Wine (bench/run) or on a real
// machine: GDI's GetPixel per sample against the program's own reads (a
// BitBlt into a 32-bit DIB per read), over 1920x1080 and 3840x2160 areas
// where the primary monitor is that large, and checks that both click the
// same points. A child process of this program shows the painted desktop
// over the primary monitor, so that it is another program's window as a
// target is; the cursor moves for real, clicks are only recorded.
//
// Usage: win32_scan_bench [--passes N] [--per-sample-passes N] [--per-sample-seconds S]
//                         [--paint window|screen]
// Under Wine the desktop is painted onto the screen itself (--paint
// screen): a window of another Wine process reports each cursor move again
// some time later, which at times moves the cursor off the point it was
// put on before the press, and the program then rightly skips the point.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/painted_desktop.h"
#include "platform/win32/win32_desktop.h"
#include "platform/win32/windows_api.h"
#include "tests/support/fake_controls.h"
#include "tests/support/recording_desktop.h"
#include "tracking/tracker.h"

namespace {
using Clock = std::chrono::steady_clock;
constexpr wchar_t kPaintedClass[] = L"painted_desktop";

// ------------------------------------------- the child: the painted desktop

std::vector<std::uint32_t> PaintedDesktop() {
  const std::vector<Rect> targets = BenchTargets();
  return PaintDesktop(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), targets,
                      NearMissesOf(targets));
}

void PaintScreen(HDC dc, const std::vector<std::uint32_t>& pixels, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  ::SetDIBitsToDevice(dc, 0, 0, width, height, 0, 0, 0, height, pixels.data(), &info,
                      DIB_RGB_COLORS);
}

std::vector<std::uint32_t>* painting = nullptr;  // 0x00RRGGBB, top-down rows

LRESULT CALLBACK PaintedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(hwnd, &paint);
    PaintScreen(dc, *painting, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    ::EndPaint(hwnd, &paint);
    return 0;
  }
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

int ShowPaintedDesktop() {
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  std::vector<std::uint32_t> pixels = PaintedDesktop();
  painting = &pixels;
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = PaintedProc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kPaintedClass;
  ::RegisterClassW(&windowClass);
  HWND window =
      ::CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, kPaintedClass, L"", WS_POPUP, 0, 0, width,
                        height, nullptr, nullptr, windowClass.hInstance, nullptr);
  if (!window) return 1;
  ::ShowWindow(window, SW_SHOWNOACTIVATE);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  return 0;
}

// --------------------------------------------------- per-sample GetPixel

// GDI's GetPixel on a screen DC, one call a sample, as the program read
// before. Past the deadline it stops asking and answers CLR_INVALID, so
// that a pass of many seconds can be cut and its time projected.
struct GetPixelCount {
  Clock::time_point deadline = Clock::time_point::max();
  long asked = 0, unasked = 0;
};

class GdiPixels final : public ScreenContext {
 public:
  explicit GdiPixels(GetPixelCount& count) : count_(count), dc_(::GetDC(nullptr)) {}
  ~GdiPixels() override { ::ReleaseDC(nullptr, dc_); }
  Colorref GetPixel(std::int32_t x, std::int32_t y) override {
    if (Clock::now() > count_.deadline) {
      ++count_.unasked;
      return CLR_INVALID;
    }
    ++count_.asked;
    return ::GetPixel(dc_, x, y);
  }

 private:
  GetPixelCount& count_;
  HDC dc_;
};

class GdiDesktop final : public Win32Desktop {
 public:
  std::unique_ptr<ScreenContext> GetDC() override { return std::make_unique<GdiPixels>(count); }
  GetPixelCount count;
};

// ------------------------------------------------------------ the passes

struct Result {
  double medianMs = 0;
  int passes = 0;
  bool cut = false;  // the one per-sample pass ran out of time: projected
  std::vector<ScreenPoint> clicks;
  bool stable = true;  // every pass clicked the same points
};

// Warm-up passes first, then up to `passes` timed ones, fewer once
// `budgetS` seconds are spent (but at least three). With `perSample`, the
// reference pass of GetPixel per sample instead, each cut after `budgetS`
// seconds and its time projected from the reads it made.
Result Measure(Desktop& real, const TRect& area, Colorref colour, int warmUp, int passes,
               double budgetS, GetPixelCount* perSample = nullptr) {
  RecordingDesktop desktop(real, /*sendButtons=*/false);
  FakeForm form(desktop);
  form.Track(area, colour);
  Result result;
  std::vector<double> times;
  double spent = 0;
  for (int i = 0; i < warmUp + passes; ++i) {
    desktop.clicks.clear();
    const auto start = Clock::now();
    if (perSample) {
      *perSample = {};
      perSample->deadline = start + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(budgetS));
      form.tracker.ScanPassPerSample();
    } else {
      form.tracker.ScanPass();
    }
    double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    if (perSample && perSample->unasked > 0) {
      result.cut = true;
      ms *= double(perSample->asked + perSample->unasked) / double(std::max(1L, perSample->asked));
    }
    if (i == 0) result.clicks = desktop.clicks;
    result.stable = result.stable && desktop.clicks == result.clicks;
    if (i < warmUp) continue;
    times.push_back(ms);
    spent += ms / 1000;
    if (!perSample && spent > budgetS && times.size() >= 3) break;
  }
  std::sort(times.begin(), times.end());
  result.medianMs = times[times.size() / 2];
  result.passes = int(times.size());
  return result;
}

// Shows the painted desktop and waits until its first target is on the
// screen: in a window of another process, started from this program, or
// (under Wine) painted straight onto the screen, where it stays.
bool StartPainting(bool ontoScreen, PROCESS_INFORMATION& child) {
  HDC screen = ::GetDC(nullptr);
  if (ontoScreen) {
    PaintScreen(screen, PaintedDesktop(), ::GetSystemMetrics(SM_CXSCREEN),
                ::GetSystemMetrics(SM_CYSCREEN));
  } else {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --show-painted";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!::CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &child)) {
      ::ReleaseDC(nullptr, screen);
      return false;
    }
  }
  const Rect first = BenchTargets().front();
  bool shown = false;
  for (int i = 0; i < 300 && !shown; ++i) {
    ::Sleep(100);
    shown = ::GetPixel(screen, first.x + 10, first.y + 10) == kTarget;
  }
  ::ReleaseDC(nullptr, screen);
  return shown;
}

void StopPainting(PROCESS_INFORMATION& child) {
  if (!child.hProcess) return;
  if (HWND window = ::FindWindowW(kPaintedClass, nullptr)) ::PostMessageW(window, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(child.hProcess, 5000) != WAIT_OBJECT_0)
    ::TerminateProcess(child.hProcess, 1);
  ::CloseHandle(child.hThread);
  ::CloseHandle(child.hProcess);
}
}  // namespace

int main(int argc, char** argv) {
  ::SetProcessDPIAware();  // physical pixels, as the program's manifest asks
  if (argc > 1 && !std::strcmp(argv[1], "--show-painted")) return ShowPaintedDesktop();
  int passes = 100, perSamplePasses = 1;
  bool paintOntoScreen = false;
  double perSampleSeconds = 20;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--passes"))
      passes = std::max(3, std::atoi(argv[i + 1]));
    else if (!std::strcmp(argv[i], "--per-sample-passes"))
      perSamplePasses = std::max(1, std::atoi(argv[i + 1]));
    else if (!std::strcmp(argv[i], "--per-sample-seconds"))
      perSampleSeconds = std::max(1.0, std::atof(argv[i + 1]));
    else if (!std::strcmp(argv[i], "--paint"))
      paintOntoScreen = !std::strcmp(argv[i + 1], "screen");
  }
  const int width = ::GetSystemMetrics(SM_CXSCREEN), height = ::GetSystemMetrics(SM_CYSCREEN);
  if (width < 1920 || height < 1080) {
    std::fprintf(stderr, "needs a primary monitor of at least 1920x1080, this one is %dx%d\n",
                 width, height);
    return 1;
  }
  PROCESS_INFORMATION child{};
  if (!StartPainting(paintOntoScreen, child)) {
    std::fprintf(stderr, "the painted desktop did not show\n");
    return 1;
  }
  HDC screen = ::GetDC(nullptr);
  const int bits = ::GetDeviceCaps(screen, BITSPIXEL);
  ::ReleaseDC(nullptr, screen);
  const std::vector<Rect> targets = BenchTargets();
  std::printf(
      "Scan passes on a primary monitor of %dx%d at %d bits, a painted desktop with %zu\n"
      "targets of 200x30 and a near miss one colour unit off below each; clicks are\n"
      "recorded, not sent. The program: median of up to %d timed passes after 3 warm-up\n"
      "ones, fewer after about 5 s. GetPixel per sample: %d pass(es), each cut after %.0f s\n"
      "and its time then projected from the reads it made (marked ~).\n",
      width, height, bits, targets.size(), passes, perSamplePasses, perSampleSeconds);

  bool allSame = true;
  for (const BenchScenario& scenario : kBenchScenarios) {
    std::printf("\n%s\n%-10s %-34s %6s %11s %9s %7s\n", scenario.title, "area", "reads with",
                "passes", "ms/pass", "speed-up", "clicks");
    for (const TRect& area : kBenchAreas) {
      char label[32];
      std::snprintf(label, sizeof label, "%dx%d", area.Right, area.Bottom);
      if (area.Right > width || area.Bottom > height) {
        std::printf("%-10s skipped: larger than the primary monitor\n", label);
        continue;
      }
      const std::vector<ScreenPoint> expected =
          scenario.colour == kTarget ? GridPointsOn(area, targets) : std::vector<ScreenPoint>{};
      GdiDesktop gdi;
      Win32Desktop win32;
      const Result perSample =
          Measure(gdi, area, scenario.colour, 0, perSamplePasses, perSampleSeconds, &gdi.count);
      const Result program = Measure(win32, area, scenario.colour, 3, passes, 5);
      const bool perSampleSame =
          perSample.cut || (perSample.stable && perSample.clicks == expected);
      const bool programSame = program.stable && program.clicks == expected;
      allSame = allSame && perSampleSame && programSame;
      std::printf("%-10s %-34s %6d %10.1f%s %8s %7s%s\n", label, "GetPixel per sample",
                  perSample.passes, perSample.medianMs, perSample.cut ? "~" : " ", "1x",
                  perSample.cut ? "-" : std::to_string(perSample.clicks.size()).c_str(),
                  perSampleSame ? "" : "  WRONG POINTS");
      std::printf("%-10s %-34s %6d %10.1f  %7.0fx %7zu%s  <- program\n", label,
                  "BitBlt into a 32-bit DIB", program.passes, program.medianMs,
                  perSample.medianMs / program.medianMs, program.clicks.size(),
                  programSame ? "" : "  WRONG POINTS");
    }
  }
  std::printf("\n%s\n", allSame ? "Both ways clicked the same points, the expected ones."
                                : "MISMATCH: some way clicked other points.");
  StopPainting(child);
  return allSame ? 0 : 1;
}
