#pragma once
// What happens when the X server of one of our Xlib connections goes away.
// Xlib has one handler for that per process, which must not return; this
// keeps a callback per connection behind it.
#include <functional>

struct _XDisplay;

// onLost runs (and must end the process) when `display`'s connection
// breaks. Connections not watched keep Xlib's own ending.
void WatchConnection(_XDisplay* display, std::function<void()> onLost);
// Takes the handler back if another took it since (a toolkit opening its
// own connection does), and runs that one after ours: call it once the
// window exists.
void KeepWatchingConnections();
// Closes a connection of ours, which is no longer watched from then on.
void CloseConnection(_XDisplay* display);
