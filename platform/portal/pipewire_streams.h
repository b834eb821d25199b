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
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "platform/portal/stream_frame.h"

class PipeWireStreams {
 public:
  // Connects to the remote the portal opened (fd is taken over; -1 for the
  // user's PipeWire daemon) and to one stream per node. Null when that
  // fails, with the call that failed (and the system's error) in *error.
  static std::unique_ptr<PipeWireStreams> Open(int fd, const std::vector<std::uint32_t>& nodes,
                                               std::string* error);
  ~PipeWireStreams();

  std::size_t Count() const;
  // The newest picture of stream i; null before the first one, and from a
  // frame that could not be used until the next good one.
  std::shared_ptr<const StreamFrame> Newest(std::size_t i) const;
  // The pixel size of every stream's pictures, as agreed on with it (0 x 0
  // before), and the generation they belong to, taken together. The
  // generation changes whenever a stream's size does, or its picture is
  // dropped or comes back: a layout of another generation is not the
  // screen the pictures show.
  struct Sizes {
    std::uint64_t generation = 0;
    std::vector<std::pair<std::int32_t, std::int32_t>> sizes;
  };
  Sizes PictureSizes() const;
  std::uint64_t Generation() const;
  // What became of stream i so far, to tell why it shows nothing.
  struct Health {
    bool agreed = false;         // a readable format was agreed on
    std::uint64_t pictures = 0;  // good pictures taken
    std::uint64_t unusable = 0;  // frames that could not be read
  };
  Health HealthOf(std::size_t i) const;
  // PipeWire's words when a stream failed before it ever streamed: its
  // format or buffers could not be agreed on. Empty otherwise.
  std::string NegotiationFailure() const;
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
