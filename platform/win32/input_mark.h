#pragma once
// The mark on every mouse event this program sends (its dwExtraInfo), by
// which the low-level hook tells our events from the user's: a tag, this
// process's id and a number for each event. Two copies of the program
// running at once each take only their own events for theirs, and the
// other's for the user's: a button the other copy holds down is a button
// held, which no click of ours may cut into. Plain C++: dwExtraInfo comes in
// as it is, 64 bits wide in a 64-bit program.
#include <cstdint>

class InputMark {
 public:
  explicit InputMark(std::uint32_t processId) : own_(kTag << 48 | std::uint64_t{processId} << 16) {}

  // The dwExtraInfo of our event numbered `sequence`.
  std::uint64_t Of(std::uint16_t sequence) const { return own_ | sequence; }
  // All of it but the number: the tag alone is every copy's.
  bool IsOurs(std::uint64_t extraInfo) const { return (extraInfo & ~kSequence) == own_; }
  static std::uint16_t SequenceOf(std::uint64_t extraInfo) {
    return static_cast<std::uint16_t>(extraInfo & kSequence);
  }
  // Whether the event numbered `seen` is `awaited` or one sent after it;
  // the numbers wrap.
  static bool Reached(std::uint16_t seen, std::uint16_t awaited) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(seen - awaited)) >= 0;
  }

 private:
  static constexpr std::uint64_t kTag = 0x636C;  // "cl"
  static constexpr std::uint64_t kSequence = 0xFFFF;
  std::uint64_t own_;
};
