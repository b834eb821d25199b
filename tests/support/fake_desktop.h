#pragma once
// An in-memory desktop: a framebuffer, a cursor, and a log of everything
// the program sent to it.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/desktop.h"

struct DesktopEvent {
  enum Kind { Move, Button, Sleep } kind;
  std::int32_t x = 0, y = 0;  // Move: target; Button: cursor at the time
  std::uint32_t value = 0;    // Button: flags; Sleep: ms
  bool operator==(const DesktopEvent& o) const {
    return kind == o.kind && x == o.x && y == o.y && value == o.value;
  }
};

struct FakeRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool Contains(int x, int y) const {
    return x >= left && y >= top && x - left < width && y - top < height;
  }
};

class FakeDesktop : public Desktop {
 public:
  FakeDesktop(int width, int height, Colorref background = 0x00202020);
  ~FakeDesktop() override;

  void Fill(int left, int top, int width, int height, Colorref color);
  Colorref At(int x, int y) const;
  void PutCursor(int x, int y) { cursor_ = {x, y}; }

  // Left clicks (down then up at one place), in order.
  std::vector<ScreenPoint> Clicks() const;

  ScreenPoint GetCursorPos() override {
    ++cursorReads;
    return cursor_;
  }
  std::unique_ptr<ScreenContext> GetDC() override;
  void SetCursorPos(std::int32_t x, std::int32_t y) override;
  void MouseEvent(std::uint32_t flags) override;
  void Sleep(std::uint32_t ms) override;
  bool CursorIsAt(std::int32_t x, std::int32_t y) override { return monitor.Contains(x, y); }
  bool AwaitInputHandled() override;
  // While held, the system handles none of our input (an X window manager
  // that holds a click back cannot get at a grabbed server).
  void HoldScreenLayout(bool hold) override { layoutHeld_ = hold; }
  std::optional<Reason> InputRefused() override;
  bool AnyMouseButtonDown() override;
  bool SessionOnScreen() override { return sessionOnScreen; }
  bool IsOwnWindowAt(std::int32_t x, std::int32_t y) override { return ownWindow.Contains(x, y); }
  bool DropsInputAt(std::int32_t x, std::int32_t y) override {
    return elevatedWindow.Contains(x, y);
  }

  std::vector<DesktopEvent> events;
  // Every pixel read, also those made on behalf of a bulk read.
  std::vector<ScreenPoint> pixelReads;
  // Bulk reads (a ReadRegion is logged as a grid of one-pixel runs).
  std::vector<SampleGrid> gridReads;
  int regionReads = 0;
  int cursorReads = 0;
  int liveContexts = 0;
  int contextsTaken = 0;
  int passesStarted = 0;  // StartPass on any context
  bool screenUnavailable = false;
  // What the desktop says right before a click. The monitor starts as the
  // whole framebuffer; a smaller one plays a screen that shrank after the
  // pixels were read.
  FakeRect monitor;
  bool userHoldsButton = false;
  // After each left release of ours the system still reports the left
  // button down for this many reads, unless it is waited for, as Windows
  // does while its low-level hooks take their time. While inputStuck, the
  // releases never reach the system (a hook swallows them).
  int releaseLagReads = 0;
  bool inputStuck = false;
  bool sessionOnScreen = true;
  FakeRect ownWindow;
  // A window of a program run as administrator: clicks there are dropped.
  FakeRect elevatedWindow;
  // Runs after each left-button release, e.g. to make a target vanish.
  std::function<void(FakeDesktop&, ScreenPoint)> onLeftClick;
  // Where reads find a monitor; none: the whole framebuffer.
  std::vector<FakeRect> monitors;
  bool OnAMonitor(int x, int y) const;
  // Button events with any of these flags are refused for this reason,
  // and not logged among the events.
  std::uint32_t refusedFlags = 0;
  Reason refusal = Reason::InputRefused;
  int refusedEvents = 0;

  // From WatchWithHook() on, the user's buttons and the wait for our own
  // events are decided as on Windows: by the ButtonWatch of
  // platform/win32 over a low-level hook that sees the user's button
  // (UserButton) and our events while hookAlive, and is alive again once
  // put back. The system's own state is userHoldsButton, hidden while
  // frontRefusesInput. Every input moves on the tick GetLastInputInfo
  // tells, and so does a cursor move of ours, as under Wine.
  void WatchWithHook();
  void UserButton(bool down);
  bool hookAlive = true;
  bool frontRefusesInput = false;
  int hooksPutBack = 0;

  const int width, height;

 private:
  friend class FakeScreenContext;
  class Hook;
  // userHoldsButton, and our release until it is waited for.
  bool SystemButtonDown();
  std::vector<Colorref> pixels_;
  ScreenPoint cursor_;
  int lagLeft_ = 0;
  bool swallowed_ = false, refused_ = false;
  bool layoutHeld_ = false;
  std::unique_ptr<Hook> hook_;
};
