#pragma once
// One session of the desktop portal (xdg-desktop-portal), as GNOME and KDE
// Plasma offer it to every program: RemoteDesktop for the pointer with
// ScreenCast of every monitor selected on the same session. Starting it
// shows the desktop's own dialog, where the user allows it or not.
// Spoken over D-Bus on the Qt event loop's thread.
#include <QObject>
#include <QVariantMap>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/notice.h"

// A monitor shared with the session: its PipeWire node and its place in
// the desktop's layout, in logical units.
struct PortalStream {
  std::uint32_t node = 0;
  std::int32_t x = 0, y = 0, width = 0, height = 0;
  bool placed = false;  // whether the portal said where it lies
};

class PortalSession : public QObject {
  Q_OBJECT

 public:
  // What the portal offers, asked synchronously on a connection of its
  // own, so before the application exists. Nothing (and *why) when it
  // cannot serve this program.
  struct Offer {
    std::uint32_t cursorModes = 0;  // ScreenCast's AvailableCursorModes; 0 if none
  };
  static std::optional<Offer> Probe(Notice* why);

  struct Events {
    // The user allowed it: the monitors, and the PipeWire remote's fd
    // (the receiver owns it).
    std::function<void(std::vector<PortalStream>, int pipewireFd)> started;
    // Refused, failed or ended by the desktop: why, for the user.
    std::function<void(const Notice&)> ended;
  };
  // cursorMode: the ScreenCast cursor mode to ask for; 0 for none.
  PortalSession(std::uint32_t cursorMode, Events events);
  ~PortalSession() override;  // closes the session

  // Creates the session and starts it; the dialog shows meanwhile.
  void Ask();
  bool Asking() const { return step_ != Step::Idle && step_ != Step::Running; }
  bool Running() const { return step_ == Step::Running; }

  // Closes the session without telling (Ask may follow).
  void End() { Close(); }

  // In the given stream's logical units. False when the portal refused.
  bool MovePointer(std::uint32_t node, double x, double y);
  // Linux button code (BTN_LEFT...).
  bool Button(std::int32_t code, bool pressed);

 private slots:
  // The message tells which request or session it is about: one that
  // ended before may still have a signal on its way.
  void OnResponse(uint code, const QVariantMap& results, const QDBusMessage& message);
  void OnClosed(const QVariantMap& details, const QDBusMessage& message);

 private:
  enum class Step { Idle, Creating, SelectingDevices, SelectingSources, Starting, Running };
  bool Request(Step step, const QString& interface, const QString& method,
               QList<QVariant> arguments, QVariantMap options);
  void Fail(const Notice& why);
  void Close();

  QDBusConnection bus_;
  std::uint32_t cursorMode_;
  Events events_;
  Step step_ = Step::Idle;
  QString requestPath_;
  QString session_;
  unsigned tokens_ = 0;
};
