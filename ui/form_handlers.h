#pragma once
// The main window's eight handlers and which event of which control runs
// each, the same for both front ends. A front end builds its controls,
// binds the tracker to them and passes its native events on through
// Dispatch; every handler only forwards to the tracking logic, and what it
// raises is shown while the window goes on.
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

#include "tracking/exceptions.h"
#include "tracking/tracker.h"
#include "ui/form_layout.h"

enum class FormEvent { Click, MouseUp, KeyUp };

class FormHandlers {
 public:
  explicit FormHandlers(std::function<void(const Exception&)> showException);
  virtual ~FormHandlers();

  void Button1Click();
  void Button2Click();
  void Button1MouseUp();
  void Button2MouseUp();
  void Button3MouseUp();
  void Button3KeyUp();
  void Button4Click();
  void Timer1Timer();

  // Runs the handler wired to `event` of `control`; false when none is.
  bool Dispatch(ControlId control, FormEvent event);
  // Whether a handler is wired to that event of that control.
  static bool Wired(ControlId control, FormEvent event);

  Tracker& tracking() { return *tracker_; }
  // Once the window is shown: tracking and the desktop tell the user
  // through tellUser from then on, and the desktop starts (it may ask for
  // consent). With COLORCLICKER_LOG_PASSES set, a line goes to stderr
  // after every scan pass, for the tests to see that passes run:
  // "colorclicker: pass N: C clicked, S skipped".
  void Begin(Desktop& desktop, TellUser tellUser);

 protected:
  // Once the controls exist.
  void BindTracker(Desktop& desktop, const TrackingControls& controls);

 private:
  template <class Handler>
  void Guarded(Handler&& handler);

  std::function<void(const Exception&)> showException_;
  std::unique_ptr<Tracker> tracker_;
  std::FILE* passLog_ = nullptr;
  long passes_ = 0;
};
