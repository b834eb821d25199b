#include "ui/form_handlers.h"

#include <cstdlib>

namespace {
struct Wiring {
  ControlId control;
  FormEvent event;
  void (FormHandlers::*handler)();
};

// Button3 has no click handler: its capture happens on the release alone.
// A plain click on Button1 or Button2 runs both of its handlers.
constexpr Wiring kWiring[] = {
    {ControlId::Button1, FormEvent::Click, &FormHandlers::Button1Click},
    {ControlId::Button1, FormEvent::MouseUp, &FormHandlers::Button1MouseUp},
    {ControlId::Button2, FormEvent::Click, &FormHandlers::Button2Click},
    {ControlId::Button2, FormEvent::MouseUp, &FormHandlers::Button2MouseUp},
    {ControlId::Button3, FormEvent::MouseUp, &FormHandlers::Button3MouseUp},
    {ControlId::Button3, FormEvent::KeyUp, &FormHandlers::Button3KeyUp},
    {ControlId::Button4, FormEvent::Click, &FormHandlers::Button4Click},
};

const Wiring* Find(ControlId control, FormEvent event) {
  for (const Wiring& w : kWiring)
    if (w.control == control && w.event == event) return &w;
  return nullptr;
}
}  // namespace

FormHandlers::FormHandlers(std::function<void(const Exception&)> showException)
    : showException_(std::move(showException)) {}

FormHandlers::~FormHandlers() = default;

void FormHandlers::BindTracker(Desktop& desktop, const TrackingControls& controls) {
  tracker_ = std::make_unique<Tracker>(desktop, controls);
}

void FormHandlers::Begin(Desktop& desktop, TellUser tellUser) {
  if (std::getenv("COLORCLICKER_LOG_PASSES")) passLog_ = stderr;
  tracker_->TellUserWith(tellUser);
  desktop.Start(std::move(tellUser));
}

bool FormHandlers::Wired(ControlId control, FormEvent event) {
  return Find(control, event) != nullptr;
}

bool FormHandlers::Dispatch(ControlId control, FormEvent event) {
  const Wiring* w = Find(control, event);
  if (!w) return false;
  (this->*(w->handler))();
  return true;
}

template <class Handler>
void FormHandlers::Guarded(Handler&& handler) {
  RunGuarded(handler, showException_);
}

void FormHandlers::Button1Click() {
  Guarded([this] { tracker_->CaptureTopLeft(); });
}
void FormHandlers::Button2Click() {
  Guarded([this] { tracker_->CaptureBottomRight(); });
}
void FormHandlers::Button1MouseUp() {
  Guarded([this] { tracker_->CaptureTopLeft(); });
}
void FormHandlers::Button2MouseUp() {
  Guarded([this] { tracker_->CaptureBottomRight(); });
}
void FormHandlers::Button3MouseUp() {
  Guarded([this] { tracker_->CaptureColor(); });
}
void FormHandlers::Button3KeyUp() {
  Guarded([this] { tracker_->CaptureColor(); });
}
void FormHandlers::Button4Click() {
  Guarded([this] { tracker_->StartTracking(); });
}

void FormHandlers::Timer1Timer() {
  Guarded([this] {
    const PassReport report = tracker_->ScanPass();
    if (!passLog_) return;
    std::fprintf(passLog_, "colorclicker: pass %ld: %d clicked, %d skipped\n", ++passes_,
                 report.clicks, report.skipped);
    std::fflush(passLog_);
  });
}
