#pragma once
#include <cstdint>
#include <functional>

// The front end's one-shot alarm that drives a TTimer.
class TimerScheduler {
 public:
  // Longest delay one Arm takes; longer intervals are armed in pieces.
  static constexpr std::uint32_t kMaxDelayMs = 0x7FFFFFFF;
  virtual ~TimerScheduler() = default;
  // Replaces any pending alarm; the owner's Elapsed() runs when it is due.
  virtual void Arm(std::uint32_t delayMs) = 0;
  virtual void Disarm() = 0;
};

// A periodic timer on the UI thread: ticks every Interval ms while enabled,
// the first one interval after enabling; 0 means no ticks. A new interval
// restarts the countdown, the same one again does not. Ticks that fall due
// while a tick handler runs are not queued: at most one follows it.
class TTimer {
 public:
  TTimer(TimerScheduler& scheduler, std::function<void()> onTimer)
      : scheduler_(scheduler), onTimer_(std::move(onTimer)) {}

  void SetInterval(std::uint32_t ms);
  void SetEnabled(bool enabled);
  std::uint32_t Interval() const { return interval_; }
  bool Enabled() const { return enabled_; }

  // Called by the scheduler when the armed delay is over.
  void Elapsed();

 private:
  void Restart();
  void ArmNextPiece();

  TimerScheduler& scheduler_;
  std::function<void()> onTimer_;
  std::uint32_t interval_ = 60000;
  bool enabled_ = false;
  std::uint32_t remainingMs_ = 0;  // of the current interval, not yet armed
};
