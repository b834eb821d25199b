#pragma once
// One Xlib connection shared by the X11 desktop and its screen readers:
// the root window, its visual and size (kept current from the root's resize
// events), and what the server offers for bulk reads.
#include <X11/Xlib.h>
#include <X11/extensions/Xrender.h>

#include <cstdint>
#include <memory>

#include "platform/x11/pixel_format.h"
#include "platform/x11/read_options.h"

struct X11Connection {
  // Null when the display cannot be opened; displayName null means
  // $DISPLAY. Of the ways of reading `wanted` names, keeps those the server
  // offers.
  static std::shared_ptr<X11Connection> Open(const char* displayName, X11ReadOptions wanted);
  X11Connection() = default;
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;
  ~X11Connection();

  void RefreshScreenSize();
  // Handles the events queued so far (`mode` as XEventsQueued takes it);
  // true when one of them changed the screen's size.
  bool TakeEvents(int mode);

  Display* display = nullptr;
  Window root = 0;
  Visual* visual = nullptr;
  int depth = 0;
  PixelFormat format;
  std::int64_t screenWidth = 0, screenHeight = 0;
  // What bulk reads may use; cleared for good when the server refuses it.
  X11ReadOptions usable{false, false};
  XRenderPictFormat* renderFormat = nullptr;
};
