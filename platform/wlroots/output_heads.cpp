#include "platform/wlroots/output_heads.h"

#include <wayland-client.h>

#include <algorithm>

#include "wlr-output-management-unstable-v1-client-protocol.h"

// A head's properties as told so far; they count once the manager's done
// event has come.
struct OutputHeads::Head {
  OutputHeads* heads = nullptr;
  zwlr_output_head_v1* head = nullptr;
  std::string name;
  bool enabled = false;
  double scale = 0;
  // Modes come as objects of their own, which go with their head.
  std::vector<zwlr_output_mode_v1*> modes;

  ~Head() {
    for (zwlr_output_mode_v1* mode : modes) zwlr_output_mode_v1_destroy(mode);
    zwlr_output_head_v1_destroy(head);
  }
};

namespace {

using Head = OutputHeads::Head;

const zwlr_output_mode_v1_listener kModeListener = {
    .size = [](void*, zwlr_output_mode_v1*, std::int32_t, std::int32_t) {},
    .refresh = [](void*, zwlr_output_mode_v1*, std::int32_t) {},
    .preferred = [](void*, zwlr_output_mode_v1*) {},
    .finished =
        [](void* data, zwlr_output_mode_v1* mode) {
          auto& modes = static_cast<Head*>(data)->modes;
          modes.erase(std::remove(modes.begin(), modes.end(), mode), modes.end());
          zwlr_output_mode_v1_destroy(mode);
        },
};

const zwlr_output_head_v1_listener kHeadListener = {
    .name = [](void* data, zwlr_output_head_v1*,
               const char* name) { static_cast<Head*>(data)->name = name; },
    .description = [](void*, zwlr_output_head_v1*, const char*) {},
    .physical_size = [](void*, zwlr_output_head_v1*, std::int32_t, std::int32_t) {},
    .mode =
        [](void* data, zwlr_output_head_v1*, zwlr_output_mode_v1* mode) {
          auto* head = static_cast<Head*>(data);
          head->modes.push_back(mode);
          zwlr_output_mode_v1_add_listener(mode, &kModeListener, head);
        },
    .enabled = [](void* data, zwlr_output_head_v1*,
                  std::int32_t enabled) { static_cast<Head*>(data)->enabled = enabled != 0; },
    .current_mode = [](void*, zwlr_output_head_v1*, zwlr_output_mode_v1*) {},
    .position = [](void*, zwlr_output_head_v1*, std::int32_t, std::int32_t) {},
    .transform = [](void*, zwlr_output_head_v1*, std::int32_t) {},
    .scale = [](void* data, zwlr_output_head_v1*,
                wl_fixed_t scale) { static_cast<Head*>(data)->scale = wl_fixed_to_double(scale); },
    // The head is gone; the next done event leaves it out.
    .finished =
        [](void* data, zwlr_output_head_v1*) {
          auto* head = static_cast<Head*>(data);
          head->heads->Finished(head);
        },
    .make = [](void*, zwlr_output_head_v1*, const char*) {},
    .model = [](void*, zwlr_output_head_v1*, const char*) {},
    .serial_number = [](void*, zwlr_output_head_v1*, const char*) {},
};

const zwlr_output_manager_v1_listener kManagerListener = {
    .head = [](void* data, zwlr_output_manager_v1*,
               zwlr_output_head_v1* head) { static_cast<OutputHeads*>(data)->Added(head); },
    .done = [](void* data, zwlr_output_manager_v1*,
               std::uint32_t) { static_cast<OutputHeads*>(data)->Done(); },
    .finished = [](void*, zwlr_output_manager_v1*) {},
};

}  // namespace

OutputHeads::OutputHeads(wl_registry* registry, std::uint32_t name, std::uint32_t version,
                         std::function<void()> onDone)
    : onDone_(std::move(onDone)) {
  // Version 2 adds only words about the monitor.
  manager_ = static_cast<zwlr_output_manager_v1*>(
      wl_registry_bind(registry, name, &zwlr_output_manager_v1_interface, std::min(version, 2u)));
  zwlr_output_manager_v1_add_listener(manager_, &kManagerListener, this);
}

OutputHeads::~OutputHeads() {
  heads_.clear();
  zwlr_output_manager_v1_destroy(manager_);
}

void OutputHeads::Added(zwlr_output_head_v1* proxy) {
  auto head = std::make_unique<Head>();
  head->heads = this;
  head->head = proxy;
  zwlr_output_head_v1_add_listener(proxy, &kHeadListener, head.get());
  heads_.push_back(std::move(head));
}

void OutputHeads::Finished(Head* head) {
  heads_.erase(
      std::find_if(heads_.begin(), heads_.end(), [&](const auto& h) { return h.get() == head; }));
}

void OutputHeads::Done() {
  scales_.clear();
  for (const auto& head : heads_)
    if (head->enabled && head->scale > 0 && !head->name.empty()) scales_[head->name] = head->scale;
  if (onDone_) onDone_();
}

double OutputHeads::ScaleOf(const std::string& output) const {
  const auto found = scales_.find(output);
  return found == scales_.end() ? 0 : found->second;
}
