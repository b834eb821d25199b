#pragma once
// How the Linux program reads the screen and clicks, chosen once at start
// from what the session offers.
#include <functional>
#include <memory>
#include <string>

#include "platform/desktop.h"

struct DesktopChoice {
  std::unique_ptr<Desktop> desktop;  // null when nothing could be opened
  // For the log: "screen: wlr-screencopy, pointer: wlr-virtual-pointer".
  std::string name;
  // For the user, when the choice cannot see every window; else empty.
  std::string warning;
  // Why nothing could be opened, when desktop is null.
  std::string error;
  // To be called now and then from the event loop while the program runs;
  // empty when the choice needs nothing of the kind.
  std::function<void()> takeEvents;
  // To be called once the application and its event loop exist, with what
  // shows the user a message; empty when the choice needs nothing then.
  std::function<void(std::function<void(const std::string&)> tellUser)> begin;
};

// onCompositorLost runs when a Wayland compositor the choice depends on
// has gone; it should end the program.
DesktopChoice SelectDesktop(std::function<void()> onCompositorLost);
