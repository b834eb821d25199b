#include <gtest/gtest.h>

#include "tests/support/fake_controls.h"
#include "tracking/interval_timer.h"

namespace {
struct TimerTest : ::testing::Test {
  FakeScheduler scheduler;
  int ticks = 0;
  TTimer timer{scheduler, [this] { ++ticks; }};
  void Fire() {
    scheduler.pending = false;
    timer.Elapsed();
  }
};
}  // namespace

TEST_F(TimerTest, StartsDisabledAtOneMinute) {
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 60000u);
  timer.SetInterval(500);
  EXPECT_TRUE(scheduler.armed.empty());
  timer.SetEnabled(true);
  EXPECT_EQ(scheduler.armed, (std::vector<std::uint32_t>{500}));
  Fire();
  Fire();
  EXPECT_EQ(ticks, 2);
  EXPECT_TRUE(scheduler.pending);
}

TEST_F(TimerTest, OnlyANewIntervalRestartsTheCountdown) {
  timer.SetEnabled(true);
  timer.SetInterval(60000);
  timer.SetEnabled(true);
  EXPECT_EQ(scheduler.armed.size(), 1u);
  timer.SetInterval(500);
  EXPECT_EQ(scheduler.armed, (std::vector<std::uint32_t>{60000, 500}));
}

TEST_F(TimerTest, ZeroMeansNoTicks) {
  timer.SetInterval(0);
  timer.SetEnabled(true);
  EXPECT_FALSE(scheduler.pending);
  timer.Elapsed();  // a stray alarm
  EXPECT_EQ(ticks, 0);
}

TEST_F(TimerTest, IntervalsBeyondTheSignedRangeAreArmedInPieces) {
  timer.SetInterval(0xFFFFFFFFu);  // "-1"
  timer.SetEnabled(true);
  ASSERT_EQ(scheduler.armed, (std::vector<std::uint32_t>{0x7FFFFFFF}));
  Fire();
  EXPECT_EQ(ticks, 0);
  Fire();
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(scheduler.armed.back(), 1u);  // 0x7FFFFFFF + 0x7FFFFFFF + 1
  Fire();
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(scheduler.armed.back(), 0x7FFFFFFFu);
}

TEST_F(TimerTest, TheNextTickIsArmedOnceBeforeTheHandlerRuns) {
  // However long the handler takes, one alarm is pending afterwards, not a
  // backlog of missed ticks.
  std::size_t armedDuringTick = 0;
  TTimer slow{scheduler, [&] { armedDuringTick = scheduler.armed.size(); }};
  slow.SetInterval(500);
  slow.SetEnabled(true);
  scheduler.pending = false;
  slow.Elapsed();
  EXPECT_EQ(armedDuringTick, 2u);
  EXPECT_EQ(scheduler.armed.size(), 2u);
}
