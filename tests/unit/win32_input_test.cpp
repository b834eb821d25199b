// What the Windows backend decides about input, through the seams over the
// Windows calls it takes: the button sent under the left hand's swap and
// what SendInput's answer means, the mark that tells two copies' events
// apart, when the low-level hook's view counts, and which points lie on a
// monitor. Wine shows none of these as Windows does.
#include <gtest/gtest.h>

#include <vector>

#include "platform/desktop.h"
#include "platform/win32/button_sender.h"
#include "platform/win32/button_watch.h"
#include "platform/win32/input_mark.h"
#include "platform/win32/monitor_rects.h"

namespace {
struct FakeWindows : ButtonSender::Windows {
  bool swapped = false, inserts = true, targetRefuses = false;
  std::vector<std::uint32_t> inserted;
  bool ButtonsSwapped() override { return swapped; }
  bool Insert(std::uint32_t flags) override {
    if (inserts) inserted.push_back(flags);
    return inserts;
  }
  bool TargetRefusesInput() override { return targetRefuses; }
};

struct FakeSystem : ButtonWatch::System {
  bool down = false, frontRefuses = false, ownSeen = true;
  std::uint32_t lastInput = 1000;
  int putBack = 0;
  bool AnyButtonDown() override { return down && !frontRefuses; }
  bool FrontRefusesInput() override { return frontRefuses; }
  std::uint32_t LastInputTick() override { return lastInput; }
  bool AwaitOwnEventsSeen() override { return ownSeen; }
  void PutHookBack() override { ++putBack; }
};

constexpr std::uint32_t kSlack = ButtonWatch::kSameInputMs;
}  // namespace

TEST(Win32Buttons, ALeftHandedUserGetsClicksOfThePrimaryButton) {
  FakeWindows windows;
  ButtonSender sender(windows);
  sender.Send(MOUSEEVENTF_LEFTDOWN);
  windows.swapped = true;           // while tracking runs: the primary is the physical right
  sender.Send(MOUSEEVENTF_LEFTUP);  // goes where its press went
  sender.Send(MOUSEEVENTF_LEFTDOWN);
  windows.swapped = false;
  sender.Send(MOUSEEVENTF_LEFTUP);
  windows.swapped = true;
  sender.Send(MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_MIDDLEUP);  // the secondary: the physical left
  EXPECT_EQ(windows.inserted,
            (std::vector<std::uint32_t>{MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP,
                                        MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP,
                                        MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_MIDDLEUP}));
}

TEST(Win32Buttons, AnEventSendInputDidNotInsertIsRefusedForItsReason) {
  FakeWindows windows;
  ButtonSender sender(windows);
  sender.Send(MOUSEEVENTF_LEFTDOWN);
  EXPECT_FALSE(sender.Refusal());
  windows.inserts = false;
  sender.Send(MOUSEEVENTF_LEFTUP);
  EXPECT_EQ(sender.Refusal(), Reason::InputRefused);
  windows.targetRefuses = true;  // a window with more rights
  sender.Send(MOUSEEVENTF_LEFTDOWN);
  EXPECT_EQ(sender.Refusal(), Reason::ElevatedTarget);
  windows.inserts = true;
  sender.Send(MOUSEEVENTF_LEFTUP);
  EXPECT_FALSE(sender.Refusal());
}

TEST(Win32InputMark, TwoCopiesEachTakeOnlyTheirOwnEventsForTheirs) {
  const InputMark a(0x1234), b(0x5678);
  // Both copies' events, interleaved as one hook sees them.
  int aOwn = 0;
  for (std::uint64_t extra : {a.Of(1), b.Of(1), b.Of(2), a.Of(2), a.Of(0xFFFF), b.Of(3)}) {
    EXPECT_NE(a.IsOurs(extra), b.IsOurs(extra));
    aOwn += a.IsOurs(extra);
  }
  EXPECT_EQ(aOwn, 3);
  // All of the mark counts: not the tag alone (as every copy marked its
  // input before), nor an id one bit off; no mark is the user's.
  EXPECT_FALSE(a.IsOurs(std::uint64_t{0x636C} << 48 | 1));
  EXPECT_FALSE(a.IsOurs(InputMark(0x1234 | 0x80000000u).Of(1)));
  EXPECT_FALSE(a.IsOurs(0));
  // The number comes back, and is reached across the wrap.
  EXPECT_EQ(InputMark::SequenceOf(b.Of(0xBEEF)), 0xBEEF);
  EXPECT_TRUE(InputMark::Reached(5, 5) && InputMark::Reached(2, 0xFFFE));
  EXPECT_FALSE(InputMark::Reached(4, 5) || InputMark::Reached(0xFFFE, 2));
}

TEST(Win32ButtonWatch, TheHooksViewDecidesWhileItSawTheLastInput) {
  ButtonWatch watch;
  FakeSystem system;
  watch.HookIn(0, 1000);
  EXPECT_FALSE(watch.UserHoldsButton(system));
  // A window in front that hides the buttons changes nothing while the
  // hook sees them.
  system.frontRefuses = true;
  EXPECT_FALSE(watch.UserHoldsButton(system));
  system.frontRefuses = false;

  // Under the swap the primary button is the physical right: held is held.
  watch.UserButton(ButtonWatch::kRight, true);
  watch.Saw(2000);
  system.lastInput = 2000 + kSlack;  // told a moment later, the same input
  system.down = true;
  EXPECT_TRUE(watch.UserHoldsButton(system));
  watch.UserButton(ButtonWatch::kRight, false);
  watch.Saw(3000);
  system.lastInput = 3000;
  system.down = false;
  EXPECT_FALSE(watch.UserHoldsButton(system));

  // The state the hook saw last; the system has the last word over a
  // button it saw go down and never up (released on a secure desktop).
  watch.UserButton(ButtonWatch::kX1, true);
  EXPECT_FALSE(watch.UserHoldsButton(system));
  system.frontRefuses = true;
  EXPECT_TRUE(watch.UserHoldsButton(system));
}

TEST(Win32ButtonWatch, InputTheHookDidNotSeeLeavesItToTheSystemsState) {
  ButtonWatch watch;
  FakeSystem system;
  watch.HookIn(0, 1000);
  // Removed without a word, the hook sees nothing more; the user presses.
  system.lastInput = 1000 + kSlack + 1;
  system.down = true;
  EXPECT_TRUE(watch.UserHoldsButton(system));
  system.down = false;
  EXPECT_FALSE(watch.UserHoldsButton(system));
  system.frontRefuses = true;  // a state it cannot know counts as held
  EXPECT_TRUE(watch.UserHoldsButton(system));

  // Our own cursor moves are input that no hook is shown.
  watch.OwnInputUpTo(system.lastInput);
  EXPECT_FALSE(watch.UserHoldsButton(system));
  ++system.lastInput;
  EXPECT_TRUE(watch.UserHoldsButton(system));
  // Seeing events again, the hook's view counts again.
  watch.Saw(system.lastInput);
  EXPECT_FALSE(watch.UserHoldsButton(system));
}

TEST(Win32ButtonWatch, AHookThatMissedOurEventIsPutBackAndCountsOnceItSeesEvents) {
  ButtonWatch watch;
  FakeSystem system;
  // No hook in: nothing is waited for, and the system alone decides.
  system.ownSeen = false;
  EXPECT_TRUE(watch.AwaitOwnInput(system));
  system.frontRefuses = true;
  EXPECT_TRUE(watch.UserHoldsButton(system));
  system.frontRefuses = false;

  watch.HookIn(0, 1000);
  system.ownSeen = true;
  EXPECT_TRUE(watch.AwaitOwnInput(system));
  system.ownSeen = false;
  EXPECT_FALSE(watch.AwaitOwnInput(system));
  EXPECT_FALSE(watch.AwaitOwnInput(system));
  EXPECT_EQ(system.putBack, 1);  // once, until it sees events again

  // Back in, it starts from what the system holds, but decides nothing
  // before it has seen an event.
  watch.HookIn(ButtonWatch::kLeft, 1000);
  system.frontRefuses = true;
  EXPECT_TRUE(watch.UserHoldsButton(system));
  system.frontRefuses = false;
  watch.Saw(1000);
  system.down = true;  // our press, still queued when it went in
  EXPECT_TRUE(watch.UserHoldsButton(system));
  system.down = false;  // handled: the system's state has the last word
  EXPECT_FALSE(watch.UserHoldsButton(system));
  system.frontRefuses = true;
  watch.UserButton(ButtonWatch::kLeft, false);
  EXPECT_FALSE(watch.UserHoldsButton(system));

  // Missed again later, it is put back again.
  EXPECT_FALSE(watch.AwaitOwnInput(system));
  EXPECT_EQ(system.putBack, 2);
}

TEST(Win32Monitors, APointInAGapBetweenMonitorsIsOnNone) {
  // The primary 1280 x 1024 at the origin, a 1024 x 768 one left of it:
  // below that one a gap of 1024 x 256.
  MonitorRects monitors;
  monitors.Take([](std::vector<MonitorRect>& out) {
    out.push_back({0, 0, 1280, 1024});
    out.push_back({-1024, 0, 0, 768});
  });
  EXPECT_TRUE(monitors.Contains(-1024, 0) && monitors.Contains(-1, 767));
  EXPECT_TRUE(monitors.Contains(0, 1023));
  EXPECT_FALSE(monitors.Contains(-1, 768) || monitors.Contains(-600, 1000));  // the gap
  EXPECT_FALSE(monitors.Contains(1280, 0) || monitors.Contains(0, 1024));
  // Taken again at the next pass: the monitors as they are then. With none
  // found, the virtual screen alone decides.
  monitors.Take([](std::vector<MonitorRect>& out) { out.push_back({0, 0, 1280, 1024}); });
  EXPECT_FALSE(monitors.Contains(-1, 0));
  monitors.Take([](std::vector<MonitorRect>&) {});
  EXPECT_TRUE(monitors.Contains(-600, 1000));
}
