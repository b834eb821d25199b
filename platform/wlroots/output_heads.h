#pragma once
// What wlr-output-management tells of each output ("head"): its name and
// the scale the compositor shows it at, which nothing else tells but to
// whole units (wl_output) or through sizes cut to whole units
// (xdg-output). sway, phoc and most of the wlroots family offer it.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct wl_registry;
struct zwlr_output_manager_v1;

class OutputHeads {
 public:
  // Binds the manager global `name`; onDone runs each time the compositor
  // has told a change in full.
  OutputHeads(wl_registry* registry, std::uint32_t name, std::uint32_t version,
              std::function<void()> onDone);
  ~OutputHeads();
  OutputHeads(const OutputHeads&) = delete;
  OutputHeads& operator=(const OutputHeads&) = delete;

  // The scale of the enabled head of that name as last told in full, in
  // the 256ths the protocol carries it in; 0 when there is none.
  double ScaleOf(const std::string& output) const;

  // What the compositor's events do.
  struct Head;
  void Added(struct zwlr_output_head_v1* head);
  void Finished(Head* head);
  void Done();

 private:
  zwlr_output_manager_v1* manager_ = nullptr;
  std::vector<std::unique_ptr<Head>> heads_;
  std::map<std::string, double> scales_;
  std::function<void()> onDone_;
};
