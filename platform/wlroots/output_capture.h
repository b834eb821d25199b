#pragma once
// A region of one output copied by wlr-screencopy into shared memory that
// is kept for the next copy.
#include <cstddef>
#include <cstdint>

#include "platform/desktop.h"
#include "platform/wlroots/copy_format.h"

class WaylandClient;
struct wl_shm_pool;

class OutputCapture {
 public:
  OutputCapture() = default;
  ~OutputCapture();
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  enum class Result {
    Copied,
    Failed,          // refused, failed, or not done within the time given
    NoSharedMemory,  // the compositor offers the copy in no wl_shm buffer
    Unreadable,      // only in a format this cannot read: Format() tells
  };
  // Copies the region (output-local logical units; the whole output when
  // width is 0) as the output shows it next, without the cursor, waiting
  // at most timeoutMs for each answer. `output` names it in what the
  // client tells of an answer that does not come.
  Result Copy(WaylandClient& client, int output, std::int32_t x, std::int32_t y, std::int32_t width,
              std::int32_t height, int timeoutMs);

  // After a copy: the size in physical pixels and a pixel as COLORREF.
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  std::uint32_t Format() const { return format_; }
  Colorref Pixel(std::int32_t column, std::int32_t row) const {
    if (yInvert_) row = height_ - 1 - row;
    return ToColorref(layout_, *reinterpret_cast<const std::uint32_t*>(
                                   static_cast<const unsigned char*>(data_) +
                                   std::size_t(row) * stride_ + std::size_t(column) * 4));
  }

 private:
  bool Reserve(WaylandClient& client, std::size_t bytes);
  void Release();

  int fd_ = -1;
  void* data_ = nullptr;
  std::size_t size_ = 0;
  wl_shm_pool* pool_ = nullptr;
  CopyLayout layout_ = CopyLayout::Unreadable;
  std::uint32_t format_ = 0;
  std::int32_t width_ = 0, height_ = 0;
  std::uint32_t stride_ = 0;
  bool yInvert_ = false;
};
