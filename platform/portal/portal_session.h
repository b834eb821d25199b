#pragma once
// One session of the desktop portal (xdg-desktop-portal), as GNOME and KDE
// Plasma offer it to every program: RemoteDesktop for the pointer with
// ScreenCast of every monitor selected on the same session. Starting it
// shows the desktop's own dialog, where the user allows it or not.
// The D-Bus side of PortalSteps, spoken on the Qt event loop's thread:
// calls go out without waiting, and what the portal sends, or its going
// away, comes back in through the event loop.
#include <QObject>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusPendingCall>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/notice.h"
#include "platform/portal/portal_steps.h"

class QDBusServiceWatcher;

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
    // Refused, failed, ended by the desktop, or the portal went away: why,
    // for the user.
    std::function<void(const Notice&)> ended;
  };
  // cursorMode: the ScreenCast cursor mode to ask for; 0 for none.
  PortalSession(std::uint32_t cursorMode, Events events);
  ~PortalSession() override;  // closes the session

  // Creates the session and starts it; the dialog shows meanwhile.
  void Ask() { Do(steps_.Ask()); }
  bool Asking() const { return steps_.Asking(); }
  bool Running() const { return steps_.Running(); }

  // Closes the session without telling (Ask may follow).
  void End() { Close(steps_.End(), false); }

  // In the given stream's logical units. False when the portal refused;
  // then the session has ended.
  bool MovePointer(std::uint32_t node, double x, double y);
  // Linux button code (BTN_LEFT...). A release is not waited for: the next
  // call waits for its answer. False when the portal refused, that one or
  // the release before; then the session has ended.
  bool Button(std::int32_t code, bool pressed);

 private slots:
  // Signals of any signature: their types are checked before they are read.
  void OnResponse(const QDBusMessage& message);
  void OnClosed(const QDBusMessage& message);
  void OnOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);

 private:
  void Do(const PortalSteps::Action& action);
  void Call(const PortalSteps::Action& action);
  QDBusMessage InputCall(const QString& method, const QList<QVariant>& arguments);
  // A call of `method` failed, or ran out of time.
  void InputFailed(const QDBusMessage& reply, const QString& method, bool ranOut);
  bool Send(const QString& method, const QList<QVariant>& arguments, bool await);
  bool Settle();
  // The portal and the backends that serve a session, with their owners
  // now: a backend can say it serves one only once it has made it. Asked
  // without waiting; the answers come in as they come.
  void WatchOwners(const QString& portalOwner);
  // A bus name's owner now, asked of the bus for a moment at most; empty
  // when none, or no answer came.
  QString OwnerOf(const QString& name);
  // wait: until the portal has answered, a moment at most, as when the
  // program ends; else the answer is not waited for.
  void Close(const std::string& session, bool wait);

  QDBusConnection bus_;
  std::uint32_t cursorMode_;
  Events events_;
  PortalSteps steps_;
  QDBusServiceWatcher* services_;
  std::map<QString, QString> owners_;  // by bus name
  std::set<std::string> serving_;      // the backends found serving so far
  int pipewireFd_ = -1;                // from OpenPipeWireRemote until Started
  // The last release, until answered, the session it went to and when.
  struct Unanswered {
    QDBusPendingCall call;
    std::string session;
    std::chrono::steady_clock::time_point sent;
  };
  std::optional<Unanswered> unanswered_;
};
