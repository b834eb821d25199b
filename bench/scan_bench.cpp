// Times full scan passes over a painted desktop on the X display in
// $DISPLAY, reading the screen in each of the ways the X11 backend can, and
// checks that every way clicks the same points. Run through bench/run,
// which brings up a private Xvfb of 3840x2160 for it.
//
// Usage: scan_bench [--passes N] [--per-sample-passes N]
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/painted_desktop.h"
#include "platform/x11/x11_desktop.h"
#include "tests/support/fake_controls.h"
#include "tests/support/recording_desktop.h"
#include "tracking/tracker.h"

namespace {

// ---------------------------------------------------------------- painting

// The painted desktop on the X server: every other target in the
// wallpaper, the rest as separate windows on top.
void Paint(Display* d, int width, int height, const std::vector<Rect>& targets) {
  std::vector<Rect> inWallpaper;
  for (std::size_t i = 0; i < targets.size(); i += 2) inWallpaper.push_back(targets[i]);
  std::vector<std::uint32_t> pixels =
      PaintDesktop(width, height, inWallpaper, NearMissesOf(targets));

  const int screen = DefaultScreen(d);
  const Window root = RootWindow(d, screen);
  const Pixmap wallpaper =
      XCreatePixmap(d, root, unsigned(width), unsigned(height), unsigned(DefaultDepth(d, screen)));
  XImage* image = XCreateImage(d, DefaultVisual(d, screen), unsigned(DefaultDepth(d, screen)),
                               ZPixmap, 0, reinterpret_cast<char*>(pixels.data()), unsigned(width),
                               unsigned(height), 32, width * 4);
  const GC gc = XCreateGC(d, wallpaper, 0, nullptr);
  XPutImage(d, wallpaper, gc, image, 0, 0, 0, 0, unsigned(width), unsigned(height));
  image->data = nullptr;
  XDestroyImage(image);
  XFreeGC(d, gc);
  XSetWindowBackgroundPixmap(d, root, wallpaper);
  XClearWindow(d, root);
  XFreePixmap(d, wallpaper);

  for (std::size_t i = 1; i < targets.size(); i += 2) {
    XSetWindowAttributes attributes{};
    attributes.background_pixel = ToRgb(kTarget);
    attributes.override_redirect = True;
    const Rect& t = targets[i];
    const Window w =
        XCreateWindow(d, root, t.x, t.y, unsigned(t.w), unsigned(t.h), 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &attributes);
    XMapRaised(d, w);
  }
  XSync(d, False);
}

// ------------------------------------------------------------ the passes

struct Strategy {
  const char* name;
  bool perSample;
  X11ReadOptions options;
};

struct Result {
  double medianMs = 0;
  int passes = 0;
  std::vector<ScreenPoint> clicks;
  bool stable = true;  // every pass clicked the same points
  std::string method;
};

bool Same(const std::vector<ScreenPoint>& a, const std::vector<ScreenPoint>& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](auto p, auto q) {
           return p.x == q.x && p.y == q.y;
         });
}

// Warm-up passes first, then up to `passes` timed ones, fewer for a slow
// strategy once `budgetS` seconds are spent (but at least three).
Result Measure(const Strategy& s, const TRect& area, Colorref colour, int passes, int warmUp,
               double budgetS) {
  std::unique_ptr<X11Desktop> x11 = X11Desktop::Open(nullptr, s.options);
  if (!x11) {
    std::fprintf(stderr, "cannot open the display\n");
    std::exit(1);
  }
  RecordingDesktop desktop(*x11, /*sendButtons=*/false);
  FakeForm form(desktop);
  form.Track(area, colour);
  Tracker& tracker = form.tracker;
  Result result;
  std::vector<double> times;
  times.reserve(std::size_t(passes));
  double spent = 0;
  for (int i = 0; i < warmUp + passes; ++i) {
    desktop.clicks.clear();
    const auto start = std::chrono::steady_clock::now();
    if (s.perSample)
      tracker.ScanPassPerSample();
    else
      tracker.ScanPass();
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (i == 0) result.clicks = desktop.clicks;
    result.stable = result.stable && Same(desktop.clicks, result.clicks);
    if (i < warmUp) continue;
    times.push_back(ms);
    spent += ms / 1000;
    if (spent > budgetS && times.size() >= 3) break;
  }
  std::sort(times.begin(), times.end());
  result.medianMs = times[times.size() / 2];
  result.passes = int(times.size());
  result.method = s.perSample ? "GetPixel per sample" : x11->ReadMethodName();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  int passes = 300, perSamplePasses = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--passes"))
      passes = std::max(3, std::atoi(argv[i + 1]));
    else if (!std::strcmp(argv[i], "--per-sample-passes"))
      perSamplePasses = std::max(1, std::atoi(argv[i + 1]));
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "cannot open the display\n");
    return 1;
  }
  const int width = DisplayWidth(display, DefaultScreen(display));
  const int height = DisplayHeight(display, DefaultScreen(display));
  if (width < 3840 || height < 2160) {
    std::fprintf(stderr, "needs a screen of at least 3840x2160, this one is %dx%d\n", width,
                 height);
    return 1;
  }
  const std::vector<Rect> targets = BenchTargets();
  Paint(display, width, height, targets);

  const Strategy strategies[] = {
      {"per-sample reads", true, {false, false}},
      {"plain whole-area read", false, {false, false}},
      {"whole-area SHM read", false, {true, false}},
      {"sampled, no SHM", false, {false, true}},
      {"sampled + SHM", false, {true, true}},
  };
  const std::string programMethod = X11Desktop::Open()->ReadMethodName();
  std::printf(
      "Scan passes on Xvfb %dx%dx24, a painted desktop with %zu targets of 200x30 and\n"
      "a near miss one colour unit off below each; clicks are recorded, not sent.\n"
      "Median of up to %d timed passes after 10 warm-up ones (per-sample reads: %d\n"
      "after 1); slow strategies stop after about 5 s. The program reads with %s.\n",
      width, height, targets.size(), passes, perSamplePasses, programMethod.c_str());

  bool allSame = true;
  for (const BenchScenario& scenario : kBenchScenarios) {
    std::printf("\n%s\n", scenario.title);
    std::printf("%-10s %-22s %-34s %6s %10s %10s %7s\n", "area", "strategy", "reads with", "passes",
                "ms/pass", "speed-up", "clicks");
    for (const TRect& area : kBenchAreas) {
      const std::vector<ScreenPoint> expected =
          scenario.colour == kTarget ? GridPointsOn(area, targets) : std::vector<ScreenPoint>{};
      double perSampleMs = 0;
      for (const Strategy& s : strategies) {
        const Result r = s.perSample ? Measure(s, area, scenario.colour, perSamplePasses, 1, 1e9)
                                     : Measure(s, area, scenario.colour, passes, 10, 5);
        if (s.perSample) perSampleMs = r.medianMs;
        const bool same = r.stable && Same(r.clicks, expected);
        allSame = allSame && same;
        char label[32];
        std::snprintf(label, sizeof label, "%dx%d", area.Right - area.Left, area.Bottom - area.Top);
        std::printf("%-10s %-22s %-34s %6d %10.3f %9.0fx %7zu%s%s\n", label, s.name,
                    r.method.c_str(), r.passes, r.medianMs, perSampleMs / r.medianMs,
                    r.clicks.size(), same ? "" : "  WRONG POINTS",
                    !s.perSample && r.method == programMethod ? "  <- program" : "");
      }
    }
  }
  std::printf("\n%s\n", allSame ? "All strategies clicked the same points, the expected ones."
                                : "MISMATCH: some strategy clicked other points.");
  XCloseDisplay(display);
  return allSame ? 0 : 1;
}
