// The choice of a route: table order, what the session allows, the
// override, and what the user is told when a route sees only some windows
// or none opens.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/desktop_choice.h"
#include "tests/support/fake_desktop.h"

namespace {
struct Routes {
  std::vector<std::string> tried;
  // Routes named by id that open, and why the others do not.
  std::vector<DesktopRoute> Table(const std::vector<std::string>& opening) {
    std::vector<DesktopRoute> table;
    const std::pair<const char*, Reason> routes[] = {{"wlroots", Reason::MissingProtocols},
                                                     {"portal", Reason::PortalWithoutPointer},
                                                     {"x11", Reason::NoXDisplay}};
    for (const auto& [id, why] : routes) {
      const bool opens = std::find(opening.begin(), opening.end(), id) != opening.end();
      const std::string name = id;
      table.push_back(
          {id, name != "x11", name != "x11", [this, name, opens, why = why](const OnDesktopLost&) {
             tried.push_back(name);
             DesktopRoute::Opening o;
             if (opens)
               o.desktop = std::make_unique<FakeDesktop>(1, 1), o.name = name;
             else
               o.why = {why, name, {}};
             return o;
           }});
    }
    return table;
  }
};

std::vector<Reason> Causes(const Notice& n) {
  std::vector<Reason> reasons;
  for (const Notice& c : n.causes) reasons.push_back(c.reason);
  return reasons;
}
}  // namespace

TEST(DesktopChoice, AnX11SessionTakesX11AloneAndSaysNothing) {
  Routes r;
  const DesktopChoice c = ChooseDesktop(r.Table({"wlroots", "portal", "x11"}), {false, ""}, {});
  EXPECT_EQ(r.tried, (std::vector<std::string>{"x11"}));
  EXPECT_EQ(c.name, "x11");
  EXPECT_FALSE(c.notice);
}

TEST(DesktopChoice, AWaylandSessionTriesTheRoutesInTableOrder) {
  Routes r;
  DesktopChoice c = ChooseDesktop(r.Table({"portal", "x11"}), {true, ""}, {});
  EXPECT_EQ(r.tried, (std::vector<std::string>{"wlroots", "portal"}));
  EXPECT_EQ(c.name, "portal");
  EXPECT_FALSE(c.notice);

  // Only XWayland: the user hears why each Wayland route could not serve.
  Routes x;
  c = ChooseDesktop(x.Table({"x11"}), {true, ""}, {});
  EXPECT_EQ(x.tried, (std::vector<std::string>{"wlroots", "portal", "x11"}));
  EXPECT_EQ(c.name, "x11, through XWayland");
  ASSERT_TRUE(c.notice);
  EXPECT_EQ(c.notice->reason, Reason::XWaylandOnly);
  EXPECT_EQ(Causes(*c.notice),
            (std::vector<Reason>{Reason::MissingProtocols, Reason::PortalWithoutPointer}));
}

TEST(DesktopChoice, WhenNoneOpensTheLastReasonCarriesTheOthers) {
  Routes r;
  const DesktopChoice c = ChooseDesktop(r.Table({}), {true, ""}, {});
  EXPECT_FALSE(c.desktop);
  ASSERT_TRUE(c.notice);
  EXPECT_EQ(c.notice->reason, Reason::NoXDisplay);
  EXPECT_EQ(Causes(*c.notice),
            (std::vector<Reason>{Reason::MissingProtocols, Reason::PortalWithoutPointer}));
}

TEST(DesktopChoice, TheOverrideTakesThatRouteOnlyAndNamesTheChoicesWhenUnknown) {
  Routes r;
  DesktopChoice c = ChooseDesktop(r.Table({"wlroots", "x11"}), {true, "x11"}, {});
  EXPECT_EQ(r.tried, (std::vector<std::string>{"x11"}));
  EXPECT_TRUE(c.desktop);

  Routes u;
  c = ChooseDesktop(u.Table({"x11"}), {false, "vnc"}, {});
  EXPECT_TRUE(u.tried.empty());
  EXPECT_FALSE(c.desktop);
  ASSERT_TRUE(c.notice);
  EXPECT_EQ(c.notice->reason, Reason::UnknownRoute);
  EXPECT_EQ(c.notice->detail, "vnc (wlroots, portal, x11)");
}
