#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>

#include "tests/support/fake_controls.h"
#include "tests/support/fake_desktop.h"

namespace {
constexpr Colorref kTarget = 0x0000FF00;  // pure green

// Every behaviour here holds for the bulk pass the program runs and for
// the per-sample pass it is held to.
enum class PassKind { Bulk, PerSample };

struct ScanPassTest : ::testing::TestWithParam<PassKind> {
  FakeDesktop screen{1200, 700};
  FakeForm form{screen};

  void Track(TRect area, Colorref target = kTarget) { form.Track(area, target); }
  PassReport Report() {
    return GetParam() == PassKind::Bulk ? form.tracker.ScanPass()
                                        : form.tracker.ScanPassPerSample();
  }
  std::vector<ScreenPoint> Pass() {
    Report();
    return screen.Clicks();
  }
  void StartTracking(TRect area) {
    form.Edit1.text = std::to_string(area.Left), form.Edit2.text = std::to_string(area.Top);
    form.Edit3.text = std::to_string(area.Right), form.Edit4.text = std::to_string(area.Bottom);
    form.tracker.StartTracking();
  }
};
using PerSampleScanPassTest = ScanPassTest;

}  // namespace

TEST_P(ScanPassTest, VisitsEveryGridPointOfTheAreaRowByRow) {
  screen.Fill(0, 0, 1200, 700, kTarget);  // everything matches
  Track({0, 0, 1000, 100});
  const auto clicks = Pass();
  ASSERT_EQ(clicks.size(), 288u);  // 32 rows (3..96) x 9 columns (100..900)
  EXPECT_TRUE((clicks.front() == ScreenPoint{100, 3}));
  EXPECT_TRUE((clicks[1] == ScreenPoint{200, 3}));
  EXPECT_TRUE((clicks[9] == ScreenPoint{100, 6}));
  EXPECT_TRUE((clicks.back() == ScreenPoint{900, 96}));
  EXPECT_TRUE((screen.GetCursorPos() == ScreenPoint{900, 96}));
}

TEST_P(ScanPassTest, AreasWithoutGridPointsReadNothing) {
  screen.Fill(0, 0, 1200, 700, kTarget);
  const TRect noGrid[] = {
      {0, 0, 0, 0},          // never captured
      {10, 10, 200, 300},    // 190 wide
      {10, 10, 500, 16},     // 6 high
      {600, 400, 100, 100},  // reversed corners
  };
  for (const TRect& area : noGrid) {
    Track(area);
    EXPECT_TRUE(Pass().empty());
  }
  EXPECT_TRUE(screen.pixelReads.empty());
  EXPECT_EQ(screen.regionReads, 0);
  // One pixel more each way gives exactly one point.
  Track({10, 10, 201, 17});
  EXPECT_EQ(Pass().size(), 1u);
}

TEST_P(ScanPassTest, ARunMustReachTwentyPixelsRight) {
  Track({0, 0, 400, 20});                // columns x = 100, 200; rows y = 3..15
  screen.Fill(100, 9, 20, 1, kTarget);   // x..x+19 at (100, 9): too short
  screen.Fill(200, 12, 21, 1, kTarget);  // x..x+20 at (200, 12): matches
  const auto clicks = Pass();
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_TRUE((clicks[0] == ScreenPoint{200, 12}));
}

TEST_P(PerSampleScanPassTest, ReadsStopAtTheFirstSampleThatDiffers) {
  Track({0, 0, 290, 7});                // a single grid point at (100, 3)
  screen.Fill(100, 3, 11, 1, kTarget);  // samples at 100, 105, 110 match; 115 does not
  EXPECT_TRUE(Pass().empty());
  ASSERT_EQ(screen.pixelReads.size(), 4u);
  for (int k = 0; k < 4; ++k) EXPECT_TRUE((screen.pixelReads[k] == ScreenPoint{100 + 5 * k, 3}));
}

TEST_P(ScanPassTest, ClicksAreAMoveThenLeftDownAndUpWithoutSleeping) {
  Track({0, 0, 400, 20});                // columns 100, 200 and 300
  screen.Fill(100, 3, 200, 1, kTarget);  // runs fit at 100 and 200 only
  Pass();
  const std::vector<DesktopEvent> expected = {{DesktopEvent::Move, 100, 3, 0},
                                              {DesktopEvent::Button, 100, 3, MOUSEEVENTF_LEFTDOWN},
                                              {DesktopEvent::Button, 100, 3, MOUSEEVENTF_LEFTUP},
                                              {DesktopEvent::Move, 200, 3, 0},
                                              {DesktopEvent::Button, 200, 3, MOUSEEVENTF_LEFTDOWN},
                                              {DesktopEvent::Button, 200, 3, MOUSEEVENTF_LEFTUP}};
  EXPECT_EQ(screen.events, expected);
  EXPECT_TRUE((screen.GetCursorPos() == ScreenPoint{200, 3}));
}

TEST_P(ScanPassTest, ATwoHundredByThirtyButtonIsClickedUpToTwentyTimes) {
  Track({0, 0, 1000, 400});
  screen.Fill(150, 100, 200, 30, kTarget);  // columns 200 and 300, rows 102..129
  const auto clicks = Pass();
  EXPECT_EQ(clicks.size(), 20u);
  for (const auto& p : clicks) {
    EXPECT_TRUE(p.x == 200 || p.x == 300);
    EXPECT_TRUE(p.y >= 100 && p.y < 130 && p.y % 3 == 0);
  }
}

TEST_P(ScanPassTest, ATargetThatVanishesWhenClickedIsClickedOnce) {
  Track({0, 0, 1000, 400});
  screen.Fill(150, 100, 200, 30, kTarget);
  screen.onLeftClick = [](FakeDesktop& s, ScreenPoint) { s.Fill(150, 100, 200, 30, 0x00202020); };
  const auto clicks = Pass();
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_TRUE((clicks[0] == ScreenPoint{200, 102}));
}

TEST_P(ScanPassTest, NoClickWhileAButtonIsHeldOffTheScreenOrOnTheOwnWindow) {
  screen.Fill(0, 0, 1200, 700, kTarget);
  Track({0, 0, 700, 10});  // rows 3 and 6, columns 100..600
  screen.userHoldsButton = true;
  EXPECT_TRUE(Pass().empty());
  EXPECT_TRUE(screen.events.empty());  // not even a cursor move

  screen.userHoldsButton = false;
  screen.monitor = {0, 0, 550, 700};      // shrank after the pixels were read
  screen.ownWindow = {180, 0, 150, 100};  // over the columns 200 and 300
  const auto clicks = Pass();
  const std::vector<ScreenPoint> expected = {{100, 3}, {400, 3}, {500, 3},
                                             {100, 6}, {400, 6}, {500, 6}};
  ASSERT_EQ(clicks.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_TRUE(clicks[i] == expected[i]);
  const auto buttonEvents =
      std::count_if(screen.events.begin(), screen.events.end(),
                    [](const DesktopEvent& e) { return e.kind == DesktopEvent::Button; });
  EXPECT_EQ(buttonEvents, 2 * static_cast<long>(expected.size()));  // no press at a skipped point
}

TEST_P(ScanPassTest, OurOwnReleaseIsNeverTakenForTheUsersButton) {
  Track({0, 0, 1000, 400});
  screen.Fill(150, 100, 200, 30, kTarget);
  screen.releaseLagReads = 3;
  for (int pass = 0; pass < 2; ++pass) {
    const PassReport report =
        GetParam() == PassKind::Bulk ? form.tracker.ScanPass() : form.tracker.ScanPassPerSample();
    EXPECT_EQ(report.clicks, 20);
    EXPECT_EQ(report.skipped, 0);
  }
  screen.events.clear();
  screen.userHoldsButton = true;
  EXPECT_TRUE(Pass().empty());

  // Events the system does not get to: the cursor stays at the first
  // click for the rest of the pass; the next pass waits once more and
  // goes on, so a click swallowed for good does not end tracking.
  screen.userHoldsButton = false;
  screen.inputStuck = true;
  const auto clicks = Pass();
  ASSERT_EQ(clicks.size(), 1u);
  EXPECT_TRUE((screen.GetCursorPos() == clicks[0]));
  EXPECT_EQ(Pass().size(), 2u);
  screen.inputStuck = false;
  EXPECT_EQ(Pass().size(), 22u);
}

TEST_P(ScanPassTest, NothingIsReadOrClickedWhileTheSessionIsNotOnScreen) {
  screen.Fill(0, 0, 1200, 700, kTarget);
  Track({0, 0, 700, 10});
  screen.sessionOnScreen = false;
  const int started = screen.passesStarted;
  EXPECT_TRUE(Pass().empty());
  EXPECT_TRUE(screen.events.empty());
  EXPECT_TRUE(screen.pixelReads.empty());
  EXPECT_EQ(screen.regionReads, 0);
  EXPECT_EQ(screen.passesStarted, started);
  screen.sessionOnScreen = true;  // back by itself, on the next tick
  EXPECT_EQ(Pass().size(), 12u);
}

TEST_P(ScanPassTest, NoClickWhereTheSystemDropsItAndTheUserIsToldOncePerStart) {
  std::vector<Reason> told;
  form.tracker.TellUserWith([&](const Notice& n) { told.push_back(n.reason); });
  screen.Fill(0, 0, 1200, 700, kTarget);
  screen.elevatedWindow = {180, 0, 150, 100};  // over the columns 200 and 300
  Track({0, 0, 700, 10});                      // rows 3 and 6, columns 100..600
  Pass();
  const std::vector<ScreenPoint> expected = {{100, 3}, {400, 3}, {500, 3}, {600, 3},
                                             {100, 6}, {400, 6}, {500, 6}, {600, 6}};
  EXPECT_EQ(screen.Clicks(), expected);
  for (const DesktopEvent& e : screen.events)
    EXPECT_FALSE(screen.elevatedWindow.Contains(e.x, e.y));  // not even a cursor move
  EXPECT_EQ(told, std::vector<Reason>{Reason::ElevatedTarget});
  Pass();
  EXPECT_EQ(told.size(), 1u);

  form.Edit1.text = form.Edit2.text = "0", form.Edit3.text = "700", form.Edit4.text = "10";
  form.tracker.StartTracking();
  Pass();
  EXPECT_EQ(told.size(), 2u);
  screen.elevatedWindow = {};
  form.tracker.StartTracking();
  Pass();
  EXPECT_EQ(told.size(), 2u);
}

TEST_P(ScanPassTest, PointsOnNoMonitorAreNeitherReadNorClickedNorSkipped) {
  // Two monitors of different heights, and below the right one a gap,
  // which Windows copies as black: a dark target would match all over it.
  constexpr Colorref kDark = 0x00000000;
  screen.Fill(0, 0, 1200, 700, kDark);
  screen.monitors = {{0, 0, 610, 700}, {610, 0, 590, 30}};
  Track({0, 0, 1200, 60}, kDark);  // rows 3..54, columns 100..1100
  const PassReport report = Report();
  // Left: 5 columns of 18 rows; the column at 600 reaches into the right
  // monitor, and into the gap from row 30 on; right: 5 columns of 9 rows.
  EXPECT_EQ(report.clicks, 5 * 18 + 9 + 5 * 9);
  EXPECT_EQ(report.skipped, 0);
  for (const DesktopEvent& e : screen.events) {
    EXPECT_NE(e.kind, DesktopEvent::Sleep);
    EXPECT_TRUE(screen.OnAMonitor(e.x, e.y)) << e.x << "," << e.y;  // not even a cursor move
  }
  const auto offMonitor =
      std::count_if(screen.pixelReads.begin(), screen.pixelReads.end(),
                    [&](ScreenPoint p) { return !screen.OnAMonitor(p.x, p.y); });
  EXPECT_EQ(offMonitor, 0);
}

TEST_P(ScanPassTest, AWatchThatStopsSeeingEventsNeverClicksIntoAHeldButton) {
  Track({0, 0, 1000, 400});
  screen.Fill(150, 100, 200, 30, kTarget);
  screen.WatchWithHook();
  EXPECT_EQ(Pass().size(), 20u);

  // Windows removes the hook without a word, then the user holds a button
  // down: the hook's last view says none is held.
  screen.hookAlive = false;
  screen.UserButton(true);
  screen.events.clear();
  EXPECT_TRUE(Pass().empty());
  // Nor while a window that hides the buttons' state from us is in front.
  screen.frontRefusesInput = true;
  EXPECT_TRUE(Pass().empty());
  EXPECT_TRUE(screen.events.empty());  // not even a cursor move

  // Released, as the system tells: the first click goes, the hook misses
  // it and is put back, and the pass clicks no more. The next one clicks
  // every point, once the hook sees events again.
  screen.frontRefusesInput = false;
  screen.UserButton(false);
  EXPECT_EQ(Report().clicks, 1);
  EXPECT_EQ(screen.hooksPutBack, 1);
  EXPECT_EQ(Report().clicks, 20);
  EXPECT_EQ(screen.hooksPutBack, 1);
  // Its view counts again: a press it sees stops the clicks.
  screen.UserButton(true);
  EXPECT_EQ(Report().clicks, 0);
}

TEST_P(ScanPassTest, InputTheSystemRefusesIsNoClickAndIsToldOncePerStart) {
  std::vector<Reason> told;
  form.tracker.TellUserWith([&](const Notice& n) { told.push_back(n.reason); });
  const TRect area{0, 0, 1000, 400};
  Track(area);
  screen.Fill(150, 100, 200, 30, kTarget);
  screen.refusedFlags = MOUSEEVENTF_LEFTDOWN;
  PassReport report = Report();
  EXPECT_EQ(report.clicks, 0);
  EXPECT_EQ(report.skipped, 20);
  EXPECT_EQ(screen.refusedEvents, 20);  // the presses, and no release after one
  EXPECT_TRUE(screen.Clicks().empty());
  EXPECT_EQ(told, std::vector<Reason>{Reason::InputRefused});
  // A press that went in, its release refused: no click either.
  screen.refusedFlags = MOUSEEVENTF_LEFTUP;
  report = Report();
  EXPECT_EQ(report.clicks, 0);
  EXPECT_EQ(report.skipped, 20);
  EXPECT_EQ(told.size(), 1u);

  // Where a window with more rights is why, the user hears that, and each
  // reason again after a new start.
  screen.refusal = Reason::ElevatedTarget;
  StartTracking(area);
  Report();
  screen.refusal = Reason::InputRefused;
  Report();
  EXPECT_EQ(told, (std::vector<Reason>{Reason::InputRefused, Reason::ElevatedTarget,
                                       Reason::InputRefused}));
  screen.refusedFlags = 0;
  EXPECT_EQ(Report().clicks, 20);
  EXPECT_EQ(told.size(), 3u);
}

TEST_P(ScanPassTest, FailedReadsNeverMatch) {
  // A failed colour capture leaves CLR_INVALID as the target, and reads off
  // the screen or without a handle fail: none of that may click.
  Track({900, 600, 2000, 1000}, CLR_INVALID);  // mostly off the 1200x700 screen
  EXPECT_TRUE(Pass().empty());
  form.tracker.ScreenDC.reset();
  Track({0, 0, 1000, 100}, CLR_INVALID);
  form.tracker.ScreenDC.reset();
  EXPECT_TRUE(Pass().empty());
}

TEST_P(ScanPassTest, CornersAtTheEndsOfTheRangeStayInRange) {
  Track({INT_MIN, INT_MIN, INT_MIN + 10, INT_MIN + 10});
  EXPECT_TRUE(Pass().empty());
  Track({INT_MAX - 10, INT_MAX - 10, INT_MAX, INT_MAX});
  EXPECT_TRUE(Pass().empty());
  Track({INT_MAX, INT_MAX, INT_MIN, INT_MIN});
  EXPECT_TRUE(Pass().empty());
  EXPECT_TRUE(screen.pixelReads.empty());
  // At the right end of the range the one column still fits, reads stay
  // below the maximum, and the row loop ends.
  Track({INT_MAX - 250, INT_MAX - 8, INT_MAX, INT_MAX});
  Pass();
  ASSERT_FALSE(screen.pixelReads.empty());
  EXPECT_EQ(screen.pixelReads[0].x, INT_MAX - 150);
  EXPECT_EQ(screen.pixelReads[0].y, INT_MAX - 5);
  for (const ScreenPoint& p : screen.pixelReads)
    EXPECT_TRUE(p.y == INT_MAX - 5 && p.x >= INT_MAX - 150 && p.x <= INT_MAX - 130);
}

TEST_P(ScanPassTest, ANewColourOrAreaTakesEffectOnTheNextPass) {
  Track({0, 0, 1000, 400});
  screen.Fill(150, 100, 200, 30, kTarget);
  screen.Fill(550, 200, 200, 30, 0x000000FF);
  EXPECT_EQ(Pass().size(), 20u);
  screen.events.clear();
  form.Edit5.color = 0x000000FF;
  const auto red = Pass();
  ASSERT_EQ(red.size(), 20u);
  EXPECT_TRUE(red[0].x == 600 && red[0].y == 201);
}

INSTANTIATE_TEST_SUITE_P(BothPasses, ScanPassTest,
                         ::testing::Values(PassKind::Bulk, PassKind::PerSample),
                         [](const auto& info) {
                           return info.param == PassKind::Bulk ? "Bulk" : "PerSample";
                         });
INSTANTIATE_TEST_SUITE_P(Reference, PerSampleScanPassTest, ::testing::Values(PassKind::PerSample),
                         [](const auto&) { return "PerSample"; });
