#include "platform/portal/portal_session.h"

#include <unistd.h>
#include <QTimer>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnectionInterface>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusPendingCallWatcher>
#include <QtDBus/QDBusServiceWatcher>
#include <QtDBus/QDBusUnixFileDescriptor>

#include <utility>

namespace {
const QString kService = QString::fromLatin1(PortalSteps::kService);
// Where the portal's backends are named: .gnome, .kde, .gtk...
const QString kBackends = QStringLiteral("org.freedesktop.impl.portal.desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
constexpr std::uint32_t kPointerDevice = PortalSteps::kPointerDevice;
constexpr std::uint32_t kMonitorSource = 1;
// Calls that make a request answer at once, but the first may start the
// portal, which took up to 50 s here; nothing waits for them meanwhile.
constexpr int kRequestCallTimeoutMs = 120000;
// Calls that only forward input answer at once; a portal that takes
// longer is stuck, and the tick must go on.
constexpr int kInputCallTimeoutMs = 1000;

std::uint32_t Property(QDBusConnection& bus, const QString& interface, const char* name,
                       std::string* error) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
  call << interface << QString::fromLatin1(name);
  // The first call may start the portal, which can take many seconds.
  const QDBusMessage reply = bus.call(call, QDBus::Block, 60000);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
    *error = reply.errorMessage().toStdString();
    return 0;
  }
  return reply.arguments().first().value<QDBusVariant>().variant().toUInt();
}

// "position" and "size" come as (ii) inside a variant.
bool Pair(const QVariant& value, std::int32_t* a, std::int32_t* b) {
  if (!value.canConvert<QDBusArgument>()) return false;
  const QDBusArgument arg = value.value<QDBusArgument>();
  arg.beginStructure();
  arg >> *a >> *b;
  arg.endStructure();
  return true;
}

std::vector<PortalStream> Streams(const QVariant& value) {
  std::vector<PortalStream> streams;
  if (!value.canConvert<QDBusArgument>()) return streams;
  const QDBusArgument arg = value.value<QDBusArgument>();
  arg.beginArray();
  while (!arg.atEnd()) {
    PortalStream stream;
    QVariantMap properties;
    arg.beginStructure();
    arg >> stream.node >> properties;
    arg.endStructure();
    stream.placed = Pair(properties.value(QStringLiteral("position")), &stream.x, &stream.y);
    Pair(properties.value(QStringLiteral("size")), &stream.width, &stream.height);
    streams.push_back(stream);
  }
  arg.endArray();
  return streams;
}
}  // namespace

std::optional<PortalSession::Offer> PortalSession::Probe(Notice* why) {
  const QString name = QStringLiteral("colorclicker-portal-probe");
  std::optional<Offer> offer;
  {
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
    std::string error;
    if (!bus.isConnected()) {
      *why = {Reason::NoSessionBus, {}, {}};
    } else if (!(Property(bus, kRemoteDesktop, "AvailableDeviceTypes", &error) & kPointerDevice)) {
      *why = error.empty() ? Notice{Reason::PortalWithoutPointer, {}, {}}
                           : Notice{Reason::NoRemoteDesktopPortal, error, {}};
    } else if (!(Property(bus, kScreenCast, "AvailableSourceTypes", &error) & kMonitorSource)) {
      *why = {Reason::PortalWithoutMonitors, {}, {}};
    } else {
      offer = Offer{Property(bus, kScreenCast, "AvailableCursorModes", &error)};
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
               QStringLiteral("Response"), this, SLOT(OnResponse(uint, QVariantMap, QDBusMessage)));
  bus_.connect(kService, QString(), QStringLiteral("org.freedesktop.portal.Session"),
               QStringLiteral("Closed"), this, SLOT(OnClosed(QVariantMap, QDBusMessage)));
  services_->addWatchedService(kBackends + QLatin1Char('*'));
  connect(services_, &QDBusServiceWatcher::serviceOwnerChanged, this,
          &PortalSession::OnOwnerChanged);
}

PortalSession::~PortalSession() {
  End();
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
      Close(action.close);
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
  connect(reply, &QDBusPendingCallWatcher::finished, this,
          [this, id = a.id,
           pipewire = a.method == Method::OpenPipeWireRemote](QDBusPendingCallWatcher* watcher) {
            watcher->deleteLater();
            const QDBusMessage answer = watcher->reply();
            const QVariant first = answer.arguments().value(0);
            if (answer.type() != QDBusMessage::ReplyMessage) {
              Do(steps_.Failed(id, answer.errorMessage().toStdString()));
            } else if (!pipewire) {
              Do(steps_.Replied(id, first.value<QDBusObjectPath>().path().toStdString()));
            } else if (const int fd = first.value<QDBusUnixFileDescriptor>().fileDescriptor();
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

void PortalSession::OnResponse(uint code, const QVariantMap& results, const QDBusMessage& message) {
  PortalResults read;
  read.sessionHandle = results.value(QStringLiteral("session_handle")).toString().toStdString();
  read.devices = results.value(QStringLiteral("devices")).toUInt();
  read.streams = Streams(results.value(QStringLiteral("streams")));
  const PortalSteps::Action next = steps_.Responded(message.path().toStdString(), code, read);
  // Once the session exists, its backends have made theirs.
  if (next.kind == PortalSteps::Action::Kind::Call &&
      next.method == PortalSteps::Method::SelectDevices)
    WatchOwners();
  Do(next);
}

void PortalSession::OnClosed(const QVariantMap&, const QDBusMessage& message) {
  Do(steps_.Closed(message.path().toStdString()));
}

void PortalSession::OnOwnerChanged(const QString& name, const QString& oldOwner,
                                   const QString& newOwner) {
  if (!oldOwner.isEmpty()) Do(steps_.ServiceGone(name.toStdString()));
  if (!newOwner.isEmpty() && name != kService) steps_.BackendStarted();
}

// The backends that serve RemoteDesktop or ScreenCast, as they say of
// themselves; a backend that serves neither may come and go.
void PortalSession::WatchOwners() {
  QDBusConnectionInterface* names = bus_.interface();
  owners_.clear();
  owners_[kService] = names->serviceOwner(kService);
  std::set<std::string> serving;
  for (const QString& name : names->registeredServiceNames().value()) {
    if (!name.startsWith(kBackends + QLatin1Char('.'))) continue;
    const QDBusMessage reply =
        bus_.call(QDBusMessage::createMethodCall(
                      name, kPath, QStringLiteral("org.freedesktop.DBus.Introspectable"),
                      QStringLiteral("Introspect")),
                  QDBus::Block, kInputCallTimeoutMs);
    const QString xml = reply.arguments().value(0).toString();
    if (!xml.contains(QStringLiteral("org.freedesktop.impl.portal.RemoteDesktop")) &&
        !xml.contains(QStringLiteral("org.freedesktop.impl.portal.ScreenCast")))
      continue;
    serving.insert(name.toStdString());
    owners_[name] = names->serviceOwner(name);
  }
  steps_.Serving(std::move(serving));
}

void PortalSession::Close(const std::string& session) {
  if (session.empty()) return;
  bus_.call(QDBusMessage::createMethodCall(kService, QString::fromStdString(session),
                                           QStringLiteral("org.freedesktop.portal.Session"),
                                           QStringLiteral("Close")),
            QDBus::Block, kInputCallTimeoutMs);
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
// away, if one did.
void PortalSession::InputFailed(const QDBusMessage& reply) {
  for (const auto& [name, owner] : owners_)
    if (bus_.interface()->serviceOwner(name).value() != owner) {
      Do(steps_.ServiceGone(name.toStdString()));
      return;
    }
  Do(steps_.InputFailed(reply.errorMessage().toStdString()));
}

// The portal may handle calls of one client on threads of its own, so a
// call goes out only once the one before it was answered: else a press
// could overtake its move or its release, and land elsewhere. A release
// is answered while the next read waits for the screen, and the next call
// waits for that answer first.
bool PortalSession::Send(const QString& method, const QList<QVariant>& arguments, bool await) {
  if (!Settle() || !steps_.Running()) return false;
  if (!await) {
    unanswered_.emplace(bus_.asyncCall(InputCall(method, arguments), kInputCallTimeoutMs),
                        steps_.Session());
    return true;
  }
  const QDBusMessage reply =
      bus_.call(InputCall(method, arguments), QDBus::Block, kInputCallTimeoutMs);
  if (reply.type() == QDBusMessage::ReplyMessage) return true;
  InputFailed(reply);
  return false;
}

// Whether the call still unanswered, if any, went through; a failed one
// ends its session, as any failed call does, unless that has ended since.
bool PortalSession::Settle() {
  if (!unanswered_) return true;
  auto [call, session] = *std::exchange(unanswered_, std::nullopt);
  call.waitForFinished();
  if (!call.isError() || !steps_.Running() || steps_.Session() != session) return true;
  InputFailed(call.reply());
  return false;
}

bool PortalSession::MovePointer(std::uint32_t node, double x, double y) {
  return Send(QStringLiteral("NotifyPointerMotionAbsolute"), {node, x, y}, true);
}

bool PortalSession::Button(std::int32_t code, bool pressed) {
  return Send(QStringLiteral("NotifyPointerButton"), {code, std::uint32_t(pressed ? 1 : 0)},
              pressed);
}
