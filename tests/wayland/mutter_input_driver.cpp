// Drives the pointer and keyboard of a headless mutter through mutter's own
// remote desktop D-Bus API, which asks nobody for consent: the way a test
// answers the portal's dialog, and plays the user. One session for as long
// as it runs. Reads commands from stdin, one a line, and answers each with
// "ok" once mutter has taken it:
//   move X Y        to a point of the layout, in logical units
//   down | up       the left button
//   key SYM[+SYM]   X keysyms (0xff0d Return), pressed in order, released
//                   in reverse: 0xffe3+0x61 is ctrl+a
//   type TEXT       printable ASCII characters, one key each
//   shot FILE       the whole layout as it is now, as a PPM picture
//   find RRGGBB     answers "at X Y", the first pixel of that colour row by
//                   row, or "at none"
// Argument: the layout's size WIDTHxHEIGHT (the bounding box of all
// monitors), which absolute motion is relative to.
#include <QtCore/QCoreApplication>
#include <QtCore/QThread>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusInterface>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusReply>
#include <QtDBus/QDBusVariant>

#include "platform/portal/pipewire_streams.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

const char kMutter[] = "org.gnome.Mutter.RemoteDesktop";
const char kScreenCast[] = "org.gnome.Mutter.ScreenCast";
const int kLeftButton = 0x110;  // BTN_LEFT

bool Failed(const QDBusMessage& reply, const char* what) {
  if (reply.type() != QDBusMessage::ErrorMessage) return false;
  std::fprintf(stderr, "mutter_input_driver: %s: %s\n", what, qPrintable(reply.errorMessage()));
  return true;
}

class NodeListener : public QObject {
  Q_OBJECT
 public:
  std::uint32_t node = 0;
 public slots:
  void Added(uint id) { node = id; }
};

// The newest picture of the layout.
std::shared_ptr<const StreamFrame> Picture(std::uint32_t node) {
  std::string error;
  std::unique_ptr<PipeWireStreams> streams = PipeWireStreams::Open(-1, {node}, &error);
  if (!streams) {
    std::fprintf(stderr, "mutter_input_driver: %s\n", error.c_str());
    return nullptr;
  }
  return streams->WaitNewer(0, 0, std::chrono::seconds(5));
}

bool Find(std::uint32_t node, const std::string& rgb) {
  const std::shared_ptr<const StreamFrame> picture = Picture(node);
  if (!picture) return false;
  const unsigned long c = std::stoul(rgb, nullptr, 16);
  const Colorref wanted =
      Colorref(c >> 16 & 0xFF) | Colorref(c & 0xFF00) | Colorref(c & 0xFF) << 16;
  for (int y = 0; y < picture->height; ++y)
    for (int x = 0; x < picture->width; ++x)
      if (picture->Shown(x, y) == wanted) {
        std::printf("at %d %d\n", x, y);
        return true;
      }
  std::printf("at none\n");
  return true;
}

bool Shot(std::uint32_t node, const std::string& path) {
  const std::shared_ptr<const StreamFrame> picture = Picture(node);
  if (!picture) return false;
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << picture->width << " " << picture->height << "\n255\n";
  for (int y = 0; y < picture->height; ++y)
    for (int x = 0; x < picture->width; ++x) {
      const Colorref c = picture->Shown(x, y);
      const char rgb[3] = {char(c & 0xFF), char(c >> 8 & 0xFF), char(c >> 16 & 0xFF)};
      out.write(rgb, 3);
    }
  return bool(out);
}

QDBusObjectPath PathOf(const QDBusMessage& reply) {
  return reply.arguments().value(0).value<QDBusObjectPath>();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int width = 0, height = 0;
  if (argc != 2 || std::sscanf(argv[1], "%dx%d", &width, &height) != 2) {
    std::fprintf(stderr, "usage: mutter_input_driver WIDTHxHEIGHT < commands\n");
    return 2;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  QDBusInterface remote(kMutter, "/org/gnome/Mutter/RemoteDesktop", kMutter, bus);
  QDBusMessage reply = remote.call("CreateSession");
  if (Failed(reply, "CreateSession")) return 1;
  const QString sessionPath = PathOf(reply).path();
  QDBusInterface session(kMutter, sessionPath, "org.gnome.Mutter.RemoteDesktop.Session", bus);
  QDBusInterface properties(kMutter, sessionPath, "org.freedesktop.DBus.Properties", bus);
  reply = properties.call("Get", "org.gnome.Mutter.RemoteDesktop.Session", "SessionId");
  if (Failed(reply, "SessionId")) return 1;
  const QString sessionId = reply.arguments().value(0).value<QDBusVariant>().variant().toString();

  // Absolute motion needs a stream to be relative to: an area stream over
  // the whole layout makes stream coordinates layout coordinates.
  QDBusInterface screenCast(kScreenCast, "/org/gnome/Mutter/ScreenCast", kScreenCast, bus);
  reply = screenCast.call("CreateSession", QVariantMap{{"remote-desktop-session-id", sessionId}});
  if (Failed(reply, "ScreenCast.CreateSession")) return 1;
  QDBusInterface castSession(kScreenCast, PathOf(reply).path(),
                             "org.gnome.Mutter.ScreenCast.Session", bus);
  reply = castSession.call("RecordArea", 0, 0, width, height, QVariantMap{});
  if (Failed(reply, "RecordArea")) return 1;
  const QString stream = PathOf(reply).path();
  // The stream's PipeWire node, for pictures of the screen.
  NodeListener listener;
  bus.connect(kScreenCast, stream, "org.gnome.Mutter.ScreenCast.Stream", "PipeWireStreamAdded",
              &listener, SLOT(Added(uint)));
  if (Failed(session.call("Start"), "Start")) return 1;

  auto send = [&](const char* method, const QVariant& a, const QVariant& b = {},
                  const QVariant& c = {}) {
    QList<QVariant> args{a};
    if (b.isValid()) args << b;
    if (c.isValid()) args << c;
    return !Failed(session.callWithArgumentList(QDBus::Block, method, args), method);
  };
  auto key = [&](uint sym, bool down) { return send("NotifyKeyboardKeysym", sym, down); };

  // A fresh seat dropped the first press that came before any motion.
  if (!send("NotifyPointerMotionAbsolute", stream, 0.0, 0.0)) return 1;
  QThread::msleep(100);

  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream words(line);
    std::string command;
    words >> command;
    bool done = true;
    if (command == "move") {
      double x = 0, y = 0;
      words >> x >> y;
      done = send("NotifyPointerMotionAbsolute", stream, x, y);
    } else if (command == "down" || command == "up") {
      done = send("NotifyPointerButton", kLeftButton, command == "down");
    } else if (command == "key") {
      std::string combo, sym;
      words >> combo;
      std::istringstream parts(combo);
      QList<uint> syms;
      while (std::getline(parts, sym, '+')) syms << std::stoul(sym, nullptr, 0);
      for (uint s : syms) done = done && key(s, true);
      for (auto it = syms.rbegin(); it != syms.rend(); ++it) done = key(*it, false) && done;
    } else if (command == "type") {
      std::string text;
      words >> text;
      for (unsigned char c : text) done = done && key(c, true) && key(c, false);
    } else if (command == "shot" || command == "find") {
      std::string argument;
      words >> argument;
      for (int i = 0; i < 50 && !listener.node; ++i) {
        QCoreApplication::processEvents();
        QThread::msleep(20);
      }
      done = listener.node &&
             (command == "shot" ? Shot(listener.node, argument) : Find(listener.node, argument));
    } else {
      std::fprintf(stderr, "mutter_input_driver: unknown command: %s\n", line.c_str());
      done = false;
    }
    if (!done) return 1;
    std::printf("ok\n");
    std::fflush(stdout);
  }
  session.call("Stop");
  return 0;
}

#include "mutter_input_driver.moc"
