#include "platform/portal/portal_session.h"

#include <unistd.h>
#include <QTimer>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusServiceWatcher>
#include <QtDBus/QDBusUnixFileDescriptor>

#include <cstdio>
#include <utility>

#include "platform/portal/portal_replies.h"

namespace {
using Clock = std::chrono::steady_clock;
const QString kService = QString::fromLatin1(PortalSteps::kService);
// Where the portal's backends are named: .gnome, .kde, .gtk...
const QString kBackends = QStringLiteral("org.freedesktop.impl.portal.desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
constexpr std::uint32_t kPointerDevice = PortalSteps::kPointerDevice;
constexpr std::uint32_t kMonitorSource = 1;
// The first call may start the portal, which took up to 50 s here; the
// window does not exist yet.
constexpr int kProbeTimeoutMs = 60000;
// Calls that make a request answer at once, but the first may start the
// portal's backend; nothing waits for them meanwhile.
constexpr int kRequestCallTimeoutMs = 120000;
// Calls that only forward input, or close, answer at once; a portal that
// takes longer is stuck, and the tick must go on.
constexpr int kInputCallTimeoutMs = 1000;

QDBusMessage BusCall(const char* method) {
  return QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
      QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
}

// Whether a call that failed did so by running out of its time, rather
// than by an answer of the portal's, or its going.
bool RanOut(const QDBusError& error, Clock::time_point sent, int timeoutMs) {
  return (error.type() == QDBusError::NoReply || error.type() == QDBusError::Timeout) &&
         Clock::now() - sent >= std::chrono::milliseconds(timeoutMs * 9 / 10);
}

// A property of type u; nothing when it cannot be had, and *why.
std::optional<std::uint32_t> Property(QDBusConnection& bus, const QString& interface,
                                      const char* name, Notice* why) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  call << interface << QString::fromLatin1(name);
  const Clock::time_point sent = Clock::now();
  const QDBusMessage reply = bus.call(call, QDBus::Block, kProbeTimeoutMs);
  const std::string what = interface.section(QLatin1Char('.'), -1).toStdString() + "." + name;
  if (reply.type() != QDBusMessage::ReplyMessage) {
    *why = RanOut(QDBusError(reply), sent, kProbeTimeoutMs)
               ? Notice{Reason::PortalSilent, what, {}}
               : Notice{Reason::NoRemoteDesktopPortal, reply.errorMessage().toStdString(), {}};
    return std::nullopt;
  }
  if (const std::string wrong = WrongUintProperty(reply); !wrong.empty()) {
    *why = {Reason::NoRemoteDesktopPortal, what + ": " + wrong, {}};
    return std::nullopt;
  }
  return reply.arguments().first().value<QDBusVariant>().variant().toUInt();
}
}  // namespace

std::optional<PortalSession::Offer> PortalSession::Probe(Notice* why) {
  const QString name = QStringLiteral("colorclicker-portal-probe");
  std::optional<Offer> offer;
  {
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    if (!bus.isConnected()) {
      *why = {Reason::NoSessionBus, {}, {}};
    } else if (const auto devices = Property(bus, kRemoteDesktop, "AvailableDeviceTypes", why);
               !devices) {
      // *why tells it.
    } else if (!(*devices & kPointerDevice)) {
      *why = {Reason::PortalWithoutPointer, {}, {}};
    } else if (const auto sources = Property(bus, kScreenCast, "AvailableSourceTypes", why);
               !sources && why->reason == Reason::PortalSilent) {
    } else if (!sources || !(*sources & kMonitorSource)) {
      *why = {Reason::PortalWithoutMonitors, {}, {}};
    } else {
      // An older portal without cursor modes: none asked for.
      Notice ignored{};
      offer = Offer{Property(bus, kScreenCast, "AvailableCursorModes", &ignored).value_or(0)};
    }
  }
  QDBusConnection::disconnectFromBus(name);
  return offer;
}

PortalSession::PortalSession(std::uint32_t cursorMode, Events events)
    : bus_(QDBusConnection::sessionBus()),
      cursorMode_(cursorMode),
      events_(std::move(events)),
      steps_(bus_.baseService().toStdString()),
      services_(
          new QDBusServiceWatcher(kService, bus_, QDBusServiceWatcher::WatchForOwnerChange, this)) {
  // From any request or session of the portal: the steps know which are
  // this session's.
  bus_.connect(kService, QString(), QStringLiteral("org.freedesktop.portal.Request"),
               QStringLiteral("Response"), this, SLOT(OnResponse(QDBusMessage)));
  bus_.connect(kService, QString(), QStringLiteral("org.freedesktop.portal.Session"),
               QStringLiteral("Closed"), this, SLOT(OnClosed(QDBusMessage)));
  services_->addWatchedService(kBackends + QLatin1Char('*'));
  connect(services_, &QDBusServiceWatcher::serviceOwnerChanged, this,
          &PortalSession::OnOwnerChanged);
}

PortalSession::~PortalSession() {
  Close(steps_.End(), true);
  if (pipewireFd_ >= 0) ::close(pipewireFd_);
}

void PortalSession::Do(const PortalSteps::Action& action) {
  switch (action.kind) {
    case PortalSteps::Action::Kind::None: break;
    case PortalSteps::Action::Kind::Call:
      if (!action.delayMs) {
        Call(action);
        break;
      }
      QTimer::singleShot(action.delayMs, this, [this, action] {
        if (steps_.Awaits(action.id)) Call(action);
      });
      break;
    case PortalSteps::Action::Kind::Started:
      if (events_.started) events_.started(action.streams, std::exchange(pipewireFd_, -1));
      break;
    case PortalSteps::Action::Kind::Ended:
      Close(action.close, false);
      if (events_.ended) events_.ended(action.why);
      break;
  }
}

void PortalSession::Call(const PortalSteps::Action& a) {
  using Method = PortalSteps::Method;
  const QVariant session =
      a.session.empty() ? QVariant()
                        : QVariant::fromValue(QDBusObjectPath(QString::fromStdString(a.session)));
  QVariantMap options;
  if (!a.token.empty())
    options.insert(QStringLiteral("handle_token"), QString::fromStdString(a.token));
  auto method = [](const QString& interface, const char* name) {
    return QDBusMessage::createMethodCall(kService, kPath, interface, QString::fromLatin1(name));
  };
  QDBusMessage call;
  switch (a.method) {
    case Method::CreateSession:
      options.insert(QStringLiteral("session_handle_token"),
                     QString::fromStdString(a.sessionToken));
      call = method(kRemoteDesktop, "CreateSession");
      call << options;
      break;
    case Method::SelectDevices:
      options.insert(QStringLiteral("types"), kPointerDevice);
      call = method(kRemoteDesktop, "SelectDevices");
      call << session << options;
      break;
    case Method::SelectSources:
      options.insert(QStringLiteral("types"), kMonitorSource);
      options.insert(QStringLiteral("multiple"), true);
      if (cursorMode_) options.insert(QStringLiteral("cursor_mode"), cursorMode_);
      call = method(kScreenCast, "SelectSources");
      call << session << options;
      break;
    case Method::Start:
      call = method(kRemoteDesktop, "Start");
      call << session << QString() << options;
      break;
    case Method::OpenPipeWireRemote:
      call = method(kScreenCast, "OpenPipeWireRemote");
      call << session << options;
      break;
  }
  auto* reply = new QDBusPendingCallWatcher(bus_.asyncCall(call, kRequestCallTimeoutMs), this);
  connect(
      reply, &QDBusPendingCallWatcher::finished, this,
      [this, id = a.id, pipewire = a.method == Method::OpenPipeWireRemote,
       sent = Clock::now()](QDBusPendingCallWatcher* watcher) {
        watcher->deleteLater();
        const QDBusMessage answer = watcher->reply();
        if (answer.type() != QDBusMessage::ReplyMessage) {
          Do(RanOut(watcher->error(), sent, kRequestCallTimeoutMs)
                 ? steps_.TimedOut(id)
                 : steps_.Failed(id, answer.errorMessage().toStdString()));
        } else if (const std::string wrong = WrongReply(answer, pipewire ? "h" : "o");
                   !wrong.empty()) {
          Do(steps_.WrongReply(id, wrong));
        } else if (!pipewire) {
          Do(steps_.Replied(
              id, answer.arguments().value(0).value<QDBusObjectPath>().path().toStdString()));
        } else if (const int fd = qdbus_cast<QDBusUnixFileDescriptor>(answer.arguments().value(0))
                                      .fileDescriptor();
                   fd < 0) {
          Do(steps_.Failed(id, "no file descriptor"));
        } else {
          pipewireFd_ = ::dup(fd);
          Do(steps_.Replied(id, {}));
          // Not taken: the session ended meanwhile.
          if (pipewireFd_ >= 0) ::close(std::exchange(pipewireFd_, -1));
        }
      });
}

void PortalSession::OnResponse(const QDBusMessage& message) {
  const PortalResponse response = ReadResponse(message);
  const PortalSteps::Action next =
      steps_.Responded(message.path().toStdString(), response.code, response.results);
  // Once the session exists, its backends have made theirs.
  if (next.kind == PortalSteps::Action::Kind::Call &&
      next.method == PortalSteps::Method::SelectDevices)
    WatchOwners(message.service());
  Do(next);
}

void PortalSession::OnClosed(const QDBusMessage& message) {
  Do(steps_.Closed(message.path().toStdString()));
}

void PortalSession::OnOwnerChanged(const QString& name, const QString& oldOwner,
                                   const QString& newOwner) {
  if (!oldOwner.isEmpty()) Do(steps_.ServiceGone(name.toStdString()));
  if (!newOwner.isEmpty() && name != kService) steps_.BackendStarted();
}

// The backends that serve RemoteDesktop or ScreenCast, as they say of
// themselves; a backend that serves neither may come and go. The one that
// answers is the owner: a reply comes from the name's owner.
void PortalSession::WatchOwners(const QString& portalOwner) {
  owners_.clear();
  owners_[kService] = portalOwner;
  serving_.clear();
  steps_.Serving({});
  const std::string session = steps_.Session();
  auto* names =
      new QDBusPendingCallWatcher(bus_.asyncCall(BusCall("ListNames"), kInputCallTimeoutMs), this);
  connect(
      names, &QDBusPendingCallWatcher::finished, this, [this, session](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        if (steps_.Session() != session) return;
        for (const QString& name : qdbus_cast<QStringList>(w->reply().arguments().value(0))) {
          if (!name.startsWith(kBackends + QLatin1Char('.'))) continue;
          auto* xml = new QDBusPendingCallWatcher(
              bus_.asyncCall(QDBusMessage::createMethodCall(
                                 name, kPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                                 QStringLiteral("Introspect")),
                             kInputCallTimeoutMs),
              this);
          connect(
              xml, &QDBusPendingCallWatcher::finished, this,
              [this, session, name](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QString text = w->reply().arguments().value(0).toString();
                if (steps_.Session() != session ||
                    (!text.contains(QStringLiteral("org.freedesktop.impl.portal.RemoteDesktop")) &&
                     !text.contains(QStringLiteral("org.freedesktop.impl.portal.ScreenCast"))))
                  return;
                owners_[name] = w->reply().service();
                serving_.insert(name.toStdString());
                steps_.Serving(serving_);
              });
        }
      });
}

QString PortalSession::OwnerOf(const QString& name) {
  QDBusMessage call = BusCall("GetNameOwner");
  call << name;
  return bus_.call(call, QDBus::Block, kInputCallTimeoutMs).arguments().value(0).toString();
}

void PortalSession::Close(const std::string& session, bool wait) {
  if (session.empty()) return;
  const QDBusMessage call = QDBusMessage::createMethodCall(
      kService, QString::fromStdString(session), QStringLiteral("org.freedesktop.portal.Session"),
      QStringLiteral("Close"));
  if (!wait) {
    bus_.asyncCall(call, kInputCallTimeoutMs);
    return;
  }
  const Clock::time_point sent = Clock::now();
  const QDBusMessage reply = bus_.call(call, QDBus::Block, kInputCallTimeoutMs);
  if (reply.type() == QDBusMessage::ErrorMessage &&
      RanOut(QDBusError(reply), sent, kInputCallTimeoutMs))
    std::fprintf(stderr, "colorclicker: the desktop portal did not answer Session.Close in time\n");
}

QDBusMessage PortalSession::InputCall(const QString& method, const QList<QVariant>& arguments) {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kRemoteDesktop, method);
  call.setArguments(QList<QVariant>{QVariant::fromValue(
                                        QDBusObjectPath(QString::fromStdString(steps_.Session()))),
                                    QVariantMap()} +
                    arguments);
  return call;
}

// A call that fails ends the session: said best by the service that went
// away, if one did, else by what it waited for, if it ran out of time.
void PortalSession::InputFailed(const QDBusMessage& reply, const QString& method, bool ranOut) {
  for (const auto& [name, owner] : owners_)
    if (OwnerOf(name) != owner) {
      Do(steps_.ServiceGone(name.toStdString()));
      return;
    }
  Do(ranOut ? steps_.InputTimedOut(method.toStdString())
            : steps_.InputFailed(reply.errorMessage().toStdString()));
}

// The portal may handle calls of one client on threads of its own, so a
// call goes out only once the one before it was answered: else a press
// could overtake its move or its release, and land elsewhere. A release
// is answered while the next read waits for the screen, and the next call
// waits for that answer first, as long as a call may take at most.
bool PortalSession::Send(const QString& method, const QList<QVariant>& arguments, bool await) {
  if (!Settle() || !steps_.Running()) return false;
  const Clock::time_point sent = Clock::now();
  if (!await) {
    unanswered_ = Unanswered{bus_.asyncCall(InputCall(method, arguments), kInputCallTimeoutMs),
                             steps_.Session(), sent};
    return true;
  }
  const QDBusMessage reply =
      bus_.call(InputCall(method, arguments), QDBus::Block, kInputCallTimeoutMs);
  if (reply.type() == QDBusMessage::ReplyMessage) return true;
  InputFailed(reply, method, RanOut(QDBusError(reply), sent, kInputCallTimeoutMs));
  return false;
}

// Whether the call still unanswered, if any, went through; a failed one
// ends its session, as any failed call does, unless that has ended since.
bool PortalSession::Settle() {
  if (!unanswered_) return true;
  Unanswered last = *std::exchange(unanswered_, std::nullopt);
  last.call.waitForFinished();
  if (!last.call.isError() || !steps_.Running() || steps_.Session() != last.session) return true;
  InputFailed(last.call.reply(), QStringLiteral("NotifyPointerButton"),
              RanOut(last.call.error(), last.sent, kInputCallTimeoutMs));
  return false;
}

bool PortalSession::MovePointer(std::uint32_t node, double x, double y) {
  return Send(QStringLiteral("NotifyPointerMotionAbsolute"), {node, x, y}, true);
}

bool PortalSession::Button(std::int32_t code, bool pressed) {
  return Send(QStringLiteral("NotifyPointerButton"), {code, std::uint32_t(pressed ? 1 : 0)},
              pressed);
}
