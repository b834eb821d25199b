#pragma once
// A region of one output copied by wlr-screencopy into shared memory that
// is kept for the next copy.
#include <cstddef>
#include <cstdint>

#include "platform/desktop.h"

class WaylandClient;
struct wl_output;
struct wl_shm_pool;

class OutputCapture {
 public:
  OutputCapture() = default;
  ~OutputCapture();
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  // Copies the region (output-local logical units; the whole output when
  // width is 0) as the output shows it next, without the cursor. False when
  // refused, failed or not done within timeoutMs.
  bool Copy(WaylandClient& client, wl_output* output, std::int32_t x, std::int32_t y,
            std::int32_t width, std::int32_t height, int timeoutMs);

  // After a successful Copy: the size in physical pixels and a pixel as
  // COLORREF, CLR_INVALID in a format this does not know.
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }
  Colorref Pixel(std::int32_t column, std::int32_t row) const {
    if (yInvert_) row = height_ - 1 - row;
    const std::uint32_t p = *reinterpret_cast<const std::uint32_t*>(
        static_cast<const unsigned char*>(data_) + std::size_t(row) * stride_ +
        std::size_t(column) * 4);
    // wl_shm formats name the channels of a little-endian 32-bit word.
    switch (layout_) {
      case Layout::Xrgb:  // 0xXXRRGGBB
        return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16;
      case Layout::Xbgr:  // 0xXXBBGGRR, as COLORREF
        return p & 0xFFFFFF;
      default: return CLR_INVALID;
    }
  }

 private:
  enum class Layout { Unknown, Xrgb, Xbgr };
  bool Reserve(WaylandClient& client, std::size_t bytes);
  void Release();

  int fd_ = -1;
  void* data_ = nullptr;
  std::size_t size_ = 0;
  wl_shm_pool* pool_ = nullptr;
  Layout layout_ = Layout::Unknown;
  std::int32_t width_ = 0, height_ = 0;
  std::uint32_t stride_ = 0;
  bool yInvert_ = false;
};
