#pragma once
// Where the program put the pointer lately, against what the streams tell
// of it: a move told to a place the program did not put it is the user's
// hand on the mouse, and a move told to the place it did is the sign that
// the compositor has handled it.
#include <chrono>
#include <cstdint>
#include <deque>

#include "platform/portal/pipewire_streams.h"

class PointerPuts {
 public:
  void Clear() { puts_.clear(), awaitMove_ = false; }
  // The pointer is sent to `at`, in the frame pixels of `stream`.
  void Note(const PipeWireStreams& streams, std::size_t stream, ScreenPoint at);
  // Whether the latest put was to `at` on `stream`, and just now.
  bool JustPut(std::size_t stream, ScreenPoint at) const;
  // Whether a stream told lately of the pointer at a place the program
  // did not put it.
  bool UserMoving(const PipeWireStreams& streams) const;
  // Input followed the latest put: the next WaitHandled waits for it.
  void InputSent() { awaitMove_ = true; }
  // Once after input: until the streams tell the pointer's move to the
  // latest put, which went just before the press, a moment at most. Not
  // when the pointer was there already.
  void WaitHandled(const PipeWireStreams& streams);

 private:
  using Clock = std::chrono::steady_clock;
  struct Put {
    std::size_t stream = 0;
    ScreenPoint at;
    std::uint64_t movesBefore = 0;  // the streams' last move when it was sent
    bool alreadyThere = false;      // no move will be told
    Clock::time_point when;
  };
  std::deque<Put> puts_;  // the newest last
  bool awaitMove_ = false;
};
