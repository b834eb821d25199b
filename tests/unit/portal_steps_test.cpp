// The steps of a desktop portal session without a bus: the calls in their
// order, every way a session ends, and signals of requests and sessions
// that are over, which must not touch the next one. And the portal's
// replies as they come off the wire, read only when of the right types.
#include <gtest/gtest.h>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusVariant>

#include "platform/portal/portal_replies.h"
#include "platform/portal/portal_steps.h"
#include "tests/support/dbus_wire.h"

namespace {

using Kind = PortalSteps::Action::Kind;
using Method = PortalSteps::Method;

const std::string kRequests = "/org/freedesktop/portal/desktop/request/1_42/";

struct Portal {
  PortalSteps steps{":1.42"};
  PortalSteps::Action last;
  int sessions = 0;

  std::string Request() const { return kRequests + last.token; }
  // Answers the pending request as allowed; Start with the pointer and
  // one monitor.
  PortalSteps::Action Allow() {
    PortalResults results;
    if (last.method == Method::CreateSession)
      results.sessionHandle =
          "/org/freedesktop/portal/desktop/session/1_42/s" + std::to_string(++sessions);
    if (last.method == Method::Start) {
      results.devices = PortalSteps::kPointerDevice;
      results.streams = {PortalStream{44, 0, 0, 1920, 1080, true}};
    }
    return last = steps.Responded(Request(), 0, results);
  }
  // From Ask to the PipeWire remote opened.
  void Run() {
    last = steps.Ask();
    for (Method m :
         {Method::CreateSession, Method::SelectDevices, Method::SelectSources, Method::Start}) {
      ASSERT_EQ(last.kind, Kind::Call);
      ASSERT_EQ(last.method, m);
      Allow();
    }
    ASSERT_EQ(last.method, Method::OpenPipeWireRemote);
    last = steps.Replied(last.id, {});
  }
};

TEST(PortalSteps, CallsInOrderUntilRunning) {
  Portal p;
  p.last = p.steps.Ask();
  EXPECT_EQ(p.last.method, Method::CreateSession);
  EXPECT_FALSE(p.last.sessionToken.empty());
  EXPECT_TRUE(p.last.session.empty());
  EXPECT_TRUE(p.steps.Asking());
  EXPECT_EQ(p.steps.Ask().kind, Kind::None);  // one session at a time
  p.Allow();
  EXPECT_EQ(p.last.method, Method::SelectDevices);
  EXPECT_EQ(p.last.session, "/org/freedesktop/portal/desktop/session/1_42/s1");

  Portal running;
  running.Run();
  ASSERT_EQ(running.last.kind, Kind::Started);
  ASSERT_EQ(running.last.streams.size(), 1u);
  EXPECT_EQ(running.last.streams[0].node, 44u);
  EXPECT_TRUE(running.steps.Running());
  EXPECT_EQ(running.steps.Ask().kind, Kind::None);
}

TEST(PortalSteps, AnOlderPortalsOwnRequestPathIsFollowed) {
  Portal p;
  p.last = p.steps.Ask();
  EXPECT_EQ(p.steps.Replied(p.last.id, "/org/freedesktop/portal/desktop/request/x/7").kind,
            Kind::None);
  EXPECT_EQ(p.steps.Responded(p.Request(), 0, {}).kind, Kind::None);
  PortalResults created;
  created.sessionHandle = "/s";
  EXPECT_EQ(p.steps.Responded("/org/freedesktop/portal/desktop/request/x/7", 0, created).method,
            Method::SelectDevices);
}

// Each way a session ends, what the user is told and whether the session
// must still be closed.
TEST(PortalSteps, EveryEndSaysWhyAndClosesWhatIsOpen) {
  struct Case {
    const char* what;
    std::function<PortalSteps::Action(Portal&)> end;
    Reason why;
    bool closes;
  };
  const auto refusedAt = [](Method at, std::uint32_t code) {
    return [at, code](Portal& p) {
      p.last = p.steps.Ask();
      while (p.last.method != at) p.Allow();
      return p.steps.Responded(p.Request(), code, {});
    };
  };
  const Case cases[] = {
      {"refused", refusedAt(Method::Start, 1), Reason::AccessRefused, true},
      {"dialog closed", refusedAt(Method::Start, 2), Reason::AccessInterrupted, true},
      {"refused at once", refusedAt(Method::CreateSession, 1), Reason::AccessRefused, false},
      {"no pointer",
       [](Portal& p) {
         p.last = p.steps.Ask();
         while (p.last.method != Method::Start) p.Allow();
         PortalResults monitorsOnly;
         monitorsOnly.streams = {PortalStream{}};
         return p.steps.Responded(p.Request(), 0, monitorsOnly);
       },
       Reason::NoPointerOrMonitor, true},
      {"call failed",
       [](Portal& p) {
         p.last = p.steps.Ask();
         p.Allow();
         return p.steps.Failed(p.last.id, "org.freedesktop.DBus.Error.Failed");
       },
       Reason::PortalError, true},
      {"no PipeWire",
       [](Portal& p) {
         p.last = p.steps.Ask();
         while (p.last.method != Method::OpenPipeWireRemote) p.Allow();
         return p.steps.Failed(p.last.id, "no");
       },
       Reason::PipeWireNotOpened, true},
      {"closed by the desktop",
       [](Portal& p) {
         p.Run();
         return p.steps.Closed(p.steps.Session());
       },
       Reason::AccessEnded, false},
      {"portal gone",
       [](Portal& p) {
         p.Run();
         return p.steps.ServiceGone(PortalSteps::kService);
       },
       Reason::PortalGone, false},
      {"backend gone",
       [](Portal& p) {
         p.Run();
         p.steps.Serving({"org.freedesktop.impl.portal.desktop.gnome"});
         return p.steps.ServiceGone("org.freedesktop.impl.portal.desktop.gnome");
       },
       Reason::PortalGone, true},
      {"backend gone in the dialog",
       [](Portal& p) {
         p.last = p.steps.Ask();
         while (p.last.method != Method::Start) p.Allow();
         p.steps.Serving({"org.freedesktop.impl.portal.desktop.gnome"});
         return p.steps.ServiceGone("org.freedesktop.impl.portal.desktop.gnome");
       },
       Reason::PortalGone, true},
      {"input failed",
       [](Portal& p) {
         p.Run();
         return p.steps.InputFailed("Invalid session");
       },
       Reason::PortalError, true},
      {"input not answered in time",
       [](Portal& p) {
         p.Run();
         return p.steps.InputTimedOut("NotifyPointerMotionAbsolute");
       },
       Reason::PortalTimedOut, true},
      {"a request not answered in time",
       [](Portal& p) {
         p.last = p.steps.Ask();
         while (p.last.method != Method::SelectSources) p.Allow();
         return p.steps.TimedOut(p.last.id);
       },
       Reason::PortalTimedOut, true},
      {"a reply of another shape",
       [](Portal& p) {
         p.last = p.steps.Ask();
         while (p.last.method != Method::OpenPipeWireRemote) p.Allow();
         return p.steps.WrongReply(p.last.id, "the reply is (s), not (h)");
       },
       Reason::WrongPortalReply, true},
      {"a Response of another shape",
       [](Portal& p) {
         p.last = p.steps.Ask();
         while (p.last.method != Method::Start) p.Allow();
         PortalResults wrong;
         wrong.devices = PortalSteps::kPointerDevice;
         wrong.streams = {PortalStream{}};
         wrong.wrongShape = "streams is as, not a(ua{sv})";
         return p.steps.Responded(p.Request(), 0, wrong);
       },
       Reason::WrongPortalReply, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Portal p;
    const PortalSteps::Action end = c.end(p);
    ASSERT_EQ(end.kind, Kind::Ended);
    EXPECT_EQ(end.why.reason, c.why);
    EXPECT_EQ(end.close.empty(), !c.closes);
    if (c.closes) {
      EXPECT_EQ(end.close, "/org/freedesktop/portal/desktop/session/1_42/s1");
    }
    EXPECT_FALSE(p.steps.Running() || p.steps.Asking());
    // The next start asks again.
    EXPECT_EQ(p.steps.Ask().method, Method::CreateSession);
  }
}

// The portal started its backend for this request and asked it before it
// served anything: CreateSession is asked again, after a pause, once per
// start. An interruption with no backend started ends the ask.
TEST(PortalSteps, CreateSessionIsAskedOnceMoreWhenABackendStartedForIt) {
  Portal p;
  p.steps.BackendStarted();  // before anything was asked: not for this one
  p.last = p.steps.Ask();
  EXPECT_EQ(p.steps.Responded(p.Request(), 2, {}).why.reason, Reason::AccessInterrupted);

  p.last = p.steps.Ask();
  const unsigned first = p.last.id;
  p.steps.BackendStarted();
  p.last = p.steps.Responded(p.Request(), 2, {});
  ASSERT_EQ(p.last.kind, Kind::Call);
  EXPECT_EQ(p.last.method, Method::CreateSession);
  EXPECT_GT(p.last.delayMs, 0u);
  EXPECT_FALSE(p.steps.Awaits(first));
  EXPECT_TRUE(p.steps.Awaits(p.last.id));
  p.steps.BackendStarted();
  EXPECT_EQ(p.steps.Responded(p.Request(), 2, {}).why.reason, Reason::AccessInterrupted);

  p.last = p.steps.Ask();
  p.steps.BackendStarted();
  p.last = p.steps.Responded(p.Request(), 2, {});
  EXPECT_EQ(p.last.method, Method::CreateSession);
  p.steps.End();
  EXPECT_FALSE(p.steps.Awaits(p.last.id));  // ended while it waited
}

TEST(PortalSteps, OtherServicesAndIdleStepsIgnoreAServiceGone) {
  Portal p;
  EXPECT_EQ(p.steps.ServiceGone(PortalSteps::kService).kind, Kind::None);
  p.Run();
  p.steps.Serving({"org.freedesktop.impl.portal.desktop.gnome"});
  EXPECT_EQ(p.steps.ServiceGone("org.freedesktop.impl.portal.desktop.gtk").kind, Kind::None);
  EXPECT_TRUE(p.steps.Running());
}

// A session refused or ended leaves signals on their way: its Closed,
// the Response of its request, the reply of its call. None of them may
// end the next session, which once happened.
TEST(PortalSteps, SignalsOfAnEndedSessionLeaveTheNextAlone) {
  Portal p;
  p.Run();
  const std::string first = p.steps.Session();
  const PortalSteps::Action end = p.steps.InputFailed("Invalid session");
  ASSERT_EQ(end.close, first);

  p.last = p.steps.Ask();
  const std::string oldRequest = p.Request();
  const unsigned oldCall = p.last.id;
  p.Allow();  // the second session is created
  ASSERT_NE(p.steps.Session(), first);
  EXPECT_EQ(p.steps.Closed(first).kind, Kind::None);
  EXPECT_EQ(p.steps.Responded(oldRequest, 1, {}).kind, Kind::None);
  EXPECT_EQ(p.steps.Failed(oldCall, "late").kind, Kind::None);
  EXPECT_EQ(p.steps.Replied(oldCall, "/x").kind, Kind::None);
  EXPECT_EQ(p.steps.Closed({}).kind, Kind::None);
  EXPECT_TRUE(p.steps.Asking());
  while (p.last.kind == Kind::Call && p.last.method != Method::OpenPipeWireRemote) p.Allow();
  EXPECT_EQ(p.steps.Replied(p.last.id, {}).kind, Kind::Started);
}

// Every end names what went wrong: the method not answered, or the reply
// that was not of its type.
TEST(PortalSteps, TimeoutsAndWrongShapesNameTheCall) {
  Portal p;
  p.last = p.steps.Ask();
  PortalResults noSession;
  noSession.wrongShape = "session_handle is u, not s";
  const PortalSteps::Action created = p.steps.Responded(p.Request(), 0, noSession);
  EXPECT_EQ(created.why.detail, "the Response of CreateSession: session_handle is u, not s");
  EXPECT_EQ(created.close, "");  // none was made

  p.last = p.steps.Ask();
  while (p.last.method != Method::Start) p.Allow();
  const unsigned start = p.last.id;
  EXPECT_EQ(p.steps.TimedOut(start + 1).kind, Kind::None);  // not the call awaited
  EXPECT_EQ(p.steps.TimedOut(start).why.detail, "Start");
  EXPECT_EQ(p.steps.TimedOut(start).kind, Kind::None);  // over already

  p.Run();
  EXPECT_EQ(p.steps.InputTimedOut("NotifyPointerButton").why.detail, "NotifyPointerButton");
  EXPECT_EQ(p.steps.InputTimedOut("NotifyPointerButton").kind, Kind::None);
}

QVariant Pair(int a, int b) { return DBusWire::Pair(a, b); }
QVariant Streams(const QList<std::pair<uint, QVariantMap>>& streams) {
  return DBusWire::Streams(streams);
}

// Start's results as GNOME sends them (every stream placed) and as KDE
// does (no position): read in full.
TEST(PortalReplies, AResponseOfTheRightTypesIsReadInFull) {
  DBusWire wire;
  ASSERT_TRUE(wire.Ready());
  const QVariantMap placed{{QStringLiteral("position"), Pair(1920, 0)},
                           {QStringLiteral("size"), Pair(1280, 720)},
                           {QStringLiteral("source_type"), 1u}};
  const QVariantMap unplaced{{QStringLiteral("size"), Pair(1920, 1080)}};
  const QVariantMap results{{QStringLiteral("devices"), 2u},
                            {QStringLiteral("streams"), Streams({{44, placed}, {45, unplaced}})}};
  const PortalResponse read = ReadResponse(wire.Response({1u, results}));
  EXPECT_EQ(read.results.wrongShape, "");
  EXPECT_EQ(read.code, 1u);
  EXPECT_EQ(read.results.devices, 2u);
  ASSERT_EQ(read.results.streams.size(), 2u);
  const PortalStream& first = read.results.streams[0];
  EXPECT_EQ(first.node, 44u);
  EXPECT_TRUE(first.placed);
  EXPECT_EQ(first.x, 1920);
  EXPECT_EQ(first.width, 1280);
  EXPECT_EQ(first.height, 720);
  EXPECT_FALSE(read.results.streams[1].placed);
  EXPECT_EQ(read.results.streams[1].width, 1920);

  // CreateSession's handle, as a string or, from some portals, a path.
  for (const QVariant& handle : {QVariant(QStringLiteral("/s/1")),
                                 QVariant::fromValue(QDBusObjectPath(QStringLiteral("/s/1")))}) {
    const PortalResponse created =
        ReadResponse(wire.Response({0u, QVariantMap{{QStringLiteral("session_handle"), handle}}}));
    EXPECT_EQ(created.results.wrongShape, "");
    EXPECT_EQ(created.results.sessionHandle, "/s/1");
  }
}

// Each reply of another shape than the portal's interface gives is told
// as such, with what was wrong, and nothing of it is taken.
TEST(PortalReplies, AResponseOfAnotherShapeIsToldNotRead) {
  DBusWire wire;
  ASSERT_TRUE(wire.Ready());
  const auto stream = [](const char* key, const QVariant& value) {
    return QVariantMap{
        {QStringLiteral("streams"), Streams({{44, {{QString::fromLatin1(key), value}}}})}};
  };
  struct Case {
    const char* what;
    QList<QVariant> arguments;
    std::string wrong;
  };
  const Case cases[] = {
      {"not (ua{sv})", {QStringLiteral("oops")}, "the Response is (s), not (ua{sv})"},
      {"results of another type",
       {0u, QStringList{QStringLiteral("a")}},
       "the Response is (uas), not (ua{sv})"},
      {"session_handle",
       {0u, QVariantMap{{QStringLiteral("session_handle"), 7u}}},
       "session_handle is u, not s"},
      {"devices",
       {0u, QVariantMap{{QStringLiteral("devices"), QStringLiteral("pointer")}}},
       "devices is s, not u"},
      {"streams",
       {0u, QVariantMap{{QStringLiteral("streams"), QStringList{QStringLiteral("44")}}}},
       "streams is as, not a(ua{sv})"},
      {"position",
       {0u, stream("position", QVariant::fromValue(QDBusVariant(1.5)))},
       "streams: position is v, not (ii)"},
      {"size", {0u, stream("size", QStringLiteral("1920x1080"))}, "streams: size is s, not (ii)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const PortalResponse read = ReadResponse(wire.Response(c.arguments));
    EXPECT_EQ(read.results.wrongShape, c.wrong);
    EXPECT_TRUE(read.results.streams.empty());
    EXPECT_EQ(read.code, 0u);  // so that the steps end the request with it
  }
  EXPECT_EQ(WrongReply(wire.Response({QStringLiteral("/request/1")}), "o"),
            "the reply is (s), not (o)");
  EXPECT_EQ(
      WrongReply(wire.Response({QVariant::fromValue(QDBusObjectPath(QStringLiteral("/r")))}), "o"),
      "");
  EXPECT_EQ(WrongUintProperty(wire.Response({QVariant::fromValue(QDBusVariant(3u))})), "");
  EXPECT_EQ(WrongUintProperty(wire.Response({QVariant::fromValue(QDBusVariant(true))})),
            "the value is b, not u");
}

TEST(PortalSteps, EndingQuietlyGivesTheSessionToClose) {
  Portal p;
  EXPECT_EQ(p.steps.End(), "");
  p.Run();
  EXPECT_EQ(p.steps.End(), "/org/freedesktop/portal/desktop/session/1_42/s1");
  EXPECT_FALSE(p.steps.Running());
  EXPECT_EQ(p.steps.Closed("/org/freedesktop/portal/desktop/session/1_42/s1").kind, Kind::None);
}

}  // namespace
