#pragma once
// How the Linux program picks the way it reads the screen and clicks: the
// first route in table order that the session allows and that opens.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"

struct DesktopChoice {
  std::unique_ptr<Desktop> desktop;  // null when nothing could be opened
  // For the log: "screen: wlr-screencopy, pointer: wlr-virtual-pointer".
  std::string name;
  // For the user: why nothing could be opened, or what the choice cannot
  // see.
  std::optional<Notice> notice;
};

// One way of reading and clicking, as the table lists it.
struct DesktopRoute {
  const char* id;        // what COLORCLICKER_DESKTOP names it by
  bool waylandOnly;      // tried only in a Wayland session
  bool seesEveryWindow;  // in a Wayland session: false for X11 through XWayland
  struct Opening {
    std::unique_ptr<Desktop> desktop;  // null when the route cannot serve
    std::string name;                  // for the log, when it opened
    Notice why;                        // when it did not
  };
  std::function<Opening(const OnDesktopLost&)> open;
};

struct SessionFacts {
  bool wayland = false;
  std::string override;  // $COLORCLICKER_DESKTOP: only the route of that id
};

// The first route that serves. A route that sees only some windows of a
// Wayland session comes with a notice of why the others could not serve;
// when none serves, the notice of the last one tried, with the others'.
DesktopChoice ChooseDesktop(const std::vector<DesktopRoute>& routes, const SessionFacts& session,
                            const OnDesktopLost& onLost);
