// Which samples of a grid line fall on a stretch of the screen, checked
// against counting them one by one.
#include <gtest/gtest.h>

#include "platform/index_span.h"

TEST(IndexSpan, AgreesWithCountingOneByOne) {
  for (std::int64_t start : {-23, -5, 0, 3, 17})
    for (std::int64_t step : {1, 3, 5, 100})
      for (std::int64_t n : {0, 1, 4, 9})
        for (std::int64_t lo : {-30, -1, 0, 2, 20})
          for (std::int64_t hi : {-10, 0, 1, 18, 60, 400}) {
            std::int64_t first = n, end = 0;
            for (std::int64_t i = 0; i < n; ++i) {
              const std::int64_t at = start + i * step;
              if (at >= lo && at < hi) first = std::min(first, i), end = i + 1;
            }
            const IndexSpan span(start, step, n, lo, hi);
            if (first >= end) {
              EXPECT_TRUE(span.empty())
                  << start << " " << step << " " << n << " " << lo << " " << hi;
            } else {
              EXPECT_EQ(span.first, first)
                  << start << " " << step << " " << n << " " << lo << " " << hi;
              EXPECT_EQ(span.end, end)
                  << start << " " << step << " " << n << " " << lo << " " << hi;
              EXPECT_EQ(span.size(), end - first);
            }
          }
}
