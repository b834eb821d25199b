#include "tests/support/dbus_wire.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusServer>

namespace {
const QString kNear = QStringLiteral("near");

struct WireStream {
  uint node = 0;
  QVariantMap properties;
};
}  // namespace
Q_DECLARE_METATYPE(WireStream)

namespace {
QDBusArgument& operator<<(QDBusArgument& arg, const WireStream& s) {
  arg.beginStructure();
  arg << s.node << s.properties;
  arg.endStructure();
  return arg;
}
const QDBusArgument& operator>>(const QDBusArgument& arg, WireStream& s) {
  arg.beginStructure();
  arg >> s.node >> s.properties;
  arg.endStructure();
  return arg;
}
}  // namespace

// A bound on waiting, so that a broken wire fails the test rather than
// hanging it.
template <typename Done>
void DBusWire::Await(Done done) {
  const QDeadlineTimer enough(20000);
  while (!done() && !enough.hasExpired())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

DBusWire::DBusWire() {
  static int argc = 1;
  static char name[] = "dbus_wire";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
  qDBusRegisterMetaType<WireStream>();
  qDBusRegisterMetaType<QList<WireStream>>();
  server_ = std::make_unique<QDBusServer>(
      QStringLiteral("unix:abstract=colorclicker-test-%1").arg(::getpid()));
  connect(server_.get(), &QDBusServer::newConnection, this,
          [this](const QDBusConnection& c) { far_ = std::make_unique<QDBusConnection>(c); });
  near_ =
      std::make_unique<QDBusConnection>(QDBusConnection::connectToPeer(server_->address(), kNear));
  Await([this] { return far_ != nullptr; });
  near_->connect(QString(), QString(), QStringLiteral("org.freedesktop.portal.Request"),
                 QStringLiteral("Response"), this, SLOT(Take(QDBusMessage)));
}

DBusWire::~DBusWire() {
  near_.reset();
  QDBusConnection::disconnectFromPeer(kNear);
}

bool DBusWire::Ready() const { return far_ && far_->isConnected(); }

QDBusMessage DBusWire::Response(const QList<QVariant>& arguments) {
  QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/request/1"),
                                                   QStringLiteral("org.freedesktop.portal.Request"),
                                                   QStringLiteral("Response"));
  signal.setArguments(arguments);
  taken_.reset();
  far_->send(signal);
  Await([this] { return taken_.has_value(); });
  return taken_.value_or(QDBusMessage());
}

QVariant DBusWire::Pair(int a, int b) {
  QDBusArgument arg;
  arg.beginStructure();
  arg << a << b;
  arg.endStructure();
  return QVariant::fromValue(arg);
}

QVariant DBusWire::Streams(const QList<std::pair<uint, QVariantMap>>& streams) {
  QList<WireStream> wire;
  for (const auto& [node, properties] : streams) wire.push_back({node, properties});
  return QVariant::fromValue(wire);
}
