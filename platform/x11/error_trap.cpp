#include "platform/x11/error_trap.h"

namespace {
XErrorTrap* innermost = nullptr;
// What the process had before the outermost trap.
XErrorHandler beforeTraps = nullptr;
}  // namespace

int XErrorTrap::Take(Display* display, XErrorEvent* event) {
  for (XErrorTrap* trap = innermost; trap; trap = trap->outer_) {
    if (trap->display_ == display && event->serial >= trap->firstSerial_) {
      trap->failed_ = true;
      return 0;
    }
  }
  // Another connection's request, or one of ours sent outside any trap.
  return beforeTraps && beforeTraps != Take ? beforeTraps(display, event) : 0;
}

XErrorTrap::XErrorTrap(Display* display)
    : display_(display), firstSerial_(NextRequest(display)), outer_(innermost) {
  previous_ = XSetErrorHandler(Take);
  if (!outer_) beforeTraps = previous_;
  innermost = this;
}

XErrorTrap::~XErrorTrap() {
  Settle();
  XSetErrorHandler(previous_);
  innermost = outer_;
}

bool XErrorTrap::Failed() {
  Settle();
  return failed_;
}

// The server answers requests in order, and Xlib hands the failures of
// earlier ones to the handler before it returns a later one's answer: once
// the last request sent has its answer, every failure is known.
void XErrorTrap::Settle() {
  const unsigned long next = NextRequest(display_);
  if (next > firstSerial_ && LastKnownRequestProcessed(display_) + 1 < next) XSync(display_, False);
}
