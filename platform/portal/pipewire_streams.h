#pragma once
// The screen-cast streams of a portal session, received with libpipewire on
// a thread of its own. PipeWire sends a frame only when the screen
// changes, so the newest frame of every stream is kept in memory and reads
// come from there.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop.h"

// One picture of a monitor, in its physical pixels.
struct StreamFrame {
  std::int32_t width = 0, height = 0;
  std::int32_t stride = 0;  // bytes from one row to the next
  bool redFirst = false;    // bytes R,G,B,x (RGBx, RGBA) rather than B,G,R,x
  std::vector<std::uint8_t> pixels;
  std::uint64_t sequence = 0;  // counts the stream's pictures, from 1

  Colorref Shown(std::int64_t x, std::int64_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return CLR_INVALID;
    const std::uint8_t* p = pixels.data() + y * stride + x * 4;
    const std::uint8_t red = redFirst ? p[0] : p[2], blue = redFirst ? p[2] : p[0];
    return Colorref{red} | Colorref{p[1]} << 8 | Colorref{blue} << 16;
  }
};

class PipeWireStreams {
 public:
  // Connects to the remote the portal opened (fd is taken over; -1 for the
  // user's PipeWire daemon) and to one stream per node. Null when that
  // fails, with the call that failed (and the system's error) in *error.
  static std::unique_ptr<PipeWireStreams> Open(int fd, const std::vector<std::uint32_t>& nodes,
                                               std::string* error);
  ~PipeWireStreams();

  std::size_t Count() const;
  // The newest picture of stream i; null before the first one.
  std::shared_ptr<const StreamFrame> Newest(std::size_t i) const;
  // Waits until stream i has a picture newer than `after` (a sequence
  // number), at most `timeout`; returns the newest either way.
  std::shared_ptr<const StreamFrame> WaitNewer(std::size_t i, std::uint64_t after,
                                               std::chrono::milliseconds timeout) const;
  // Where the stream last said the pointer is, in its frame's pixels, and
  // when it said so; nothing while the pointer is not on that monitor or
  // the stream sends no pointer metadata.
  struct Cursor {
    ScreenPoint position;
    std::chrono::steady_clock::time_point when;
  };
  std::optional<Cursor> LastCursor(std::size_t i) const;
  // Whether any stream has said where the pointer is, or that it is not
  // on its monitor: whether they carry the pointer at all.
  bool TellPointer() const;
  // A stream saying the pointer is somewhere else than it said before: at
  // `position` on its monitor, or off it. Pictures repeat where it is;
  // only changes are kept, the newest few hundred.
  struct PointerMove {
    std::uint64_t number = 0;  // counts the moves of all streams, from 1
    std::size_t stream = 0;
    std::optional<ScreenPoint> position;
    std::chrono::steady_clock::time_point when;
  };
  std::vector<PointerMove> MovesSince(std::chrono::steady_clock::time_point since) const;
  // The number of the newest move told; 0 before the first.
  std::uint64_t LastMove() const;
  // Waits until stream i tells of a move numbered above `after` that puts
  // the pointer at `at` (its frame's pixels), at most `timeout`; whether
  // one came.
  bool WaitMoveTo(std::size_t i, ScreenPoint at, std::uint64_t after,
                  std::chrono::milliseconds timeout) const;
  // Whether PipeWire ended the connection or a stream failed.
  bool Broken() const;

  struct State;

 private:
  explicit PipeWireStreams(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};
