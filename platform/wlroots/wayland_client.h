#pragma once
// A connection to a Wayland compositor with the globals the wlroots
// desktop needs, and its outputs with their place in the layout.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/notice.h"
#include "platform/screen_layout.h"

struct wl_callback;
struct wl_display;
struct wl_registry;
struct wl_shm;
struct wl_seat;
struct wl_output;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwlr_screencopy_manager_v1;
struct zwlr_virtual_pointer_manager_v1;
class OutputHeads;

class WaylandClient {
 public:
  // Connects and asks what the compositor offers, without waiting for
  // the answer: Ready() tells when it has come. Null when no compositor
  // listens at $WAYLAND_DISPLAY.
  static std::unique_ptr<WaylandClient> Open();
  // Open, and at most timeoutMs for the answer; null without one.
  static std::unique_ptr<WaylandClient> Connect(int timeoutMs);
  ~WaylandClient();
  WaylandClient(const WaylandClient&) = delete;
  WaylandClient& operator=(const WaylandClient&) = delete;

  // Whether the compositor has told its globals and what its outputs are.
  bool Ready() const { return handshake_ == Handshake::Done; }
  // The protocols the desktop needs that this compositor lacks.
  std::vector<std::string> Missing() const;

  // What a wait is for, as the user is told when no answer comes in time:
  // Reason::Awaited..., and what it names.
  struct Awaited {
    Reason what;
    std::string_view detail;
  };
  // Handles whatever has arrived, without waiting. False once the
  // connection is broken.
  bool TakeEvents();
  // Sends what is queued and handles events until `done` holds; false when
  // timeoutMs pass first or the connection breaks. Once a wait has run
  // out, the compositor counts as silent until it answers again, and
  // waits give up at once: a hung compositor holds the caller once.
  bool WaitFor(const std::function<bool()>& done, int timeoutMs, const Awaited& awaited);
  // Whether a wait ran out and the compositor has not answered since:
  // then nothing more is asked of it, which it would not answer either.
  bool Silent();
  // Sends what is queued; false once the connection is broken.
  bool Flush();
  // Sends what is queued and handles events until the compositor has
  // answered all of it; as WaitFor.
  bool Roundtrip(int timeoutMs, const Awaited& awaited);
  // Waits that ran out since last asked: each thing waited for comes once,
  // and again only after a wait for it was answered in between.
  std::vector<Notice> TakeUnanswered();
  // 0 while usable, else the errno the connection broke with (EPROTO for
  // a protocol error).
  int Error() const;
  int Fd() const;

  // The outputs as last reported; rebuilt when one changes. Where outputs
  // overlap, the one announced last comes last, as the compositor shows
  // the pointer there (wlroots puts an output added to its layout first
  // in line).
  const ScreenLayout& Layout() const { return layout_; }
  // Bumped whenever the compositor says anything of an output, even
  // before the change is complete and Layout() takes it.
  std::uint64_t LayoutGeneration() const { return layoutGeneration_; }
  wl_output* OutputOf(int layoutIndex) const;
  // The output's global name, which no other output of this connection
  // ever has.
  std::uint32_t NameOf(int layoutIndex) const;
  // The output's own name ("HDMI-A-1"), as the compositor tells it.
  const std::string& OutputName(int layoutIndex) const;
  // How the output turns or mirrors the picture (enum wl_output_transform).
  int TransformOf(int layoutIndex) const;
  // The output's refresh interval in ms (60 Hz when it does not say).
  double FramePeriodMs(int layoutIndex) const;

  wl_display* display() const { return display_; }
  wl_shm* shm() const { return shm_; }
  zwlr_screencopy_manager_v1* screencopy() const { return screencopy_; }
  std::uint32_t screencopyVersion() const { return screencopyVersion_; }
  zwlr_virtual_pointer_manager_v1* pointerManager() const { return pointerManager_; }
  wl_seat* seat() const { return seat_; }

  struct Output;

 private:
  enum class Handshake { Globals, Outputs, Done };
  WaylandClient() = default;
  static void OnGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version);
  static void OnGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
  void AddOutput(std::uint32_t name, std::uint32_t version);
  void WatchOutput(Output& output);
  void RebuildLayout();
  void Sync();
  void Answered(const Awaited& awaited);
  void RanOut(const Awaited& awaited);

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_shm* shm_ = nullptr;
  wl_seat* seat_ = nullptr;
  zxdg_output_manager_v1* xdgOutputs_ = nullptr;
  std::uint32_t xdgOutputsVersion_ = 0;
  zwlr_screencopy_manager_v1* screencopy_ = nullptr;
  std::uint32_t screencopyVersion_ = 0;
  zwlr_virtual_pointer_manager_v1* pointerManager_ = nullptr;
  std::unique_ptr<OutputHeads> heads_;
  std::vector<std::unique_ptr<Output>> outputs_;
  // Parallel to layout_.Outputs().
  std::vector<Output*> placed_;
  ScreenLayout layout_;
  std::uint64_t layoutGeneration_ = 0;

  Handshake handshake_ = Handshake::Globals;
  wl_callback* handshakeSync_ = nullptr;
  // Since a wait ran out: a round trip sent to learn when the compositor
  // answers again.
  wl_callback* silenceProbe_ = nullptr;
  // What was waited for in vain and not answered since, and what of it the
  // caller has not been told yet.
  std::vector<Notice> unanswered_, untold_;
};
