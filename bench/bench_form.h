#pragma once
// What the scan benchmarks put around a Tracker: a desktop that passes
// everything on to the real one and keeps a list of the clicks, and
// controls that hold nothing but the target colour.
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "tracking/tracker.h"

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
  void Sleep(std::uint32_t ms) override { real_.Sleep(ms); }
  void HoldScreenLayout(bool hold) override { real_.HoldScreenLayout(hold); }
  bool IsOnScreen(std::int32_t x, std::int32_t y) override { return real_.IsOnScreen(x, y); }
  bool AnyMouseButtonDown() override { return real_.AnyMouseButtonDown(); }
  bool IsOwnWindowAt(std::int32_t x, std::int32_t y) override { return real_.IsOwnWindowAt(x, y); }

  std::vector<ScreenPoint> clicks;

 private:
  Desktop& real_;
  bool sendButtons_;
  ScreenPoint cursor_;
};

// A tracker over `desktop` looking for `colour` in `area`, with a screen
// handle taken.
struct BenchForm {
  struct Text : TextControl {
    std::string GetText() const override { return {}; }
    void SetText(const std::string&) override {}
  };
  struct Colour : ColorEdit {
    std::string GetText() const override { return {}; }
    void SetText(const std::string&) override {}
    TColor GetColor() const override { return color; }
    void SetColor(TColor c) override { color = c; }
    TColor color = 0;
  };
  struct NoAlarm : TimerScheduler {
    void Arm(std::uint32_t) override {}
    void Disarm() override {}
  };

  BenchForm(Desktop& desktop, Colorref colour, const TRect& area)
      : timer(alarm, [] {}), tracker(desktop, {text, text, text, text, edit5, text, text, timer}) {
    edit5.color = colour;
    tracker.TrackingArea = area;
    tracker.ScreenDC = desktop.GetDC();
  }

  Text text;
  Colour edit5;
  NoAlarm alarm;
  TTimer timer;
  Tracker tracker;
};
