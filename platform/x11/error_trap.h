#pragma once
// Xlib reports a failed request to one handler for the whole process, and
// its default handler ends the process. A trap takes the failures of one
// connection's requests while it lives, and gives the handler back as it
// found it, so that other Xlib users in the process keep theirs. Traps
// nest: a failure goes to the innermost trap of its connection, whose
// owner deals with it. Xlib is used from one thread only.
#include <X11/Xlib.h>

class XErrorTrap {
 public:
  explicit XErrorTrap(Display* display);
  // Waits for the answers to the requests sent under the trap, unless one
  // has come already, so that no failure of theirs arrives once it is gone.
  ~XErrorTrap();
  XErrorTrap(const XErrorTrap&) = delete;
  XErrorTrap& operator=(const XErrorTrap&) = delete;

  // Whether a request sent under this trap (and not under one inside it)
  // failed. Costs a round trip only when the last request sent has no
  // answer yet.
  bool Failed();

 private:
  static int Take(Display* display, XErrorEvent* event);
  void Settle();

  Display* display_;
  unsigned long firstSerial_;
  XErrorTrap* outer_;
  XErrorHandler previous_;
  bool failed_ = false;
};
