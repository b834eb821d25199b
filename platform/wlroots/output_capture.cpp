#include "platform/wlroots/output_capture.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "platform/wlroots/wayland_client.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace {

// What the compositor said about one frame.
struct FrameState {
  bool shmOffered = false, described = false, ready = false, failed = false;
  std::uint32_t format = 0, width = 0, height = 0, stride = 0, flags = 0;
};

const zwlr_screencopy_frame_v1_listener kFrameListener = {
    .buffer =
        [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t format, std::uint32_t width,
           std::uint32_t height, std::uint32_t stride) {
          auto* s = static_cast<FrameState*>(data);
          s->shmOffered = true;
          s->format = format;
          s->width = width;
          s->height = height;
          s->stride = stride;
        },
    .flags = [](void* data, zwlr_screencopy_frame_v1*,
                std::uint32_t flags) { static_cast<FrameState*>(data)->flags = flags; },
    .ready = [](void* data, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t,
                std::uint32_t) { static_cast<FrameState*>(data)->ready = true; },
    .failed = [](void* data,
                 zwlr_screencopy_frame_v1*) { static_cast<FrameState*>(data)->failed = true; },
    .damage = [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t, std::uint32_t,
                 std::uint32_t) {},
    .linux_dmabuf = [](void*, zwlr_screencopy_frame_v1*, std::uint32_t, std::uint32_t,
                       std::uint32_t) {},
    .buffer_done =
        [](void* data, zwlr_screencopy_frame_v1*) {
          static_cast<FrameState*>(data)->described = true;
        },
};

}  // namespace

OutputCapture::~OutputCapture() { Release(); }

void OutputCapture::Release() {
  if (pool_) wl_shm_pool_destroy(pool_);
  if (data_) munmap(data_, size_);
  if (fd_ >= 0) close(fd_);
  pool_ = nullptr;
  data_ = nullptr;
  fd_ = -1;
  size_ = 0;
}

// The pool only grows, so reads of changing sizes reuse one mapping.
bool OutputCapture::Reserve(WaylandClient& client, std::size_t bytes) {
  if (pool_ && bytes <= size_) return true;
  if (fd_ < 0) {
    fd_ = memfd_create("colorclicker-screen", MFD_CLOEXEC);
    if (fd_ < 0) return false;
  }
  if (ftruncate(fd_, off_t(bytes)) != 0) return false;
  void* data = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (data == MAP_FAILED) return false;
  if (data_) munmap(data_, size_);
  data_ = data;
  if (pool_)
    wl_shm_pool_resize(pool_, std::int32_t(bytes));
  else
    pool_ = wl_shm_create_pool(client.shm(), fd_, std::int32_t(bytes));
  size_ = bytes;
  return true;
}

OutputCapture::Result OutputCapture::Copy(WaylandClient& client, int output, std::int32_t x,
                                          std::int32_t y, std::int32_t width, std::int32_t height,
                                          int timeoutMs) {
  width_ = height_ = 0;
  if (client.Silent()) return Result::Failed;
  FrameState state;
  wl_output* shown = client.OutputOf(output);
  zwlr_screencopy_frame_v1* frame =
      width > 0 ? zwlr_screencopy_manager_v1_capture_output_region(client.screencopy(), 0, shown, x,
                                                                   y, width, height)
                : zwlr_screencopy_manager_v1_capture_output(client.screencopy(), 0, shown);
  zwlr_screencopy_frame_v1_add_listener(frame, &kFrameListener, &state);
  const WaylandClient::Awaited awaited{Reason::AwaitedScreenCopy, client.OutputName(output)};
  // Version 3 lists every buffer type before buffer_done; older ones offer
  // only shared memory.
  const bool listsAll = client.screencopyVersion() >= 3;
  Result result = Result::Failed;
  wl_buffer* buffer = nullptr;
  if (client.WaitFor(
          [&] { return state.failed || (listsAll ? state.described : state.shmOffered); },
          timeoutMs, awaited) &&
      !state.failed) {
    if (!state.shmOffered) {
      result = Result::NoSharedMemory;
    } else if (LayoutOf(state.format) == CopyLayout::Unreadable) {
      result = Result::Unreadable;
      format_ = state.format;
    } else if (state.width > 0 && state.height > 0 && state.stride >= state.width * 4 &&
               state.width <= 1u << 15 && state.height <= 1u << 15 &&
               Reserve(client, std::size_t(state.stride) * state.height)) {
      buffer =
          wl_shm_pool_create_buffer(pool_, 0, std::int32_t(state.width), std::int32_t(state.height),
                                    std::int32_t(state.stride), state.format);
      zwlr_screencopy_frame_v1_copy(frame, buffer);
      if (client.WaitFor([&] { return state.ready || state.failed; }, timeoutMs, awaited) &&
          state.ready)
        result = Result::Copied;
    }
  }
  zwlr_screencopy_frame_v1_destroy(frame);
  if (buffer) wl_buffer_destroy(buffer);
  client.Flush();
  if (result != Result::Copied) return result;
  layout_ = LayoutOf(state.format);
  format_ = state.format;
  width_ = std::int32_t(state.width);
  height_ = std::int32_t(state.height);
  stride_ = state.stride;
  yInvert_ = state.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
  return result;
}
