#include "platform/portal/portal_steps.h"

#include <algorithm>

namespace {
// Time for a backend the portal just started to serve what it offers
// (GNOME's exports RemoteDesktop once it sees mutter on the bus).
constexpr unsigned kBackendSettleMs = 500;

std::string NameOf(PortalSteps::Method method) {
  using Method = PortalSteps::Method;
  switch (method) {
    case Method::CreateSession: return "CreateSession";
    case Method::SelectDevices: return "SelectDevices";
    case Method::SelectSources: return "SelectSources";
    case Method::Start: return "Start";
    case Method::OpenPipeWireRemote: return "OpenPipeWireRemote";
  }
  return {};
}
}  // namespace

PortalSteps::PortalSteps(std::string busName) : sender_(std::move(busName)) {
  if (!sender_.empty() && sender_.front() == ':') sender_.erase(0, 1);
  std::replace(sender_.begin(), sender_.end(), '.', '_');
}

PortalSteps::Action PortalSteps::Ask() {
  if (step_ != Step::Idle) return {};
  backendStarted_ = askedAgain_ = false;
  return Call(Step::Creating, Method::CreateSession);
}

// Every request answers with a Response signal on a path known beforehand,
// so that a quick answer is not missed.
PortalSteps::Action PortalSteps::Call(Step step, Method method) {
  step_ = step;
  method_ = method;
  Action a;
  a.kind = Action::Kind::Call;
  a.method = method;
  a.id = ++calls_;
  a.session = session_;
  requestPath_.clear();
  if (method != Method::OpenPipeWireRemote) {
    a.token = "colorclicker" + std::to_string(++tokens_);
    requestPath_ = "/org/freedesktop/portal/desktop/request/" + sender_ + "/" + a.token;
  }
  if (method == Method::CreateSession) a.sessionToken = "colorclicker" + std::to_string(++tokens_);
  return a;
}

PortalSteps::Action PortalSteps::Replied(unsigned id, const std::string& requestPath) {
  if (!Awaits(id)) return {};
  if (step_ != Step::OpeningPipeWire) {
    if (!requestPath.empty()) requestPath_ = requestPath;
    return {};
  }
  step_ = Step::Running;
  Action a;
  a.kind = Action::Kind::Started;
  a.streams = streams_;
  return a;
}

PortalSteps::Action PortalSteps::Failed(unsigned id, const std::string& error) {
  if (!Awaits(id)) return {};
  return Fail(step_ == Step::OpeningPipeWire ? Reason::PipeWireNotOpened : Reason::PortalError,
              error, true);
}

PortalSteps::Action PortalSteps::TimedOut(unsigned id) {
  if (!Awaits(id)) return {};
  return Fail(Reason::PortalTimedOut, NameOf(method_), true);
}

PortalSteps::Action PortalSteps::WrongReply(unsigned id, const std::string& what) {
  if (!Awaits(id)) return {};
  return Fail(Reason::WrongPortalReply, NameOf(method_) + ": " + what, true);
}

PortalSteps::Action PortalSteps::Responded(const std::string& requestPath, std::uint32_t code,
                                           const PortalResults& results) {
  if (!Asking() || step_ == Step::OpeningPipeWire || requestPath != requestPath_) return {};
  if (code == 2 && step_ == Step::Creating && backendStarted_ && !askedAgain_) {
    askedAgain_ = true;
    Action again = Call(Step::Creating, Method::CreateSession);
    again.delayMs = kBackendSettleMs;
    return again;
  }
  if (code == 1) return Fail(Reason::AccessRefused, {}, true);
  if (code != 0) return Fail(Reason::AccessInterrupted, {}, true);
  if (!results.wrongShape.empty())
    return Fail(Reason::WrongPortalReply,
                "the Response of " + NameOf(method_) + ": " + results.wrongShape, true);
  switch (step_) {
    case Step::Creating:
      session_ = results.sessionHandle;
      if (session_.empty()) return Fail(Reason::PortalError, "CreateSession: no session", false);
      return Call(Step::SelectingDevices, Method::SelectDevices);
    case Step::SelectingDevices: return Call(Step::SelectingSources, Method::SelectSources);
    case Step::SelectingSources: return Call(Step::Starting, Method::Start);
    case Step::Starting:
      if (!(results.devices & kPointerDevice) || results.streams.empty())
        return Fail(Reason::NoPointerOrMonitor, {}, true);
      streams_ = results.streams;
      return Call(Step::OpeningPipeWire, Method::OpenPipeWireRemote);
    default: return {};
  }
}

// Closed by the desktop: nothing left to close.
PortalSteps::Action PortalSteps::Closed(const std::string& sessionPath) {
  if (step_ == Step::Idle || sessionPath.empty() || sessionPath != session_) return {};
  return Fail(Reason::AccessEnded, {}, false);
}

// The portal's sessions go with it; a backend's session is still held by
// the portal, which is told to close it.
PortalSteps::Action PortalSteps::ServiceGone(const std::string& name) {
  if (step_ == Step::Idle) return {};
  if (name == kService) return Fail(Reason::PortalGone, name, false);
  if (backends_.count(name)) return Fail(Reason::PortalGone, name, true);
  return {};
}

PortalSteps::Action PortalSteps::InputFailed(const std::string& error) {
  if (step_ != Step::Running) return {};
  return Fail(Reason::PortalError, error, true);
}

PortalSteps::Action PortalSteps::InputTimedOut(const std::string& method) {
  if (step_ != Step::Running) return {};
  return Fail(Reason::PortalTimedOut, method, true);
}

PortalSteps::Action PortalSteps::Fail(Reason reason, std::string detail, bool sessionLives) {
  Action a;
  a.kind = Action::Kind::Ended;
  a.why = {reason, std::move(detail), {}};
  a.close = End();
  if (!sessionLives) a.close.clear();
  return a;
}

std::string PortalSteps::End() {
  std::string open = std::move(session_);
  session_.clear();
  requestPath_.clear();
  streams_.clear();
  backends_.clear();
  step_ = Step::Idle;
  return open;
}
