#pragma once
// A desktop that passes everything on to a real one and keeps a list of
// the clicks: for tests and benchmarks that read a real screen.
#include <vector>

#include "platform/desktop.h"

// Reads, cursor moves and the checks before each click go to the real
// backend, so they cost what they cost in the program; the button events
// too unless `sendButtons` is off, which keeps the screen as painted.
class RecordingDesktop : public Desktop {
 public:
  RecordingDesktop(Desktop& real, bool sendButtons) : real_(real), sendButtons_(sendButtons) {}
  ScreenPoint GetCursorPos() override { return real_.GetCursorPos(); }
  std::unique_ptr<ScreenContext> GetDC() override { return real_.GetDC(); }
  void SetCursorPos(std::int32_t x, std::int32_t y) override {
    cursor_ = {x, y};
    real_.SetCursorPos(x, y);
  }
  void MouseEvent(std::uint32_t flags) override {
    if (flags & MOUSEEVENTF_LEFTUP) clicks.push_back(cursor_);
    if (sendButtons_) real_.MouseEvent(flags);
  }
  bool AwaitInputHandled() override { return !sendButtons_ || real_.AwaitInputHandled(); }
  std::optional<Reason> InputRefused() override {
    return sendButtons_ ? real_.InputRefused() : std::nullopt;
  }
  void Sleep(std::uint32_t ms) override { real_.Sleep(ms); }
  void HoldScreenLayout(bool hold) override { real_.HoldScreenLayout(hold); }
  bool CursorIsAt(std::int32_t x, std::int32_t y) override { return real_.CursorIsAt(x, y); }
  bool AnyMouseButtonDown() override { return real_.AnyMouseButtonDown(); }
  bool SessionOnScreen() override { return real_.SessionOnScreen(); }
  bool IsOwnWindowAt(std::int32_t x, std::int32_t y) override { return real_.IsOwnWindowAt(x, y); }
  bool DropsInputAt(std::int32_t x, std::int32_t y) override { return real_.DropsInputAt(x, y); }

  std::vector<ScreenPoint> clicks;

 private:
  Desktop& real_;
  bool sendButtons_;
  ScreenPoint cursor_;
};
