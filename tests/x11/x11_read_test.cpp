// The X11 backend's bulk reads against its own per-pixel reads, on the
// private X server that run_under_xvfb.sh starts (at any depth): every way
// of reading must give the very values GetPixel gives, CLR_INVALID off the
// screen, without an X error; and the bulk scan pass must click where the
// per-sample pass clicks.
#include <gtest/gtest.h>
// After the test framework, which has names that Xlib defines as macros.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <random>
#include <string>
#include <vector>

#include "platform/x11/x11_desktop.h"
#include "tests/support/fake_controls.h"
#include "tests/support/recording_desktop.h"

namespace {

// The process's handler: it sees the failures of requests sent outside the
// backend's error traps, which in the program would reach Xlib's default
// handler and end it.
int xErrors = 0;
int CountXError(Display*, XErrorEvent*) {
  ++xErrors;
  return 0;
}

// A screen that is not flat: noise on the root, and windows on top of it
// (one reaching past the right edge), plain or noisy, so that reads must
// include what other windows show. Blocks of one colour serve as targets.
class PaintedScreen {
 public:
  static constexpr int kTargetWindowX = 120, kTargetWindowY = 200;
  static constexpr int kTargetX = 600, kTargetY = 550;  // on the root, clear of windows

  PaintedScreen() {
    display_ = XOpenDisplay(nullptr);
    if (!display_) return;
    const int screen = DefaultScreen(display_);
    width = DisplayWidth(display_, screen);
    height = DisplayHeight(display_, screen);
    root_ = RootWindow(display_, screen);
    std::mt19937 random(4242);
    XSetWindowBackgroundPixmap(display_, root_, NoisePixmap(width, height, random));
    XClearWindow(display_, root_);
    Window(width - 300, 40, 400, 200, NoisePixmap(400, 200, random));  // partly off-screen
    Window(300, 350, 250, 120, NoisePixmap(250, 120, random));
    // A 200x30 button in one colour, and the same colour as a window.
    targetPixel_ = RandomPixel(random);
    FillRoot(kTargetX, kTargetY, 200, 30, targetPixel_);
    Window(kTargetWindowX, kTargetWindowY, 200, 30, None, targetPixel_);
    XSync(display_, False);
  }
  ~PaintedScreen() {
    if (display_) XCloseDisplay(display_);
  }
  bool ok() const { return display_ != nullptr; }

  int width = 0, height = 0;

 private:
  unsigned long RandomPixel(std::mt19937& random) {
    Visual* v = DefaultVisual(display_, DefaultScreen(display_));
    return random() & (v->red_mask | v->green_mask | v->blue_mask);
  }
  Pixmap NoisePixmap(int w, int h, std::mt19937& random) {
    const int screen = DefaultScreen(display_);
    const unsigned depth = unsigned(DefaultDepth(display_, screen));
    XImage* image = XCreateImage(display_, DefaultVisual(display_, screen), depth, ZPixmap, 0,
                                 nullptr, unsigned(w), unsigned(h), 32, 0);
    image->data = static_cast<char*>(malloc(std::size_t(image->bytes_per_line) * h));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) XPutPixel(image, x, y, RandomPixel(random));
    const Pixmap pixmap = XCreatePixmap(display_, root_, unsigned(w), unsigned(h), depth);
    const GC gc = XCreateGC(display_, pixmap, 0, nullptr);
    XPutImage(display_, pixmap, gc, image, 0, 0, 0, 0, unsigned(w), unsigned(h));
    XFreeGC(display_, gc);
    XDestroyImage(image);
    return pixmap;
  }
  void FillRoot(int x, int y, int w, int h, unsigned long pixel) {
    const GC gc = XCreateGC(display_, root_, 0, nullptr);
    XSetForeground(display_, gc, pixel);
    XFillRectangle(display_, root_, gc, x, y, unsigned(w), unsigned(h));
    XFreeGC(display_, gc);
  }
  void Window(int x, int y, int w, int h, Pixmap background, unsigned long pixel = 0) {
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.background_pixmap = background;
    attributes.background_pixel = pixel;
    const unsigned long mask =
        CWOverrideRedirect | (background != None ? CWBackPixmap : CWBackPixel);
    const ::Window window =
        XCreateWindow(display_, root_, x, y, unsigned(w), unsigned(h), 0, CopyFromParent,
                      InputOutput, CopyFromParent, mask, &attributes);
    XMapRaised(display_, window);
  }

  Display* display_ = nullptr;
  ::Window root_ = 0;
  unsigned long targetPixel_ = 0;
};

PaintedScreen* painted = nullptr;

struct Method {
  const char* name;
  X11ReadOptions options;
};
void PrintTo(const Method& m, std::ostream* out) { *out << m.name; }

class X11ReadTest : public ::testing::TestWithParam<Method> {
 protected:
  static void SetUpTestSuite() {
    if (!painted) painted = new PaintedScreen;
  }
  void SetUp() override {
    ASSERT_TRUE(painted->ok()) << "no X display";
    XSetErrorHandler(CountXError);
    xErrors = 0;
    desktop = X11Desktop::Open(nullptr, GetParam().options);
    ASSERT_TRUE(desktop);
    dc = desktop->GetDC();
  }
  void TearDown() override {
    dc.reset();
    desktop.reset();
    // The backend gives the process's handler back after each request
    // that may fail.
    EXPECT_EQ(XSetErrorHandler(CountXError), CountXError);
  }

  // What the backend's bulk read gives, and what one GetPixel per sample
  // gives for the same grid.
  void ExpectAsPerPixel(const SampleGrid& g) {
    const auto n = static_cast<std::size_t>(g.Count());
    std::vector<Colorref> bulk(n, 0x12345678), reference(n);
    dc->ReadGrid(g, bulk.data());
    dc->ScreenContext::ReadGrid(g, reference.data());
    std::size_t wrong = 0, first = n;
    for (std::size_t i = 0; i < n; ++i)
      if (bulk[i] != reference[i] && wrong++ == 0) first = i;
    EXPECT_EQ(wrong, 0u) << "grid at (" << g.left << ", " << g.top << "), " << g.rows << " rows by "
                         << g.rowStep << ", " << g.runs << " runs by " << g.runStep << ", "
                         << g.samples << " samples by " << g.sampleStep << "; first at index "
                         << first;
  }

  std::unique_ptr<X11Desktop> desktop;
  std::unique_ptr<ScreenContext> dc;
};

TEST_P(X11ReadTest, UsesTheWayOfReadingAskedFor) {
  // A local Xvfb offers both; a fallback must not stand in unnoticed.
  EXPECT_EQ(desktop->ReadMethod().sharedMemory, GetParam().options.sharedMemory);
  EXPECT_EQ(desktop->ReadMethod().render, GetParam().options.render);
}

TEST_P(X11ReadTest, ScanGridsReadAsPerPixelAnywhereOnOrOffTheScreen) {
  const int w = painted->width, h = painted->height;
  std::mt19937 random(7);
  auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  // Laid out as a scan pass asks: every 3rd row, runs 100 apart of five
  // samples 5 apart; across each edge of the screen and well inside it.
  for (int i = 0; i < 40; ++i) {
    SampleGrid g{in(-700, w + 50), in(-60, h + 10), in(1, 40), 3, in(1, 12), 100, 5, 5};
    if (i % 4 == 0) g.samples = 1;  // the first samples only
    ExpectAsPerPixel(g);
  }
  ExpectAsPerPixel({-5000, -5000, 5, 3, 5, 100, 5, 5});  // nowhere near the screen
  ExpectAsPerPixel({w - 3, h - 3, 4, 3, 3, 100, 5, 5});  // one sample on it
  EXPECT_EQ(xErrors, 0);
}

TEST_P(X11ReadTest, OtherGridsReadAsPerPixelToo) {
  const int w = painted->width, h = painted->height;
  std::mt19937 random(11);
  auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  // Steps of one pixel and more, runs that overlap or leave gaps, small
  // grids after big ones so that kept buffers are reused and regrown.
  for (int i = 0; i < 50; ++i) {
    SampleGrid g{in(-200, w + 20), in(-100, h + 20), in(1, 12), in(1, 9),
                 in(1, 10),        in(1, 150),       in(1, 6),  in(1, 12)};
    if (i % 10 == 0) g = {in(-50, 50), in(-50, 50), in(60, 100), 7, in(10, 20), 50, 5, 5};
    ExpectAsPerPixel(g);
  }
  EXPECT_EQ(xErrors, 0);
}

TEST_P(X11ReadTest, RegionReadsAsPerPixel) {
  const int w = painted->width, h = painted->height;
  std::mt19937 random(13);
  auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  for (int i = 0; i < 30; ++i) {
    const int left = in(-40, w + 5), top = in(-40, h + 5), width = in(1, 60), height = in(1, 30);
    std::vector<Colorref> bulk(std::size_t(width) * height, 0x12345678);
    dc->ReadRegion(left, top, width, height, bulk.data());
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        ASSERT_EQ(bulk[std::size_t(y) * width + x], dc->GetPixel(left + x, top + y))
            << "at (" << left + x << ", " << top + y << ")";
  }
  EXPECT_EQ(xErrors, 0);
}

TEST_P(X11ReadTest, TheBulkPassClicksWhereThePerSamplePassClicks) {
  // Clicks only logged, so the screen stays.
  RecordingDesktop bulk(*desktop, false), reference(*desktop, false);
  FakeForm bulkForm(bulk), referenceForm(reference);
  const Colorref target =
      dc->GetPixel(PaintedScreen::kTargetWindowX + 5, PaintedScreen::kTargetWindowY + 5);
  const TRect areas[] = {{0, 0, painted->width, painted->height},
                         {-150, 120, painted->width + 300, 420}};
  for (const TRect& area : areas) {
    for (FakeForm* form : {&bulkForm, &referenceForm}) form->Track(area, target);
    bulk.clicks.clear();
    reference.clicks.clear();
    bulkForm.tracker.ScanPass();
    referenceForm.tracker.ScanPassPerSample();
    EXPECT_EQ(bulk.clicks, reference.clicks);
    EXPECT_GE(reference.clicks.size(), 20u);  // at least the button in the window
  }
  EXPECT_EQ(xErrors, 0);
}

INSTANTIATE_TEST_SUITE_P(AllWays, X11ReadTest,
                         ::testing::Values(Method{"RenderShm", {true, true}},
                                           Method{"RenderPlain", {false, true}},
                                           Method{"Shm", {true, false}},
                                           Method{"Plain", {false, false}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
