#include "platform/select_desktop.h"

#include <cstdlib>

#include "platform/portal/portal_desktop.h"
#include "platform/wlroots/wlroots_desktop.h"
#include "platform/x11/x11_desktop.h"

std::vector<DesktopRoute> LinuxDesktopRoutes() {
  return {
      {"wlroots", true, true, WlrootsDesktop::Open},
      {"portal", true, true, PortalDesktop::Open},
      {"x11", false, false, X11Desktop::OpenRoute},
  };
}

DesktopChoice SelectDesktop(const OnDesktopLost& onLost) {
  auto env = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  };
  SessionFacts session;
  session.wayland = env("XDG_SESSION_TYPE") == "wayland" || !env("WAYLAND_DISPLAY").empty();
  session.override = env("COLORCLICKER_DESKTOP");
  return ChooseDesktop(LinuxDesktopRoutes(), session, onLost);
}
