#include <gtest/gtest.h>

#include "tests/support/fake_desktop.h"
#include "tracking/mouse_clicker.h"

namespace {
std::vector<std::uint32_t> ButtonFlags(const FakeDesktop& d) {
  std::vector<std::uint32_t> flags;
  for (const auto& e : d.events)
    if (e.kind == DesktopEvent::Button) flags.push_back(e.value);
  return flags;
}
std::vector<std::uint32_t> Sleeps(const FakeDesktop& d) {
  std::vector<std::uint32_t> ms;
  for (const auto& e : d.events)
    if (e.kind == DesktopEvent::Sleep) ms.push_back(e.value);
  return ms;
}
}  // namespace

TEST(MouseClicker, SendsTheDownAndUpFlagsOfEachButton) {
  FakeDesktop desktop(10, 10);
  MouseClicker clicker(desktop);
  clicker.Press(1);
  clicker.Release(1);
  EXPECT_EQ(clicker.EventFlags, 0x2u);
  clicker.Press(2);
  clicker.Release(3);
  EXPECT_EQ(clicker.EventFlags, 0x20u);  // the down flag, also after a release
  clicker.Press(0);
  clicker.Press(-7);
  EXPECT_EQ(ButtonFlags(desktop), (std::vector<std::uint32_t>{0x2, 0x4, 0x8, 0x40, 0x2, 0x2}));
}

TEST(MouseClicker, WaitSleepsInTenMillisecondSlices) {
  FakeDesktop desktop(10, 10);
  MouseClicker clicker(desktop);
  clicker.Wait(0);
  EXPECT_TRUE(desktop.events.empty());
  clicker.Wait(30);
  EXPECT_EQ(Sleeps(desktop), (std::vector<std::uint32_t>{10, 10, 10}));
  // Not a multiple of 10: ends with the remainder instead of wrapping around.
  desktop.events.clear();
  clicker.Wait(25);
  EXPECT_EQ(Sleeps(desktop), (std::vector<std::uint32_t>{10, 10, 5}));
  desktop.events.clear();
  clicker.Wait(7);
  EXPECT_EQ(Sleeps(desktop), (std::vector<std::uint32_t>{7}));
  EXPECT_EQ(clicker.EventFlags, 0u);
}
