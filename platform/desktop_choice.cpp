#include "platform/desktop_choice.h"

DesktopChoice ChooseDesktop(const std::vector<DesktopRoute>& routes, const SessionFacts& session,
                            const OnDesktopLost& onLost) {
  DesktopChoice choice;
  std::vector<Notice> whyNot;
  for (const DesktopRoute& route : routes) {
    if (!session.override.empty() ? session.override != route.id
                                  : route.waylandOnly && !session.wayland)
      continue;
    DesktopRoute::Opening opening = route.open(onLost);
    if (!opening.desktop) {
      whyNot.push_back(std::move(opening.why));
      continue;
    }
    choice.desktop = std::move(opening.desktop);
    choice.name = std::move(opening.name);
    if (session.wayland && !route.seesEveryWindow) {
      choice.name += ", through XWayland";
      choice.notice = Notice{Reason::XWaylandOnly, {}, std::move(whyNot)};
    }
    return choice;
  }
  if (whyNot.empty()) {
    std::string ids;
    for (const DesktopRoute& route : routes)
      ids += (ids.empty() ? "" : ", ") + std::string(route.id);
    return {nullptr, {}, Notice{Reason::UnknownRoute, session.override + " (" + ids + ")", {}}};
  }
  // The last route's reason, with the earlier ones' as its causes.
  Notice last = std::move(whyNot.back());
  whyNot.pop_back();
  last.causes = std::move(whyNot);
  choice.notice = std::move(last);
  return choice;
}
