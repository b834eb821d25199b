#include "platform/select_desktop.h"

#include <cstdlib>
#include <cstring>

#include "platform/portal/portal_desktop.h"
#include "platform/wlroots/wlroots_desktop.h"
#include "platform/x11/x11_desktop.h"

namespace {

bool IsWaylandSession() {
  const char* type = std::getenv("XDG_SESSION_TYPE");
  return (type && std::strcmp(type, "wayland") == 0) || std::getenv("WAYLAND_DISPLAY");
}

DesktopChoice OpenX11(std::string why) {
  DesktopChoice choice;
  std::unique_ptr<X11Desktop> x11 = X11Desktop::Open();
  if (!x11) {
    const char* display = std::getenv("DISPLAY");
    choice.error = std::string("нет X-дисплея (DISPLAY=") + (display ? display : "не задан") +
                   "). " +
                   (why.empty() ? "Программе нужен рабочий стол X11 с расширением XTEST."
                                : "Это сеанс Wayland, но " + why +
                                      ", а без XWayland программа "
                                      "не может ни показать окно, ни работать через X11.");
    return choice;
  }
  choice.name = "screen: X11 (" + x11->ReadMethodName() + "), pointer: XTest";
  if (!why.empty()) {
    choice.name += ", through XWayland";
    choice.warning = "Это сеанс Wayland, но " + why +
                     ". Программа читает экран и нажимает мышью через X11 (XWayland): она "
                     "видит и нажимает только окна X11-приложений, окна Wayland для неё не видны.";
  }
  choice.desktop = std::move(x11);
  return choice;
}

}  // namespace

DesktopChoice SelectDesktop(std::function<void()> onCompositorLost) {
  // 1. An X11 session: X11 all the way.
  if (!IsWaylandSession()) return OpenX11("");

  // 2. A wlroots compositor (sway, Hyprland...): its own protocols.
  WlrootsDesktop::Opening wlroots = WlrootsDesktop::Open(onCompositorLost);
  if (wlroots.desktop) {
    DesktopChoice choice;
    WlrootsDesktop* desktop = wlroots.desktop.get();
    choice.takeEvents = [desktop] { desktop->TakeEvents(); };
    choice.desktop = std::move(wlroots.desktop);
    choice.name = "screen: wlr-screencopy, pointer: wlr-virtual-pointer, cursor position: XWayland";
    return choice;
  }
  std::string why;
  if (!wlroots.compositorFound) {
    why = "композитор Wayland не отвечает (WAYLAND_DISPLAY)";
  } else if (!wlroots.missing.empty()) {
    why = "композитор не предоставляет";
    for (std::size_t i = 0; i < wlroots.missing.size(); ++i)
      why += (i ? ", " : " ") + wlroots.missing[i];
  } else {
    why = "нет XWayland, через который программа узнаёт положение указателя";
  }

  // 3. GNOME, KDE Plasma...: the desktop portal, with the user's consent.
  PortalDesktop::Opening portal = PortalDesktop::Open(onCompositorLost);
  if (portal.desktop) {
    DesktopChoice choice;
    PortalDesktop* desktop = portal.desktop.get();
    choice.takeEvents = [desktop] { desktop->TakeEvents(); };
    choice.begin = [desktop](std::function<void(const std::string&)> tellUser) {
      desktop->Begin(std::move(tellUser));
    };
    choice.desktop = std::move(portal.desktop);
    choice.name = "screen: portal ScreenCast (PipeWire), pointer: portal RemoteDesktop";
    return choice;
  }
  why += "; " + portal.why;

  // 4. Last, XWayland: X11 windows only.
  return OpenX11(why);
}
