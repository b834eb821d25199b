#include "platform/wlroots/wayland_client.h"

#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/wlroots/output_heads.h"
#include "wlr-output-management-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

// What one output reported; `current` takes `pending` on every done event,
// so a change reaches the layout as a whole.
struct WaylandClient::Output {
  WaylandClient* client = nullptr;
  std::uint32_t name = 0;
  std::string outputName;
  wl_output* output = nullptr;
  zxdg_output_v1* xdg = nullptr;
  std::int32_t modeWidth = 0, modeHeight = 0, refreshMhz = 0, transform = 0, wholeScale = 0;
  std::int32_t logicalX = 0, logicalY = 0, logicalWidth = 0, logicalHeight = 0;
  OutputGeometry current;
  std::int32_t currentTransform = 0;

  ~Output() {
    if (xdg) zxdg_output_v1_destroy(xdg);
    if (output) wl_output_destroy(output);
  }

  // Anything the compositor says of an output may be part of a change.
  void Changed() { ++client->layoutGeneration_; }

  void Apply() {
    const bool sideways = transform % 2 == 1;
    OutputGeometry g;
    g.logicalX = logicalX;
    g.logicalY = logicalY;
    g.logicalWidth = logicalWidth;
    g.logicalHeight = logicalHeight;
    g.pixelWidth = sideways ? modeHeight : modeWidth;
    g.pixelHeight = sideways ? modeWidth : modeHeight;
    g.cutSizes = true;
    g.scaleCeiling = wholeScale;
    currentTransform = transform;
    current = g;
    client->RebuildLayout();
  }
};

namespace {

const wl_output_listener kOutputListener = {
    .geometry =
        [](void* data, wl_output*, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
           std::int32_t, const char*, const char*, std::int32_t transform) {
          auto* o = static_cast<WaylandClient::Output*>(data);
          o->transform = transform;
          o->Changed();
        },
    .mode =
        [](void* data, wl_output*, std::uint32_t flags, std::int32_t width, std::int32_t height,
           std::int32_t refresh) {
          auto* o = static_cast<WaylandClient::Output*>(data);
          o->Changed();
          if (!(flags & WL_OUTPUT_MODE_CURRENT)) return;
          o->modeWidth = width;
          o->modeHeight = height;
          o->refreshMhz = refresh;
        },
    .done = [](void* data, wl_output*) { static_cast<WaylandClient::Output*>(data)->Apply(); },
    .scale =
        [](void* data, wl_output*, std::int32_t factor) {
          auto* o = static_cast<WaylandClient::Output*>(data);
          o->wholeScale = factor;
          o->Changed();
        },
    .name = [](void* data, wl_output*,
               const char* name) { static_cast<WaylandClient::Output*>(data)->outputName = name; },
    .description = [](void*, wl_output*, const char*) {},
};

const zxdg_output_v1_listener kXdgOutputListener = {
    .logical_position =
        [](void* data, zxdg_output_v1*, std::int32_t x, std::int32_t y) {
          auto* o = static_cast<WaylandClient::Output*>(data);
          o->logicalX = x;
          o->logicalY = y;
          o->Changed();
        },
    .logical_size =
        [](void* data, zxdg_output_v1*, std::int32_t width, std::int32_t height) {
          auto* o = static_cast<WaylandClient::Output*>(data);
          o->logicalWidth = width;
          o->logicalHeight = height;
          o->Changed();
        },
    // Sent only before version 3, where wl_output.done does not cover these.
    .done = [](void* data, zxdg_output_v1*) { static_cast<WaylandClient::Output*>(data)->Apply(); },
    .name = [](void* data, zxdg_output_v1*,
               const char* name) { static_cast<WaylandClient::Output*>(data)->outputName = name; },
    .description = [](void*, zxdg_output_v1*, const char*) {},
};

}  // namespace

void WaylandClient::OnGlobal(void* data, wl_registry* registry, std::uint32_t name,
                             const char* interface, std::uint32_t version) {
  auto* self = static_cast<WaylandClient*>(data);
  auto bind = [&](const wl_interface* type, std::uint32_t highest) {
    return wl_registry_bind(registry, name, type, std::min(version, highest));
  };
  // Versions capped at the newest this code knows.
  if (std::strcmp(interface, wl_shm_interface.name) == 0) {
    self->shm_ = static_cast<wl_shm*>(bind(&wl_shm_interface, 1));
  } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->seat_) {
    self->seat_ = static_cast<wl_seat*>(bind(&wl_seat_interface, 1));
  } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
    self->AddOutput(name, version);
  } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
    self->xdgOutputsVersion_ = std::min(version, 3u);
    self->xdgOutputs_ =
        static_cast<zxdg_output_manager_v1*>(bind(&zxdg_output_manager_v1_interface, 3));
    for (auto& output : self->outputs_) self->WatchOutput(*output);
  } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0) {
    self->screencopyVersion_ = std::min(version, 3u);
    self->screencopy_ =
        static_cast<zwlr_screencopy_manager_v1*>(bind(&zwlr_screencopy_manager_v1_interface, 3));
  } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
    self->pointerManager_ = static_cast<zwlr_virtual_pointer_manager_v1*>(
        bind(&zwlr_virtual_pointer_manager_v1_interface, 2));
  } else if (std::strcmp(interface, zwlr_output_manager_v1_interface.name) == 0 && !self->heads_) {
    self->heads_ =
        std::make_unique<OutputHeads>(registry, name, version, [self] { self->RebuildLayout(); });
  }
}

void WaylandClient::OnGlobalRemove(void* data, wl_registry*, std::uint32_t name) {
  auto* self = static_cast<WaylandClient*>(data);
  for (auto it = self->outputs_.begin(); it != self->outputs_.end(); ++it)
    if ((*it)->name == name) {
      self->outputs_.erase(it);
      self->RebuildLayout();
      return;
    }
}

void WaylandClient::AddOutput(std::uint32_t name, std::uint32_t version) {
  auto output = std::make_unique<Output>();
  output->client = this;
  output->name = name;
  // Until it tells its own.
  output->outputName = "wl_output " + std::to_string(name);
  output->output = static_cast<wl_output*>(
      wl_registry_bind(registry_, name, &wl_output_interface, std::min(version, 4u)));
  wl_output_add_listener(output->output, &kOutputListener, output.get());
  WatchOutput(*output);
  outputs_.push_back(std::move(output));
  ++layoutGeneration_;
}

void WaylandClient::WatchOutput(Output& output) {
  if (!xdgOutputs_ || output.xdg) return;
  output.xdg = zxdg_output_manager_v1_get_xdg_output(xdgOutputs_, output.output);
  zxdg_output_v1_add_listener(output.xdg, &kXdgOutputListener, &output);
}

void WaylandClient::RebuildLayout() {
  std::vector<OutputGeometry> geometries;
  placed_.clear();
  for (auto& output : outputs_)
    if (ScreenLayout::HasSize(output->current)) {
      geometries.push_back(output->current);
      if (heads_) geometries.back().toldScale = heads_->ScaleOf(output->outputName);
      placed_.push_back(output.get());
    }
  layout_ = ScreenLayout(geometries);
  ++layoutGeneration_;
}

// Two round trips: the first brings the globals, the second what the
// outputs, bound on the first, say of themselves.
void WaylandClient::Sync() {
  static const wl_callback_listener listener = {
      [](void* data, wl_callback* callback, std::uint32_t) {
        auto* self = static_cast<WaylandClient*>(data);
        wl_callback_destroy(callback);
        self->handshakeSync_ = nullptr;
        self->handshake_ =
            self->handshake_ == Handshake::Globals ? Handshake::Outputs : Handshake::Done;
        if (self->handshake_ != Handshake::Done) self->Sync();
      }};
  handshakeSync_ = wl_display_sync(display_);
  wl_callback_add_listener(handshakeSync_, &listener, this);
}

std::unique_ptr<WaylandClient> WaylandClient::Open() {
  std::unique_ptr<WaylandClient> client(new WaylandClient);
  client->display_ = wl_display_connect(nullptr);
  if (!client->display_) return nullptr;
  static const wl_registry_listener listener = {&OnGlobal, &OnGlobalRemove};
  client->registry_ = wl_display_get_registry(client->display_);
  wl_registry_add_listener(client->registry_, &listener, client.get());
  client->Sync();
  return client->Flush() ? std::move(client) : nullptr;
}

std::unique_ptr<WaylandClient> WaylandClient::Connect(int timeoutMs) {
  std::unique_ptr<WaylandClient> client = Open();
  if (!client ||
      !client->WaitFor([&] { return client->Ready(); }, timeoutMs, {Reason::AwaitedOutputs, {}}))
    return nullptr;
  return client;
}

WaylandClient::~WaylandClient() {
  if (handshakeSync_) wl_callback_destroy(handshakeSync_);
  if (silenceProbe_) wl_callback_destroy(silenceProbe_);
  heads_.reset();
  outputs_.clear();
  if (pointerManager_) zwlr_virtual_pointer_manager_v1_destroy(pointerManager_);
  if (screencopy_) zwlr_screencopy_manager_v1_destroy(screencopy_);
  if (xdgOutputs_) zxdg_output_manager_v1_destroy(xdgOutputs_);
  if (seat_) wl_seat_destroy(seat_);
  if (shm_) wl_shm_destroy(shm_);
  if (registry_) wl_registry_destroy(registry_);
  if (display_) wl_display_disconnect(display_);
}

std::vector<std::string> WaylandClient::Missing() const {
  std::vector<std::string> missing;
  if (!screencopy_) missing.push_back(zwlr_screencopy_manager_v1_interface.name);
  if (!pointerManager_) missing.push_back(zwlr_virtual_pointer_manager_v1_interface.name);
  if (!xdgOutputs_) missing.push_back(zxdg_output_manager_v1_interface.name);
  if (!shm_) missing.push_back(wl_shm_interface.name);
  return missing;
}

bool WaylandClient::TakeEvents() {
  if (wl_display_dispatch_pending(display_) < 0) return false;
  while (wl_display_prepare_read(display_) != 0)
    if (wl_display_dispatch_pending(display_) < 0) return false;
  pollfd p{wl_display_get_fd(display_), POLLIN, 0};
  if (poll(&p, 1, 0) > 0) {
    if (wl_display_read_events(display_) < 0) return false;
  } else {
    wl_display_cancel_read(display_);
  }
  return wl_display_dispatch_pending(display_) >= 0 && Flush();
}

bool WaylandClient::Flush() { return wl_display_flush(display_) >= 0 || errno == EAGAIN; }

bool WaylandClient::WaitFor(const std::function<bool()>& done, int timeoutMs,
                            const Awaited& awaited) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  // Silent: only what has come already.
  const bool silent = Silent();
  for (;;) {
    if (wl_display_dispatch_pending(display_) < 0) return false;
    if (done()) {
      Answered(awaited);
      return true;
    }
    if (wl_display_prepare_read(display_) != 0) continue;
    if (!Flush()) {
      wl_display_cancel_read(display_);
      return false;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    const int ready = left > 0 && !silent ? poll(&p, 1, int(left) + 1) : 0;
    if (ready <= 0) {
      wl_display_cancel_read(display_);
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0 && !silent) RanOut(awaited);
      return false;
    }
    if (wl_display_read_events(display_) < 0) return false;
  }
}

// From the first wait that ran out until the compositor answers a round
// trip sent then.
void WaylandClient::RanOut(const Awaited& awaited) {
  if (!silenceProbe_) {
    static const wl_callback_listener listener = {
        [](void* data, wl_callback* callback, std::uint32_t) {
          wl_callback_destroy(callback);
          static_cast<WaylandClient*>(data)->silenceProbe_ = nullptr;
        }};
    silenceProbe_ = wl_display_sync(display_);
    wl_callback_add_listener(silenceProbe_, &listener, this);
    Flush();
  }
  const auto same = [&](const Notice& n) {
    return n.reason == awaited.what && n.detail == awaited.detail;
  };
  if (std::any_of(unanswered_.begin(), unanswered_.end(), same)) return;
  unanswered_.push_back({awaited.what, std::string(awaited.detail), {}});
  untold_.push_back(unanswered_.back());
}

void WaylandClient::Answered(const Awaited& awaited) {
  if (unanswered_.empty()) return;
  unanswered_.erase(std::remove_if(unanswered_.begin(), unanswered_.end(),
                                   [&](const Notice& n) {
                                     return n.reason == awaited.what && n.detail == awaited.detail;
                                   }),
                    unanswered_.end());
}

bool WaylandClient::Silent() {
  if (silenceProbe_) TakeEvents();
  return silenceProbe_ != nullptr;
}

std::vector<Notice> WaylandClient::TakeUnanswered() { return std::exchange(untold_, {}); }

bool WaylandClient::Roundtrip(int timeoutMs, const Awaited& awaited) {
  if (Silent()) return false;
  bool done = false;
  static const wl_callback_listener listener = {
      [](void* data, wl_callback* callback, std::uint32_t) {
        if (data) *static_cast<bool*>(data) = true;
        wl_callback_destroy(callback);
      }};
  wl_callback* callback = wl_display_sync(display_);
  wl_callback_add_listener(callback, &listener, &done);
  if (WaitFor([&] { return done; }, timeoutMs, awaited)) return true;
  // Not answered: the callback may still come, and must find nothing.
  wl_callback_set_user_data(callback, nullptr);
  return false;
}

int WaylandClient::Error() const { return wl_display_get_error(display_); }

int WaylandClient::Fd() const { return wl_display_get_fd(display_); }

wl_output* WaylandClient::OutputOf(int layoutIndex) const {
  return placed_.at(static_cast<std::size_t>(layoutIndex))->output;
}

std::uint32_t WaylandClient::NameOf(int layoutIndex) const {
  return placed_.at(static_cast<std::size_t>(layoutIndex))->name;
}

const std::string& WaylandClient::OutputName(int layoutIndex) const {
  return placed_.at(static_cast<std::size_t>(layoutIndex))->outputName;
}

int WaylandClient::TransformOf(int layoutIndex) const {
  return placed_.at(static_cast<std::size_t>(layoutIndex))->currentTransform;
}

double WaylandClient::FramePeriodMs(int layoutIndex) const {
  const std::int32_t mhz = placed_.at(static_cast<std::size_t>(layoutIndex))->refreshMhz;
  return mhz > 0 ? 1e6 / mhz : 1000.0 / 60;
}
