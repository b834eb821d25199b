#pragma once
// Which program's window would take a click at a screen point, and whether
// the system would let this program's click through to it.
#include "platform/win32/windows_api.h"

// The top-level window a click at `point` (physical pixels) would go to,
// frame included: the root of the window WindowFromPoint finds, disabled
// ones included; a window cloaked on another virtual desktop is passed over
// for the next one below it. Null over no window.
HWND TopLevelWindowAt(POINT point);

// Whether the process that owns `window` runs at a higher integrity level
// than this one (as administrator), where the system drops our input
// without an error. False when its level cannot be read.
bool RunsAboveUs(HWND window);
