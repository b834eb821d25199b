// The bulk scan pass against the per-sample reference on the fake desktop:
// same screens, same areas, the same clicks in the same order, also when a
// click changes the screen.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>
#include <string>

#include "tests/support/fake_controls.h"
#include "tests/support/fake_desktop.h"

// From allocation_count.cpp: heap allocations made while the flag is set.
extern bool countAllocations;
extern long allocations;

namespace {

constexpr Colorref kTarget = 0x0033CC66;
constexpr Colorref kNearMiss = kTarget ^ 1;
constexpr Colorref kBackground = 0x00202020;

// A screen and an area drawn from one seed, so that two desktops can be
// made alike: target-coloured blocks around the sizes where a run starts
// or stops matching, many lined up on the area's grid, broken by single
// pixels of a near-miss colour, and now and then a failed-read value.
struct Case {
  int width, height;
  TRect area;
  std::size_t chunkLimit;
};

Case MakeCase(unsigned seed) {
  std::mt19937 random(seed);
  auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  Case c;
  c.width = in(1, 1500);
  c.height = in(1, 700);
  const int left = in(-400, c.width + 50), top = in(-100, c.height + 20);
  // Mostly real areas, some reversed or too small to hold a grid point.
  const int w = in(0, 9) == 0 ? in(-300, 195) : in(150, c.width + 500);
  const int h = in(0, 9) == 0 ? in(-50, 8) : in(5, c.height + 150);
  c.area = {left, top, left + w, top + h};
  const std::size_t limits[] = {std::size_t{1} << 21, 5, 7, 12, 60, 333};
  c.chunkLimit = limits[in(0, 5)];
  return c;
}

void Paint(FakeDesktop& screen, const Case& c, unsigned seed) {
  std::mt19937 random(seed * 7919u + 1);
  auto in = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  const int blocks = in(0, 40);
  for (int i = 0; i < blocks; ++i) {
    if (in(0, 2) == 0) {
      screen.Fill(in(-50, c.width), in(-20, c.height), 200, 30, kTarget);
    } else {
      // On a grid column of the area, starting at it or one pixel later,
      // 20 to 22 pixels wide: the run needs x to x + 20.
      const int x = c.area.Left + 100 * in(1, 15) + in(-1, 1);
      screen.Fill(x, in(-5, c.height), in(19, 23), in(1, 12), kTarget);
    }
  }
  const int specks = in(0, 200);
  for (int i = 0; i < specks; ++i) {
    const Colorref colours[] = {kNearMiss, kBackground, CLR_INVALID};
    screen.Fill(in(0, c.width), in(0, c.height), 1, 1, colours[in(0, 2)]);
  }
}

// One tracker per desktop, as the program has.
struct Side {
  Side(const Case& c, unsigned seed) : screen(c.width, c.height, kBackground), form(screen) {
    Paint(screen, c, seed);
    form.Track(c.area, kTarget);
    form.tracker.SetScanChunkLimit(c.chunkLimit);
  }
  FakeDesktop screen;
  FakeForm form;
};

std::string Describe(const Case& c, unsigned seed) {
  return "seed " + std::to_string(seed) + ": screen " + std::to_string(c.width) + "x" +
         std::to_string(c.height) + ", area (" + std::to_string(c.area.Left) + ", " +
         std::to_string(c.area.Top) + ")-(" + std::to_string(c.area.Right) + ", " +
         std::to_string(c.area.Bottom) + "), reads of at most " + std::to_string(c.chunkLimit) +
         " samples";
}

// Runs both passes on alike desktops; the event logs (moves, button events
// and their order) must be equal. Returns the number of clicks.
std::size_t ExpectSameClicks(const Case& c, unsigned seed,
                             const std::function<void(FakeDesktop&, ScreenPoint)>& onClick = {}) {
  Side bulk(c, seed), reference(c, seed);
  bulk.screen.onLeftClick = reference.screen.onLeftClick = onClick;
  bulk.form.tracker.ScanPass();
  reference.form.tracker.ScanPassPerSample();
  EXPECT_EQ(bulk.screen.events, reference.screen.events) << Describe(c, seed);
  // However wide the area, no read asks for more than the limit.
  for (const SampleGrid& g : bulk.screen.gridReads)
    EXPECT_LE(static_cast<std::size_t>(g.Count()), c.chunkLimit) << Describe(c, seed);
  return reference.screen.Clicks().size();
}

TEST(BulkScanPass, ClicksWhereThePerSamplePassClicksOnRandomScreens) {
  std::size_t clicks = 0;
  for (unsigned seed = 1; seed <= 400; ++seed) clicks += ExpectSameClicks(MakeCase(seed), seed);
  EXPECT_GT(clicks, 400u);  // the screens do hold matches
}

// A click repaints part of the screen, chosen from where and how many
// clicks came before, so both desktops change alike as long as the passes
// click alike: targets vanish, appear further down, next in the same row,
// or behind the pass where it must not go back to.
TEST(BulkScanPass, ClicksWhereThePerSamplePassClicksWhenClicksChangeTheScreen) {
  std::size_t clicks = 0;
  for (unsigned seed = 1; seed <= 400; ++seed) {
    const Case c = MakeCase(seed);
    auto onClick = [n = 0](FakeDesktop& screen, ScreenPoint p) mutable {
      switch ((p.x / 100 + p.y / 3 + n++) % 5) {
        case 0: screen.Fill(p.x - 150, p.y - 40, 400, 80, kBackground); break;
        case 1: screen.Fill(p.x - 100, p.y + 3 * (n % 40), 250, 2, kTarget); break;
        case 2: screen.Fill(p.x + 100, p.y, 21, 1, kTarget); break;
        case 3: screen.Fill(p.x + 100 + 5 * (n % 5), p.y, 1, 1, kNearMiss); break;
        default: screen.Fill(0, p.y - 30, screen.width, 20, kTarget); break;
      }
    };
    clicks += ExpectSameClicks(c, seed, onClick);
  }
  EXPECT_GT(clicks, 400u);
}

struct BulkScanTest : ::testing::Test {
  FakeDesktop screen{1200, 700, kBackground};
  FakeForm form{screen};
  void Track(TRect area) { form.Track(area, kTarget); }
  // The reference's clicks on a desktop painted the same way.
  std::vector<ScreenPoint> ReferenceClicks(const std::function<void(FakeDesktop&)>& paint,
                                           std::function<void(FakeDesktop&, ScreenPoint)> onClick) {
    FakeDesktop other(screen.width, screen.height, kBackground);
    FakeForm otherForm(other);
    paint(other);
    other.onLeftClick = std::move(onClick);
    otherForm.Track(form.tracker.TrackingArea, kTarget);
    otherForm.tracker.ScanPassPerSample();
    return other.Clicks();
  }
};

TEST_F(BulkScanTest, ATargetThatAppearsFurtherDownWhenClickedIsClickedToo) {
  Track({0, 0, 1000, 600});
  auto paint = [](FakeDesktop& s) { s.Fill(150, 100, 200, 30, kTarget); };
  // The first click closes the button and opens another further down.
  auto onClick = [](FakeDesktop& s, ScreenPoint) {
    s.Fill(150, 100, 200, 30, kBackground);
    s.Fill(550, 400, 200, 30, kTarget);
  };
  paint(screen);
  screen.onLeftClick = onClick;
  form.tracker.ScanPass();
  const auto clicks = screen.Clicks();
  ASSERT_EQ(clicks.size(), 21u);  // once on the first, 20 times on the second
  EXPECT_TRUE((clicks[0] == ScreenPoint{200, 102}));
  EXPECT_TRUE((clicks[1] == ScreenPoint{600, 402}));
  EXPECT_EQ(clicks, ReferenceClicks(paint, onClick));
}

TEST_F(BulkScanTest, AClickThatChangesTheNextPointOfTheSameRowIsSeen) {
  Track({0, 0, 1000, 10});  // one row, y = 3..6, columns 100..900
  auto paint = [](FakeDesktop& s) { s.Fill(100, 3, 221, 1, kTarget); };  // 100, 200, 300 match
  // Clicking 100 removes 200; clicking 300 makes 400 match.
  auto onClick = [](FakeDesktop& s, ScreenPoint p) {
    if (p.x == 100) s.Fill(200, 3, 21, 1, kNearMiss);
    if (p.x == 300) s.Fill(400, 3, 21, 1, kTarget);
  };
  paint(screen);
  screen.onLeftClick = onClick;
  form.tracker.ScanPass();
  const std::vector<ScreenPoint> expected = {{100, 3}, {300, 3}, {400, 3}};
  EXPECT_EQ(screen.Clicks(), expected);
  EXPECT_EQ(ReferenceClicks(paint, onClick), expected);
}

TEST_F(BulkScanTest, APassWithNothingToClickReadsTheScreenOnceAndOnlyOnTheGrid) {
  screen.Fill(0, 0, 1200, 700, kNearMiss);
  const TRect area{-40, 17, 1130, 500};  // partly off the screen
  Track(area);
  form.tracker.ScanPass();
  EXPECT_TRUE(screen.Clicks().empty());
  EXPECT_EQ(screen.regionReads, 1);
  ASSERT_FALSE(screen.pixelReads.empty());
  for (const ScreenPoint& p : screen.pixelReads) {
    const int dx = p.x - area.Left - 100, dy = p.y - area.Top - 3;
    EXPECT_TRUE(dx >= 0 && dx % 100 <= 20 && dx % 5 == 0 && p.x + 90 - 20 < area.Right) << p.x;
    EXPECT_TRUE(dy >= 0 && dy % 3 == 0 && p.y < area.Bottom - 3) << p.y;
  }
}

TEST_F(BulkScanTest, WithoutAScreenHandleNothingIsReadOrClicked) {
  screen.Fill(0, 0, 1200, 700, kTarget);
  Track({0, 0, 1000, 100});
  form.tracker.ScreenDC.reset();
  form.tracker.ScanPass();
  EXPECT_TRUE(screen.events.empty());
  EXPECT_TRUE(screen.pixelReads.empty());
}

TEST_F(BulkScanTest, PassesInTheSteadyStateAllocateNothing) {
  screen.Fill(150, 100, 200, 30, kTarget);  // clicked 20 times a pass
  screen.Fill(0, 300, 1200, 1, kNearMiss);
  const TRect big{0, 0, 1200, 700}, small{100, 50, 600, 200};
  Track(big);
  form.tracker.ScanPass();  // buffers grow to what this area needs
  form.tracker.TrackingArea = small;
  form.tracker.ScanPass();
  form.tracker.TrackingArea = big;
  // Room in the fake's own logs for three more passes.
  screen.events.reserve(4 * screen.events.size());
  screen.pixelReads.reserve(4 * screen.pixelReads.size());
  screen.gridReads.reserve(4 * screen.gridReads.size());
  screen.events.clear();
  allocations = 0;
  countAllocations = true;
  form.tracker.ScanPass();
  form.tracker.TrackingArea = small;
  form.tracker.ScanPass();
  form.tracker.TrackingArea = big;
  form.tracker.ScanPass();
  countAllocations = false;
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(screen.Clicks().size(), 2 * 20u + 20u);  // both areas hold the target
}

}  // namespace
