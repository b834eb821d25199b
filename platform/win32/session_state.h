#pragma once
// Whether the screen shows this user's session and takes its input.

// False while the session is locked or switched away from, while a secure
// desktop (UAC, Ctrl+Alt+Del) or another desktop takes the input, and
// while a program runs in exclusive full screen (Direct3D): screen copies
// there may come back black instead of failing.
bool UserSessionOnScreen();
