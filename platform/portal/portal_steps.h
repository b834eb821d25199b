#pragma once
// The steps of one desktop portal session, apart from the bus that carries
// them: CreateSession, SelectDevices (the pointer), SelectSources (every
// monitor), Start (the desktop's dialog), OpenPipeWireRemote, then running
// until the user refuses, the desktop ends it or the portal goes away.
// What the portal says comes in; the next call to make, or how the session
// turned out, goes out.
#include <cstdint>
#include <set>
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

// What a request's Response carried, as far as the steps need it.
struct PortalResults {
  std::string sessionHandle;          // CreateSession's
  std::uint32_t devices = 0;          // Start's: the device types allowed
  std::vector<PortalStream> streams;  // Start's: the monitors shared
  // What in the Response was not of the type the portal's interface gives
  // it; then nothing else in it counts.
  std::string wrongShape;
};

class PortalSteps {
 public:
  // The portal's own bus name; its backends are named within
  // org.freedesktop.impl.portal.desktop.
  static constexpr char kService[] = "org.freedesktop.portal.Desktop";
  static constexpr std::uint32_t kPointerDevice = 2;

  enum class Method { CreateSession, SelectDevices, SelectSources, Start, OpenPipeWireRemote };
  struct Action {
    enum class Kind { None, Call, Started, Ended };
    Kind kind = Kind::None;
    // Call: `method` on `session` (none for CreateSession), named `id` in
    // its reply; `token` is the handle token of the request it makes
    // (every method but OpenPipeWireRemote), `sessionToken` that of the
    // session CreateSession makes.
    Method method = Method::CreateSession;
    unsigned id = 0;
    unsigned delayMs = 0;  // how long to wait before making it
    std::string token, sessionToken, session;
    // Started: the monitors shared.
    std::vector<PortalStream> streams;
    // Ended: why, for the user, and the session still to close (empty when
    // the portal closed it or went with it).
    Notice why{};
    std::string close;
  };

  // busName: the program's unique name on the bus (":1.42"), which the
  // portal builds its request paths from.
  explicit PortalSteps(std::string busName);

  // A new session, when none is asked for or running.
  Action Ask();
  // Call `id` was answered: for a request, with the request's path, which
  // an older portal may choose itself.
  Action Replied(unsigned id, const std::string& requestPath);
  Action Failed(unsigned id, const std::string& error);
  // Call `id` was not answered in time, or answered with a reply of
  // another shape than its method gives (`what`).
  Action TimedOut(unsigned id);
  Action WrongReply(unsigned id, const std::string& what);
  // A request's Response signal; code 0 allowed, 1 refused, 2 otherwise
  // ended. Signals of requests and sessions that are over are ignored.
  Action Responded(const std::string& requestPath, std::uint32_t code,
                   const PortalResults& results);
  Action Closed(const std::string& sessionPath);
  // The bus names of the portal's backends that serve this session.
  void Serving(std::set<std::string> backends) { backends_ = std::move(backends); }
  // A bus name lost its owner: the portal itself, or one of its backends.
  Action ServiceGone(const std::string& name);
  // A backend took its bus name. One the portal started for this session
  // may take it before it serves anything, and the portal, asking it at
  // once, ends the request: then CreateSession is asked once more.
  void BackendStarted() { backendStarted_ = backendStarted_ || step_ == Step::Creating; }
  // Input sent to the running session failed, or `method` was not
  // answered in time: it no longer works.
  Action InputFailed(const std::string& error);
  Action InputTimedOut(const std::string& method);
  // Ends without telling anyone; returns the session still to close.
  std::string End();

  bool Asking() const { return step_ != Step::Idle && step_ != Step::Running; }
  bool Running() const { return step_ == Step::Running; }
  // Whether call `id` is still the one the steps wait for.
  bool Awaits(unsigned id) const { return id == calls_ && Asking(); }
  const std::string& Session() const { return session_; }

 private:
  enum class Step {
    Idle,
    Creating,
    SelectingDevices,
    SelectingSources,
    Starting,
    OpeningPipeWire,
    Running
  };
  Action Call(Step step, Method method);
  Action Fail(Reason reason, std::string detail, bool sessionLives);

  std::string sender_;  // the bus name as request paths spell it
  Step step_ = Step::Idle;
  Method method_ = Method::CreateSession;  // of the last call
  unsigned calls_ = 0, tokens_ = 0;
  std::string requestPath_, session_;
  std::vector<PortalStream> streams_;
  std::set<std::string> backends_;
  bool backendStarted_ = false, askedAgain_ = false;
};
