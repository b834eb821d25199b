#include "tracking/interval_timer.h"

#include <algorithm>

void TTimer::SetInterval(std::uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  if (enabled_) Restart();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled_)
    Restart();
  else
    scheduler_.Disarm();
}

void TTimer::Restart() {
  scheduler_.Disarm();
  remainingMs_ = interval_;
  if (interval_ != 0) ArmNextPiece();
}

void TTimer::ArmNextPiece() {
  const std::uint32_t piece = std::min(remainingMs_, TimerScheduler::kMaxDelayMs);
  remainingMs_ -= piece;
  scheduler_.Arm(piece);
}

void TTimer::Elapsed() {
  if (!enabled_ || interval_ == 0) return;
  if (remainingMs_ != 0) {
    ArmNextPiece();
    return;
  }
  // Arm the next tick before running this one, so the cadence holds and a
  // long handler is followed by one late tick, not a backlog.
  remainingMs_ = interval_;
  ArmNextPiece();
  onTimer_();
}
