#pragma once
// The latest copy of each output, and whether it still stands for the
// screen as it is now.
#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/desktop.h"
#include "platform/output_reads.h"
#include "platform/wlroots/output_capture.h"

class WaylandClient;

// One output's latest copy.
struct OutputCopy {
  OutputCapture capture;
  bool valid = false;
  PixelRect rect;     // what the copy holds, as the output shows it
  int transform = 0;  // enum wl_output_transform
  std::int64_t shownWidth = 0, shownHeight = 0;
  std::uint64_t inputGeneration = 0, layoutGeneration = 0;
  std::chrono::steady_clock::time_point at;
  // Cleared when a region copy came back in another size than expected:
  // whole outputs from then on.
  bool regionsWork = true;

  // Pixel (x, y) of the output as shown, which must lie in rect.
  Colorref Shown(std::int64_t x, std::int64_t y) const;
};

class OutputCopies {
 public:
  // A copy of output `index` of the client's layout that holds `need`
  // (output-local pixels as shown), fresh enough to stand for the screen
  // now: taken after the latest input we sent, and no older than one frame
  // of that output. Only the part needed (and a margin) unless wholeOutput
  // or, where the output's scale is not known for sure, the part's edges
  // are not. Null when it cannot be had.
  const OutputCopy* Get(WaylandClient& client, int index, PixelRect need, bool wholeOutput);
  // Outputs that cannot be read at all and why, each once for the
  // program's life, since last asked.
  std::vector<Notice> TakeProblems() { return std::exchange(untold_, {}); }
  // What was copied before may have changed: the program sent input.
  void InputSent() { ++inputGeneration_; }
  // Before the client they were taken with goes away.
  void Clear() { copies_.clear(); }

 private:
  void Problem(Reason why, std::string detail);

  std::vector<std::unique_ptr<OutputCopy>> copies_;
  std::uint64_t inputGeneration_ = 0;
  std::set<std::pair<Reason, std::string>> told_;
  std::vector<Notice> untold_;
};
