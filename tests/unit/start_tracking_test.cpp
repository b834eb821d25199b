#include <gtest/gtest.h>

#include "tests/support/fake_controls.h"
#include "tests/support/fake_desktop.h"
#include "tracking/exceptions.h"

namespace {
struct StartTrackingTest : ::testing::Test {
  FakeDesktop screen{800, 600};
  FakeForm form{screen};

  void Corners(const char* l, const char* t, const char* r, const char* b) {
    form.Edit1.text = l, form.Edit2.text = t, form.Edit3.text = r, form.Edit4.text = b;
  }
  std::string ErrorOfStart() {
    try {
      form.tracker.StartTracking();
    } catch (const EConvertError& e) {
      return e.Message();
    }
    return "";
  }
};
}  // namespace

TEST_F(StartTrackingTest, ThePlaceholderKeepsTheOneMinuteDefault) {
  Corners("100", "200", "400", "240");
  form.tracker.StartTracking();
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_EQ(form.scheduler.armed, (std::vector<std::uint32_t>{60000}));
  EXPECT_EQ(form.Label3.text, "300 * 40");
  EXPECT_NE(form.tracker.ScreenDC, nullptr);
}

TEST_F(StartTrackingTest, TheTypedIntervalIsAppliedAsUnsigned) {
  Corners("0", "0", "0", "0");
  form.Edit6.text = "500";
  form.tracker.StartTracking();
  EXPECT_EQ(form.Timer1.Interval(), 500u);
  form.Edit6.text = "-1";
  form.tracker.StartTracking();
  EXPECT_EQ(form.Timer1.Interval(), 0xFFFFFFFFu);
  form.Edit6.text = "0";
  form.tracker.StartTracking();
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_FALSE(form.scheduler.pending);  // 0: no ticks at all
}

TEST_F(StartTrackingTest, TheSizeLabelShowsWhatTheEditsSay) {
  Corners("400", "240", "100", "200");  // reversed
  form.tracker.StartTracking();
  EXPECT_EQ(form.Label3.text, "-300 * -40");
  Corners("-2147483648", "-2147483648", "2147483647", "2147483647");
  form.tracker.StartTracking();
  EXPECT_EQ(form.Label3.text, "4294967295 * 4294967295");  // no wrap-around
}

TEST_F(StartTrackingTest, ABadIntervalChangesNothing) {
  Corners("0", "0", "10", "10");
  form.Edit6.text = "5s";
  EXPECT_NE(ErrorOfStart().find("«5s»"), std::string::npos);
  EXPECT_FALSE(form.Timer1.Enabled());
  EXPECT_EQ(form.Label3.text, "W * H");
  EXPECT_EQ(form.tracker.ScreenDC, nullptr);

  form.Edit6.text = "500";
  form.tracker.StartTracking();
  form.Edit6.text = "soon";
  ErrorOfStart();
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_EQ(form.Timer1.Interval(), 500u);
}

TEST_F(StartTrackingTest, UncapturedCornersStillSwitchTrackingOn) {
  form.Edit6.text = "500";
  EXPECT_NE(ErrorOfStart().find("«Y»"), std::string::npos);
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_EQ(form.Timer1.Interval(), 500u);
  EXPECT_EQ(form.Label3.text, "W * H");
  EXPECT_EQ(form.tracker.ScreenDC, nullptr);
  // Passes then read nothing and click nothing, even with the target left
  // at the value a failed colour capture stores.
  form.Edit5.color = CLR_INVALID;
  form.tracker.TrackingArea = {0, 0, 600, 400};
  form.FireTimer();
  EXPECT_EQ(form.ticks, 1);
  EXPECT_TRUE(screen.Clicks().empty());
}

TEST_F(StartTrackingTest, CornerTextsAreConvertedBottomTopRightLeft) {
  Corners("left?", "top?", "right?", "bottom?");
  EXPECT_NE(ErrorOfStart().find("«bottom?»"), std::string::npos);
  form.Edit4.text = "40";
  EXPECT_NE(ErrorOfStart().find("«top?»"), std::string::npos);
  form.Edit2.text = "0";
  EXPECT_NE(ErrorOfStart().find("«right?»"), std::string::npos);
  form.Edit3.text = "300";
  EXPECT_NE(ErrorOfStart().find("«left?»"), std::string::npos);
}

TEST_F(StartTrackingTest, EachStartReplacesTheScreenHandleWithoutLeaking) {
  Corners("0", "0", "0", "0");
  for (int i = 0; i < 5; ++i) form.tracker.StartTracking();
  EXPECT_EQ(screen.contextsTaken, 5);
  EXPECT_EQ(screen.liveContexts, 1);
}

TEST_F(StartTrackingTest, ATypicalRunClicksTheTargetOnEveryTick) {
  screen.Fill(300, 300, 200, 30, 0x00336699);
  screen.Fill(300, 400, 200, 30, 0x00336698);  // one unit off
  screen.PutCursor(250, 250);
  form.tracker.CaptureTopLeft();
  screen.PutCursor(700, 500);
  form.tracker.CaptureBottomRight();
  screen.PutCursor(310, 310);
  form.tracker.CaptureColor();
  form.Edit6.text = "500";
  form.tracker.StartTracking();
  EXPECT_EQ(form.Label3.text, "450 * 250");
  EXPECT_TRUE(screen.Clicks().empty());
  form.FireTimer();
  form.FireTimer();
  EXPECT_EQ(screen.passesStarted, 2);  // a handle whose reads failed is renewed then
  const auto clicks = screen.Clicks();
  ASSERT_EQ(clicks.size(), 40u);  // columns 350 and 450, ten rows, two ticks
  for (const auto& p : clicks) {
    EXPECT_TRUE(p.x == 350 || p.x == 450);
    EXPECT_TRUE(p.y >= 301 && p.y <= 328);
  }
}
