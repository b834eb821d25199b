#include "platform/portal/portal_replies.h"

#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusVariant>

namespace {
// The D-Bus type a demarshalled value came as: a container keeps its
// signature; a basic type is known by the Qt type it was read into.
QString SignatureOf(const QVariant& value) {
  if (value.metaType() == QMetaType::fromType<QDBusArgument>())
    return value.value<QDBusArgument>().currentSignature();
  const char* signature = QDBusMetaType::typeToSignature(value.metaType());
  return signature ? QString::fromLatin1(signature) : QStringLiteral("?");
}

std::string Wrong(const QString& what, const QString& got, const char* expected) {
  return (what + QStringLiteral(" is ") + got + QStringLiteral(", not ") +
          QString::fromLatin1(expected))
      .toStdString();
}

// Whether map[key] has D-Bus type `expected`; else why not, in *wrong.
bool Is(const QVariantMap& map, const char* key, const char* expected, std::string* wrong) {
  const QString got = SignatureOf(map.value(QString::fromLatin1(key)));
  if (got == QLatin1String(expected)) return true;
  *wrong = Wrong(QString::fromLatin1(key), got, expected);
  return false;
}

// (ii), checked by the caller.
void Pair(const QVariant& value, std::int32_t* a, std::int32_t* b) {
  const QDBusArgument arg = value.value<QDBusArgument>();
  arg.beginStructure();
  arg >> *a >> *b;
  arg.endStructure();
}

// a(ua{sv}), checked by the caller; within each stream, position and size
// are checked here.
std::vector<PortalStream> Streams(const QVariant& value, std::string* wrong) {
  std::vector<PortalStream> streams;
  const QDBusArgument arg = value.value<QDBusArgument>();
  // Every array begun is ended, the reading stopped or not: the
  // demarshaller of its elements goes only then.
  bool wellShaped = true;
  arg.beginArray();
  while (wellShaped && !arg.atEnd()) {
    PortalStream stream;
    QVariantMap properties;
    arg.beginStructure();
    arg >> stream.node >> properties;
    arg.endStructure();
    for (const char* key : {"position", "size"})
      if (wellShaped && properties.contains(QString::fromLatin1(key)) &&
          !Is(properties, key, "(ii)", wrong)) {
        *wrong = "streams: " + *wrong;
        wellShaped = false;
      }
    if (!wellShaped) break;
    stream.placed = properties.contains(QStringLiteral("position"));
    if (stream.placed) Pair(properties.value(QStringLiteral("position")), &stream.x, &stream.y);
    if (properties.contains(QStringLiteral("size")))
      Pair(properties.value(QStringLiteral("size")), &stream.width, &stream.height);
    streams.push_back(stream);
  }
  arg.endArray();
  if (!wellShaped) streams.clear();
  return streams;
}
}  // namespace

PortalResponse ReadResponse(const QDBusMessage& signal) {
  PortalResponse response;
  std::string& wrong = response.results.wrongShape;
  if (signal.signature() != QLatin1String("ua{sv}")) {
    wrong = Wrong(QStringLiteral("the Response"),
                  QLatin1Char('(') + signal.signature() + QLatin1Char(')'), "(ua{sv})");
    return response;
  }
  response.code = signal.arguments().value(0).toUInt();
  const QVariantMap results = qdbus_cast<QVariantMap>(signal.arguments().value(1));
  PortalResults& read = response.results;
  if (results.contains(QStringLiteral("session_handle"))) {
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    if (handle.metaType() == QMetaType::fromType<QDBusObjectPath>())
      read.sessionHandle = handle.value<QDBusObjectPath>().path().toStdString();
    else if (Is(results, "session_handle", "s", &wrong))
      read.sessionHandle = handle.toString().toStdString();
    else
      return response;
  }
  if (results.contains(QStringLiteral("devices"))) {
    if (!Is(results, "devices", "u", &wrong)) return response;
    read.devices = results.value(QStringLiteral("devices")).toUInt();
  }
  if (results.contains(QStringLiteral("streams"))) {
    if (!Is(results, "streams", "a(ua{sv})", &wrong)) return response;
    read.streams = Streams(results.value(QStringLiteral("streams")), &wrong);
  }
  return response;
}

std::string WrongReply(const QDBusMessage& reply, const char* signature) {
  if (reply.signature() == QLatin1String(signature)) return {};
  return Wrong(QStringLiteral("the reply"), QLatin1Char('(') + reply.signature() + QLatin1Char(')'),
               (std::string("(") + signature + ")").c_str());
}

std::string WrongUintProperty(const QDBusMessage& reply) {
  if (std::string wrong = WrongReply(reply, "v"); !wrong.empty()) return wrong;
  const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
  if (value.metaType() == QMetaType::fromType<uint>()) return {};
  return Wrong(QStringLiteral("the value"), SignatureOf(value), "u");
}
