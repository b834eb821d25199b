#pragma once
// In-memory stand-ins for the window's controls and timer alarm.
#include <string>
#include <vector>

#include "tracking/controls.h"
#include "tracking/interval_timer.h"
#include "tracking/messages.h"
#include "tracking/tracker.h"

class FakeText : public TextControl {
 public:
  explicit FakeText(std::string text) : text(std::move(text)) {}
  std::string GetText() const override { return text; }
  void SetText(const std::string& t) override { text = t; }
  std::string text;
};

class FakeColorEdit : public ColorEdit {
 public:
  std::string GetText() const override { return text; }
  void SetText(const std::string& t) override { text = t; }
  TColor GetColor() const override { return color; }
  void SetColor(TColor c) override { color = c; }
  std::string text = "Color";
  TColor color = clWindow;
};

// Records what was armed; the test fires it by hand.
class FakeScheduler : public TimerScheduler {
 public:
  void Arm(std::uint32_t ms) override {
    armed.push_back(ms);
    pending = true;
  }
  void Disarm() override { pending = false; }
  std::vector<std::uint32_t> armed;
  bool pending = false;
};

// A window's worth of fake controls wired to a Tracker, as a front end does.
struct FakeForm {
  explicit FakeForm(Desktop& d)
      : desktop(d),
        Timer1(scheduler,
               [this] {
                 ++ticks;
                 tracker.ScanPass();
               }),
        tracker(d, {Edit1, Edit2, Edit3, Edit4, Edit5, Edit6, Label3, Timer1}) {}

  // Fires the pending alarm as the event loop would.
  void FireTimer() {
    scheduler.pending = false;
    Timer1.Elapsed();
  }
  // Looks for `target` in `area`, with a screen handle taken, as after a
  // capture and a start of tracking.
  void Track(TRect area, Colorref target) {
    tracker.TrackingArea = area;
    Edit5.color = target;
    tracker.ScreenDC = desktop.GetDC();
  }

  Desktop& desktop;
  FakeText Edit1{"X"}, Edit2{"Y"}, Edit3{"X"}, Edit4{"Y"};
  FakeColorEdit Edit5;
  FakeText Edit6{kIntervalPlaceholder}, Label3{"W * H"};
  FakeScheduler scheduler;
  int ticks = 0;
  TTimer Timer1;
  Tracker tracker;
};
