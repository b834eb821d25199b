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

#include "platform/x11/x11_desktop.h"
#include "tracking/tracker.h"

namespace {

constexpr Colorref kTarget = 0x00CC6633;  // COLORREF of RGB 33 66 CC
constexpr Colorref kAbsent = 0x00A1B2C3;  // kept off the painted screen

struct Rect {
  int x, y, w, h;
};

// ---------------------------------------------------------------- painting

// 0x00RRGGBB as the server stores it, from a COLORREF.
unsigned long ToPixel(Colorref c) {
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

// A desktop that is not flat: a gradient wallpaper with noise, windows with
// light backgrounds and lines of glyph-like marks, targets (some painted on
// the wallpaper, some separate windows on top) and near misses one colour
// unit off in one channel.
class Painter {
 public:
  Painter(Display* display, int width, int height)
      : d_(display), width_(width), height_(height), pixels_(std::size_t(width) * height) {}

  void Paint(const std::vector<Rect>& targets, const std::vector<Rect>& nearMisses) {
    std::mt19937 random(20240607);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < height_; ++y)
      for (int x = 0; x < width_; ++x) {
        const int r = 40 + 80 * x / width_ + noise(random);
        const int g = 60 + 60 * y / height_ + noise(random);
        const int b = 120 + 50 * (x + y) / (width_ + height_) + noise(random);
        Put(x, y, std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b));
      }
    // Application windows with text.
    std::uniform_int_distribution<int> px(0, width_ - 700), py(0, height_ - 450);
    for (int i = 0; i < width_ * height_ / 400000; ++i) {
      const Rect w{px(random), py(random), 500 + int(random() % 200), 300 + int(random() % 150)};
      const std::uint32_t face = 0xE0E0E0 + 0x010101 * std::uint32_t(random() % 24);
      FillRect(w, face);
      FillRect({w.x, w.y, w.w, 24}, 0x2050A0 + std::uint32_t(random() % 64));  // title bar
      for (int line = w.y + 34; line + 10 < w.y + w.h; line += 16)
        for (int gx = w.x + 8; gx + 12 < w.x + w.w;) {
          const int glyph = 4 + int(random() % 7);
          if (random() % 6) FillRect({gx, line, glyph, 9 - int(random() % 3)}, 0x202020);
          gx += glyph + 2 + (random() % 5 == 0 ? 6 : 0);
        }
    }
    // Near misses: one unit off in red, green or blue.
    const std::uint32_t target = std::uint32_t(ToPixel(kTarget));
    const std::uint32_t offs[] = {0x010000, 0x000100, 0x000001};
    for (std::size_t i = 0; i < nearMisses.size(); ++i)
      FillRect(nearMisses[i], i % 2 ? target + offs[i % 3] : target - offs[i % 3]);
    // Nothing but a target may carry the target colour, nothing kAbsent.
    const std::uint32_t absent = std::uint32_t(ToPixel(kAbsent));
    for (std::uint32_t& p : pixels_)
      if (p == target || p == absent) p ^= 1;
    // Every other target on the wallpaper; the rest as windows below.
    for (std::size_t i = 0; i < targets.size(); i += 2) FillRect(targets[i], target);

    const int screen = DefaultScreen(d_);
    const Window root = RootWindow(d_, screen);
    const Pixmap wallpaper = XCreatePixmap(d_, root, unsigned(width_), unsigned(height_),
                                           unsigned(DefaultDepth(d_, screen)));
    XImage* image = XCreateImage(d_, DefaultVisual(d_, screen), unsigned(DefaultDepth(d_, screen)),
                                 ZPixmap, 0, reinterpret_cast<char*>(pixels_.data()),
                                 unsigned(width_), unsigned(height_), 32, width_ * 4);
    const GC gc = XCreateGC(d_, wallpaper, 0, nullptr);
    XPutImage(d_, wallpaper, gc, image, 0, 0, 0, 0, unsigned(width_), unsigned(height_));
    image->data = nullptr;
    XDestroyImage(image);
    XFreeGC(d_, gc);
    XSetWindowBackgroundPixmap(d_, root, wallpaper);
    XClearWindow(d_, root);
    XFreePixmap(d_, wallpaper);

    for (std::size_t i = 1; i < targets.size(); i += 2) {
      XSetWindowAttributes attributes{};
      attributes.background_pixel = ToPixel(kTarget);
      attributes.override_redirect = True;
      const Rect& t = targets[i];
      const Window w = XCreateWindow(d_, root, t.x, t.y, unsigned(t.w), unsigned(t.h), 0,
                                     CopyFromParent, InputOutput, CopyFromParent,
                                     CWBackPixel | CWOverrideRedirect, &attributes);
      XMapRaised(d_, w);
    }
    XSync(d_, False);
  }

 private:
  void Put(int x, int y, std::uint32_t rgb) { pixels_[std::size_t(y) * width_ + x] = rgb; }
  void FillRect(const Rect& r, std::uint32_t rgb) {
    for (int y = std::max(r.y, 0); y < std::min(r.y + r.h, height_); ++y)
      for (int x = std::max(r.x, 0); x < std::min(r.x + r.w, width_); ++x) Put(x, y, rgb);
  }

  Display* d_;
  int width_, height_;
  std::vector<std::uint32_t> pixels_;
};

// ------------------------------------------------------------ the passes

// Reads through the real backend; clicks are only recorded, so the screen
// stays as painted and every pass finds the same points.
class RecordingDesktop : public Desktop {
 public:
  explicit RecordingDesktop(std::unique_ptr<X11Desktop> x11) : x11(std::move(x11)) {}
  ScreenPoint GetCursorPos() override { return cursor_; }
  std::unique_ptr<ScreenContext> GetDC() override { return x11->GetDC(); }
  void SetCursorPos(std::int32_t x, std::int32_t y) override { cursor_ = {x, y}; }
  void MouseEvent(std::uint32_t flags) override {
    if (flags & MOUSEEVENTF_LEFTUP) clicks.push_back(cursor_);
  }
  void Sleep(std::uint32_t) override {}
  // Stand-ins until main's own versions of these arrive with the merge.
  bool IsOnScreen(std::int32_t, std::int32_t) override { return true; }
  bool AnyMouseButtonDown() override { return false; }
  bool IsOwnWindowAt(std::int32_t, std::int32_t) override { return false; }

  std::unique_ptr<X11Desktop> x11;
  std::vector<ScreenPoint> clicks;

 private:
  ScreenPoint cursor_;
};

struct Text : TextControl {
  std::string GetText() const override { return {}; }
  void SetText(const std::string&) override {}
};
struct Colour : ColorEdit {
  std::string GetText() const override { return {}; }
  void SetText(const std::string&) override {}
  TColor GetColor() const override { return color; }
  void SetColor(TColor c) override { color = c; }
  TColor color = kTarget;
};
struct NoAlarm : TimerScheduler {
  void Arm(std::uint32_t) override {}
  void Disarm() override {}
};

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
  RecordingDesktop desktop(X11Desktop::Open(nullptr, s.options));
  if (!desktop.x11) {
    std::fprintf(stderr, "cannot open the display\n");
    std::exit(1);
  }
  Text text;
  Colour edit5;
  edit5.color = colour;
  NoAlarm alarm;
  TTimer timer(alarm, [] {});
  Tracker tracker(desktop, {text, text, text, text, edit5, text, text, timer});
  tracker.TrackingArea = area;
  tracker.ScreenDC = desktop.GetDC();
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
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
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
  result.method = s.perSample ? "GetPixel per sample" : desktop.x11->ReadMethodName();
  return result;
}

// Grid points whose whole run lies on a target.
std::vector<ScreenPoint> Expected(const TRect& a, const std::vector<Rect>& targets) {
  std::vector<ScreenPoint> points;
  for (std::int64_t y = std::int64_t{a.Top} + 3; y < std::int64_t{a.Bottom} - 3; y += 3)
    for (std::int64_t x = std::int64_t{a.Left} + 100; x < std::int64_t{a.Right} - 90; x += 100)
      for (const Rect& t : targets)
        if (x >= t.x && x + 20 < t.x + t.w && y >= t.y && y < t.y + t.h) {
          points.push_back({std::int32_t(x), std::int32_t(y)});
          break;
        }
  return points;
}

}  // namespace

int main(int argc, char** argv) {
  int passes = 300, perSamplePasses = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!std::strcmp(argv[i], "--passes")) passes = std::max(3, std::atoi(argv[i + 1]));
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
  // Targets of 200x30, three in the 1920x1080 area and three more in the
  // rest of the 3840x2160 one, with a near miss below each.
  const std::vector<Rect> targets = {{350, 200, 200, 30},   {1230, 515, 200, 30},
                                     {640, 900, 200, 30},   {2400, 300, 200, 30},
                                     {1700, 1500, 200, 30}, {3300, 1900, 200, 30}};
  std::vector<Rect> nearMisses;
  for (const Rect& t : targets) nearMisses.push_back({t.x + 20, t.y + 60, 200, 30});
  Painter(display, width, height).Paint(targets, nearMisses);

  const Strategy strategies[] = {
      {"per-sample reads", true, {false, false}},
      {"plain whole-area read", false, {false, false}},
      {"whole-area SHM read", false, {true, false}},
      {"sampled, no SHM", false, {false, true}},
      {"sampled + SHM", false, {true, true}},
  };
  const std::string programMethod = X11Desktop::Open()->ReadMethodName();
  std::printf("Scan passes on Xvfb %dx%dx24, a painted desktop with %zu targets of 200x30 and\n"
              "a near miss one colour unit off below each; clicks are recorded, not sent.\n"
              "Median of up to %d timed passes after 10 warm-up ones (per-sample reads: %d\n"
              "after 1); slow strategies stop after about 5 s. The program reads with %s.\n",
              width, height, targets.size(), passes, perSamplePasses, programMethod.c_str());

  struct Scenario {
    const char* title;
    Colorref colour;
  };
  const Scenario scenarios[] = {
      {"Passes that find nothing (a colour no pixel has): the cost of a usual tick", kAbsent},
      {"Passes that click every target: after each click the rest is read again", kTarget},
  };
  const TRect areas[] = {{0, 0, 1920, 1080}, {0, 0, 3840, 2160}};
  bool allSame = true;
  for (const Scenario& scenario : scenarios) {
    std::printf("\n%s\n", scenario.title);
    std::printf("%-10s %-22s %-34s %6s %10s %10s %7s\n", "area", "strategy", "reads with",
                "passes", "ms/pass", "speed-up", "clicks");
    for (const TRect& area : areas) {
      const std::vector<ScreenPoint> expected =
          scenario.colour == kTarget ? Expected(area, targets) : std::vector<ScreenPoint>{};
      double perSampleMs = 0;
      for (const Strategy& s : strategies) {
        const Result r = s.perSample
                             ? Measure(s, area, scenario.colour, perSamplePasses, 1, 1e9)
                             : Measure(s, area, scenario.colour, passes, 10, 5);
        if (s.perSample) perSampleMs = r.medianMs;
        const bool same = r.stable && Same(r.clicks, expected);
        allSame = allSame && same;
        char label[32];
        std::snprintf(label, sizeof label, "%dx%d", area.Right - area.Left,
                      area.Bottom - area.Top);
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
