#include "platform/portal/pointer_puts.h"

#include <algorithm>
#include <utility>

namespace {
// The compositor tells the pointer's move once it has handled it (within
// a frame here); this long at most.
constexpr std::chrono::milliseconds kMoveHandled{100};
// A pointer move the program did not make, told this recently: the user
// is moving the mouse, and a press could follow their hand.
constexpr std::chrono::milliseconds kUserMoving{250};
// A move told to this place this long after the program put the pointer
// there counts as the program's own.
constexpr std::chrono::milliseconds kOwnMoveTold{2000};
}  // namespace

void PointerPuts::Note(const PipeWireStreams& streams, std::size_t stream, ScreenPoint at) {
  const Clock::time_point now = Clock::now();
  while (!puts_.empty() && now - puts_.front().when > kOwnMoveTold) puts_.pop_front();
  const auto cursor = streams.LastCursor(stream);
  puts_.push_back({stream, at, streams.LastMove(), cursor && cursor->position == at, now});
}

bool PointerPuts::JustPut(std::size_t stream, ScreenPoint at) const {
  return !puts_.empty() && puts_.back().stream == stream && puts_.back().at == at &&
         Clock::now() - puts_.back().when <= kUserMoving;
}

bool PointerPuts::UserMoving(const PipeWireStreams& streams) const {
  for (const PipeWireStreams::PointerMove& m : streams.MovesSince(Clock::now() - kUserMoving)) {
    if (!m.position) continue;
    const bool ours = std::any_of(puts_.begin(), puts_.end(), [&](const Put& p) {
      return p.stream == m.stream && p.at == *m.position;
    });
    if (!ours) return true;
  }
  return false;
}

void PointerPuts::WaitHandled(const PipeWireStreams& streams) {
  if (std::exchange(awaitMove_, false) && !puts_.empty() && !puts_.back().alreadyThere)
    streams.WaitMoveTo(puts_.back().stream, puts_.back().at, puts_.back().movesBefore,
                       kMoveHandled);
}
