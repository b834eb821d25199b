#include <gtest/gtest.h>

#include "tests/support/fake_controls.h"
#include "tests/support/fake_desktop.h"

TEST(CornerCapture, StoresAndShowsTheCursorPositionOfEachCorner) {
  FakeDesktop screen(800, 600);
  FakeForm form(screen);
  screen.PutCursor(100, 200);
  form.tracker.CaptureTopLeft();
  screen.PutCursor(-40, 7);  // a monitor left of the primary one
  form.tracker.CaptureBottomRight();
  EXPECT_EQ(form.Edit1.text, "100");
  EXPECT_EQ(form.Edit2.text, "200");
  EXPECT_EQ(form.Edit3.text, "-40");
  EXPECT_EQ(form.Edit4.text, "7");
  const TRect& area = form.tracker.TrackingArea;
  EXPECT_EQ(area.Left, 100);
  EXPECT_EQ(area.Top, 200);
  EXPECT_EQ(area.Right, -40);
  EXPECT_EQ(area.Bottom, 7);
  // Typing into the edits afterwards does not move the area.
  form.Edit1.text = "5";
  EXPECT_EQ(form.tracker.TrackingArea.Left, 100);
}

TEST(ColourCapture, TakesThePixelUnderTheCursorAsTheTarget) {
  FakeDesktop screen(800, 600);
  FakeForm form(screen);
  screen.Fill(30, 40, 1, 1, 0x000000FF);  // pure red
  screen.PutCursor(30, 40);
  form.tracker.CaptureColor();
  EXPECT_EQ(form.Edit5.color, 0x000000FFu);
  EXPECT_EQ(form.Edit5.text, "255");
  ASSERT_EQ(screen.pixelReads.size(), 1u);
  EXPECT_EQ(screen.pixelReads[0].x, 30);
  EXPECT_EQ(screen.pixelReads[0].y, 40);
  EXPECT_EQ(screen.liveContexts, 0);  // its handle is given back

  screen.Fill(0, 0, 1, 1, 0x00FFFFFF);
  screen.PutCursor(0, 0);
  form.tracker.CaptureColor();
  EXPECT_EQ(form.Edit5.text, "16777215");
}

TEST(ColourCapture, AFailedReadIsStoredAndShownAsMinusOne) {
  FakeDesktop screen(800, 600);
  FakeForm form(screen);
  screen.PutCursor(900, 10);  // off the screen
  form.tracker.CaptureColor();
  EXPECT_EQ(form.Edit5.color, CLR_INVALID);
  EXPECT_EQ(form.Edit5.text, "-1");
  screen.screenUnavailable = true;
  form.Edit5.color = 0;
  form.tracker.CaptureColor();
  EXPECT_EQ(form.Edit5.color, CLR_INVALID);
}
