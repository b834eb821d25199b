#pragma once
// D-Bus messages as a connection hands them over, their arguments read
// back from the wire: sent at one end of a private connection (no bus
// daemon; an abstract socket, which leaves no file) and taken at the
// other. For reading what the desktop portal sends, of any shape.
#include <QObject>
#include <QVariant>
#include <QtDBus/QDBusMessage>

#include <memory>
#include <optional>
#include <utility>

class QDBusConnection;
class QDBusServer;

class DBusWire : public QObject {
  Q_OBJECT

 public:
  // Makes the application object too, if there is none yet.
  DBusWire();
  ~DBusWire() override;
  bool Ready() const;
  // A portal Request's Response signal with these arguments, as received.
  QDBusMessage Response(const QList<QVariant>& arguments);

  // Values as the portal marshals them: (ii), and Start's streams
  // a(ua{sv}).
  static QVariant Pair(int a, int b);
  static QVariant Streams(const QList<std::pair<uint, QVariantMap>>& streams);

 public slots:
  void Take(const QDBusMessage& message) { taken_ = message; }

 private:
  template <typename Done>
  void Await(Done done);

  std::unique_ptr<QDBusServer> server_;
  std::unique_ptr<QDBusConnection> near_, far_;
  std::optional<QDBusMessage> taken_;
};
