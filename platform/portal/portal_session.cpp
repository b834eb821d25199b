#include "platform/portal/portal_session.h"

#include <unistd.h>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusUnixFileDescriptor>

namespace {
const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRemoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kScreenCast = QStringLiteral("org.freedesktop.portal.ScreenCast");
constexpr std::uint32_t kPointerDevice = 2;
constexpr std::uint32_t kMonitorSource = 1;
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
    : bus_(QDBusConnection::sessionBus()), cursorMode_(cursorMode), events_(std::move(events)) {}

PortalSession::~PortalSession() { Close(); }

void PortalSession::Ask() {
  if (step_ != Step::Idle) return;
  Request(
      Step::Creating, kRemoteDesktop, QStringLiteral("CreateSession"), {},
      {{QStringLiteral("session_handle_token"), QStringLiteral("colorclicker%1").arg(++tokens_)}});
}

// Each answer comes as a Response signal on a request object whose path
// is known beforehand; it is listened to before the call, so that a quick
// answer is not missed.
bool PortalSession::Request(Step step, const QString& interface, const QString& method,
                            QList<QVariant> arguments, QVariantMap options) {
  const QString token = QStringLiteral("colorclicker%1").arg(++tokens_);
  QString sender = bus_.baseService().mid(1);
  sender.replace(QLatin1Char('.'), QLatin1Char('_'));
  requestPath_ = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
  bus_.connect(kService, requestPath_, QStringLiteral("org.freedesktop.portal.Request"),
               QStringLiteral("Response"), this, SLOT(OnResponse(uint, QVariantMap, QDBusMessage)));
  options.insert(QStringLiteral("handle_token"), token);
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, interface, method);
  arguments.append(options);
  call.setArguments(arguments);
  step_ = step;
  const QDBusMessage reply = bus_.call(call, QDBus::Block, 30000);
  if (reply.type() != QDBusMessage::ReplyMessage) {
    Fail({Reason::PortalError, reply.errorMessage().toStdString(), {}});
    return false;
  }
  return true;
}

void PortalSession::OnResponse(uint code, const QVariantMap& results, const QDBusMessage& message) {
  if (message.path() != requestPath_) return;
  bus_.disconnect(kService, requestPath_, QStringLiteral("org.freedesktop.portal.Request"),
                  QStringLiteral("Response"), this,
                  SLOT(OnResponse(uint, QVariantMap, QDBusMessage)));
  if (code == 1) {
    Fail({Reason::AccessRefused, {}, {}});
    return;
  }
  if (code != 0) {
    Fail({Reason::AccessInterrupted, {}, {}});
    return;
  }
  if (step_ == Step::Creating)
    session_ = results.value(QStringLiteral("session_handle")).toString();
  const QDBusObjectPath session(session_);
  switch (step_) {
    case Step::Creating:
      bus_.connect(kService, session_, QStringLiteral("org.freedesktop.portal.Session"),
                   QStringLiteral("Closed"), this, SLOT(OnClosed(QVariantMap, QDBusMessage)));
      Request(Step::SelectingDevices, kRemoteDesktop, QStringLiteral("SelectDevices"),
              {QVariant::fromValue(session)}, {{QStringLiteral("types"), kPointerDevice}});
      break;
    case Step::SelectingDevices: {
      QVariantMap options{{QStringLiteral("types"), kMonitorSource},
                          {QStringLiteral("multiple"), true}};
      if (cursorMode_) options.insert(QStringLiteral("cursor_mode"), cursorMode_);
      Request(Step::SelectingSources, kScreenCast, QStringLiteral("SelectSources"),
              {QVariant::fromValue(session)}, options);
      break;
    }
    case Step::SelectingSources:
      Request(Step::Starting, kRemoteDesktop, QStringLiteral("Start"),
              {QVariant::fromValue(session), QString()}, {});
      break;
    case Step::Starting: {
      std::vector<PortalStream> streams = Streams(results.value(QStringLiteral("streams")));
      if (!(results.value(QStringLiteral("devices")).toUInt() & kPointerDevice) ||
          streams.empty()) {
        Fail({Reason::NoPointerOrMonitor, {}, {}});
        return;
      }
      QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kScreenCast,
                                                         QStringLiteral("OpenPipeWireRemote"));
      call << QVariant::fromValue(session) << QVariantMap();
      const QDBusMessage reply = bus_.call(call, QDBus::Block, 30000);
      const int fd =
          reply.arguments().isEmpty()
              ? -1
              : reply.arguments().first().value<QDBusUnixFileDescriptor>().fileDescriptor();
      if (reply.type() != QDBusMessage::ReplyMessage || fd < 0) {
        Fail({Reason::PipeWireNotOpened, reply.errorMessage().toStdString(), {}});
        return;
      }
      step_ = Step::Running;
      if (events_.started) events_.started(std::move(streams), ::dup(fd));
      break;
    }
    case Step::Idle:
    case Step::Running: break;
  }
}

void PortalSession::OnClosed(const QVariantMap&, const QDBusMessage& message) {
  if (session_.isEmpty() || message.path() != session_) return;
  session_.clear();  // already closed: nothing to close
  Fail({Reason::AccessEnded, {}, {}});
}

void PortalSession::Fail(const Notice& why) {
  Close();
  if (events_.ended) events_.ended(why);
}

void PortalSession::Close() {
  if (!requestPath_.isEmpty())
    bus_.disconnect(kService, requestPath_, QStringLiteral("org.freedesktop.portal.Request"),
                    QStringLiteral("Response"), this,
                    SLOT(OnResponse(uint, QVariantMap, QDBusMessage)));
  requestPath_.clear();
  if (!session_.isEmpty()) {
    bus_.disconnect(kService, session_, QStringLiteral("org.freedesktop.portal.Session"),
                    QStringLiteral("Closed"), this, SLOT(OnClosed(QVariantMap, QDBusMessage)));
    bus_.call(QDBusMessage::createMethodCall(kService, session_,
                                             QStringLiteral("org.freedesktop.portal.Session"),
                                             QStringLiteral("Close")),
              QDBus::Block, kInputCallTimeoutMs);
  }
  session_.clear();
  step_ = Step::Idle;
}

bool PortalSession::MovePointer(std::uint32_t node, double x, double y) {
  if (step_ != Step::Running) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kRemoteDesktop,
                                                     QStringLiteral("NotifyPointerMotionAbsolute"));
  call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariantMap() << node << x << y;
  return bus_.call(call, QDBus::Block, kInputCallTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

bool PortalSession::Button(std::int32_t code, bool pressed) {
  if (step_ != Step::Running) return false;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kRemoteDesktop,
                                                     QStringLiteral("NotifyPointerButton"));
  call << QVariant::fromValue(QDBusObjectPath(session_)) << QVariantMap() << code
       << std::uint32_t(pressed ? 1 : 0);
  return bus_.call(call, QDBus::Block, kInputCallTimeoutMs).type() == QDBusMessage::ReplyMessage;
}
