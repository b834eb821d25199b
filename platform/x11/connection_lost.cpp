#include "platform/x11/connection_lost.h"

#include <X11/Xlib.h>

#include <map>

namespace {
std::map<Display*, std::function<void()>>& Watched() {
  static std::map<Display*, std::function<void()>> watched;
  return watched;
}
XIOErrorHandler previous = nullptr;

int ConnectionBroke(Display* display) {
  const auto it = Watched().find(display);
  if (it != Watched().end() && it->second) it->second();
  return previous ? previous(display) : 0;  // Xlib ends the process after this
}
}  // namespace

void WatchConnection(Display* display, std::function<void()> onLost) {
  KeepWatchingConnections();
  Watched()[display] = std::move(onLost);
}

void KeepWatchingConnections() {
  const XIOErrorHandler was = XSetIOErrorHandler(ConnectionBroke);
  if (was != ConnectionBroke) previous = was;
}

void CloseConnection(Display* display) {
  Watched().erase(display);
  XCloseDisplay(display);
}
