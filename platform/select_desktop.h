#pragma once
// The routes the Linux program can take, in the order it tries them.
#include <vector>

#include "platform/desktop_choice.h"

// 1. wlroots compositors (sway, Hyprland...): their own protocols, no dialog.
// 2. GNOME, KDE Plasma...: the desktop portal, with the user's consent.
// 3. X11: the whole desktop in an X11 session, X11 windows only through
//    XWayland in a Wayland one.
std::vector<DesktopRoute> LinuxDesktopRoutes();

// The route for this session, chosen from the environment.
DesktopChoice SelectDesktop(const OnDesktopLost& onLost);
