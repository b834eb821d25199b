#pragma once
// What the desktop portal sends, read only once its D-Bus types are the
// ones the portal's interfaces give: a reply of another shape is said to
// be one, and nothing of it is read (reading it as if it had the right
// types would read garbage, or crash inside libdbus).
#include <QtDBus/QDBusMessage>

#include <cstdint>
#include <string>

#include "platform/portal/portal_steps.h"

// A request's Response signal: (u code, a{sv} results). The results the
// steps need are session_handle (s, or o from some portals), devices (u)
// and streams (a(ua{sv}), each stream's position and size (ii)); other
// keys are left alone. When the signal or one of those is of another type,
// results.wrongShape says which, and the code reads as allowed, so that
// the steps end the request with that.
struct PortalResponse {
  std::uint32_t code = 0;
  PortalResults results;
};
PortalResponse ReadResponse(const QDBusMessage& signal);

// A method's reply that should be one value of D-Bus type `signature`
// ("o" for a request's path, "h" for a file descriptor): empty when it is
// one, else what it is instead.
std::string WrongReply(const QDBusMessage& reply, const char* signature);

// A property's value as Properties.Get gives it: a variant holding a u.
// Empty when it is one, else what it is instead.
std::string WrongUintProperty(const QDBusMessage& reply);
