#pragma once
// Which samples of a grid line fall on a stretch of the screen: what bulk
// reads clip with before asking for pixels.
#include <algorithm>
#include <cstdint>

// The indices i in [0, n) with lo <= start + i * step < hi, as [first, end);
// step is positive.
struct IndexSpan {
  std::int64_t first = 0, end = 0;

  IndexSpan() = default;
  IndexSpan(std::int64_t f, std::int64_t e) : first(f), end(e) {}
  IndexSpan(std::int64_t start, std::int64_t step, std::int64_t n, std::int64_t lo,
            std::int64_t hi) {
    first = std::max<std::int64_t>(0, CeilDiv(lo - start, step));
    end = std::max(first, std::min<std::int64_t>(n, FloorDiv(hi - 1 - start, step) + 1));
  }

  bool empty() const { return first >= end; }
  std::int64_t size() const { return end - first; }

 private:
  static std::int64_t CeilDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? (a + b - 1) / b : -(-a / b);
  }
  static std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
  }
};
