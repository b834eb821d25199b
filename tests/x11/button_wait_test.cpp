// The X11 backend's wait for its own release to show, on the private X
// server: another client holds button 1, as the user or a window manager's
// frozen grab would.
#include <gtest/gtest.h>
// After the test framework, which has names that Xlib defines as macros.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/x11/pointer_queries.h"

namespace {
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void LeftButton(Display* display, bool down) {
  XTestFakeButtonEvent(display, 1, down, CurrentTime);
  XSync(display, False);
}

// In a child process with a connection of its own: holds the whole server
// for `stall`, then lets button 1 go `after` that. Returns once the server
// is held.
pid_t StallThenRelease(milliseconds stall, milliseconds after) {
  int ready[2];
  if (pipe(ready) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) _exit(1);
    XGrabServer(display);
    XSync(display, False);
    if (write(ready[1], "g", 1) != 1) _exit(1);
    std::this_thread::sleep_for(stall);
    XUngrabServer(display);
    XSync(display, False);
    std::this_thread::sleep_for(after);
    LeftButton(display, false);
    XCloseDisplay(display);
    _exit(0);
  }
  char byte = 0;
  const bool held = child > 0 && read(ready[0], &byte, 1) == 1;
  close(ready[0]);
  close(ready[1]);
  return held ? child : -1;
}

TEST(X11ButtonWait, EndsAfterItsTimeButNotForAStalledServer) {
  Display* ours = XOpenDisplay(nullptr);
  Display* other = XOpenDisplay(nullptr);
  ASSERT_TRUE(ours && other);
  X11PointerQueries pointer(ours, DefaultRootWindow(ours));
  LeftButton(other, true);

  // Held throughout: given up once the time has passed.
  const Clock::time_point start = Clock::now();
  EXPECT_FALSE(pointer.AwaitButtonsUp(Button1Mask, 50));
  EXPECT_GE(Clock::now() - start, milliseconds(50));

  // The server answers nothing for 400 ms, then shows the button up 30 ms
  // later: the stall is no reason to give up.
  const pid_t child = StallThenRelease(milliseconds(400), milliseconds(30));
  ASSERT_GT(child, 0);
  EXPECT_TRUE(pointer.AwaitButtonsUp(Button1Mask, 200));
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  LeftButton(other, false);  // whatever happened, not left held for the next tests
  XCloseDisplay(other);
  XCloseDisplay(ours);
}

}  // namespace
