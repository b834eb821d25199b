// Xlib error traps on the private X server run_under_xvfb.sh starts: a
// failed request under a trap reaches that trap only, nested traps keep
// their own failures, another connection's failures and ours outside any
// trap go to the process's handler, and that handler is back afterwards.
#include <gtest/gtest.h>
// After the test framework, which has names that Xlib defines as macros.
#include "platform/x11/error_trap.h"

namespace {

int processErrors = 0;
int CountError(Display*, XErrorEvent*) {
  ++processErrors;
  return 0;
}

// A request that fails without an answer, so only a round trip shows it.
void FreeAPixmapTwice(Display* d) {
  const Pixmap pixmap = XCreatePixmap(d, DefaultRootWindow(d), 1, 1, 1);
  XFreePixmap(d, pixmap);
  XFreePixmap(d, pixmap);
}

TEST(XErrorTrap, TakesTheFailuresOfItsConnectionWhileItLives) {
  Display* ours = XOpenDisplay(nullptr);
  Display* other = XOpenDisplay(nullptr);
  ASSERT_TRUE(ours && other) << "no X display";
  XSetErrorHandler(CountError);
  {
    XErrorTrap outer(ours);
    EXPECT_FALSE(outer.Failed());
    FreeAPixmapTwice(other);
    XSync(other, False);
    EXPECT_EQ(processErrors, 1) << "another connection's failure is not the trap's";
    {
      XErrorTrap inner(ours);
      FreeAPixmapTwice(ours);
      EXPECT_TRUE(inner.Failed());
    }
    EXPECT_FALSE(outer.Failed()) << "the inner trap dealt with it";
    // Left to the trap's end to wait for: the failure must not come after.
    FreeAPixmapTwice(ours);
  }
  XSync(ours, False);
  EXPECT_EQ(processErrors, 1);
  EXPECT_EQ(XSetErrorHandler(CountError), CountError);
  FreeAPixmapTwice(ours);
  XSync(ours, False);
  EXPECT_EQ(processErrors, 2) << "outside any trap, the process's handler";
  XCloseDisplay(other);
  XCloseDisplay(ours);
}

}  // namespace
