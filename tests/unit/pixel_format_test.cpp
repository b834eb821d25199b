// Pixels of X visuals to COLORREF, without an X server: the channels of
// 24-bit, 16-bit (565), 32-bit BGR and 30-bit visuals, and the row
// conversions (the SSE2 loop and the scalar one) against one pixel at a time.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/x11/pixel_format.h"

namespace {

struct Visual {
  const char* name;
  unsigned long red, green, blue;
};
const Visual kRgb888{"rgb888", 0xFF0000, 0xFF00, 0xFF};
const Visual kRgb565{"rgb565", 0xF800, 0x07E0, 0x001F};
const Visual kBgr888{"bgr888", 0xFF, 0xFF00, 0xFF0000};
const Visual kRgb101010{"rgb101010", 0x3FF00000, 0xFFC00, 0x3FF};

PixelFormat FormatOf(const Visual& v) { return PixelFormat(v.red, v.green, v.blue); }

TEST(PixelFormat, EachChannelLandsInItsByteScaledTo255) {
  struct Case {
    Visual visual;
    unsigned long pixel;
    Colorref expected;
  };
  const Case cases[] = {
      {kRgb888, 0xFF0000, 0x0000FF},      {kRgb888, 0x00FF00, 0x00FF00},
      {kRgb888, 0x0000FF, 0xFF0000},      {kRgb888, 0x123456, 0x563412},
      {kRgb888, 0xAB123456, 0x563412},  // the byte above the depth is not colour
      {kRgb565, 0xF800, 0x0000FF},        {kRgb565, 0x07E0, 0x00FF00},
      {kRgb565, 0x001F, 0xFF0000},        {kRgb565, 0xFFFF, 0xFFFFFF},
      {kRgb565, 0x8410, 0x838183},  // 16/31, 32/63, 16/31 of the way
      {kBgr888, 0x123456, 0x123456},      {kRgb101010, 0x3FFFFFFF, 0xFFFFFF},
      {kRgb101010, 0x3FF00000, 0x0000FF}, {kRgb101010, 0x000FFC00, 0x00FF00},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatOf(c.visual).FromPixel(c.pixel), c.expected)
        << c.visual.name << " pixel 0x" << std::hex << c.pixel;
}

TEST(PixelFormat, RowsConvertAsPixelByPixelInEveryPathAndAlignment) {
  std::mt19937 random(5);
  std::vector<std::uint32_t> pixels(200);
  for (std::uint32_t& p : pixels) p = std::uint32_t(random());  // top byte too
  for (const Visual& visual : {kRgb888, kBgr888, kRgb101010})
    for (std::int64_t offset = 0; offset < 4; ++offset)
      for (std::int64_t step : {1, 2, 5})
        for (std::int64_t count = 0; count <= 21; ++count) {
          const PixelFormat format = FormatOf(visual);
          std::vector<Colorref> row(std::size_t(count) + 1, 0x12345678);
          format.FromPixels32(pixels.data() + offset, count, step, row.data());
          for (std::int64_t i = 0; i < count; ++i)
            ASSERT_EQ(row[std::size_t(i)], format.FromPixel(pixels[std::size_t(offset + i * step)]))
                << visual.name << " offset " << offset << " step " << step << " count " << count
                << " at " << i;
          EXPECT_EQ(row[std::size_t(count)], 0x12345678u) << "wrote past the row";
        }
}

TEST(PixelFormat, TheSse2LoopAgreesWithTheScalarOne) {
  std::mt19937 random(9);
  std::vector<std::uint32_t> pixels(300);
  for (std::uint32_t& p : pixels) p = std::uint32_t(random());
  for (std::int64_t offset = 0; offset < 4; ++offset)
    for (std::int64_t count : {0, 1, 3, 4, 5, 7, 8, 9, 16, 17, 255}) {
      const auto n = static_cast<std::size_t>(count);
      std::vector<Colorref> fast(n), scalar(n);
      Rgb888ToColorref(pixels.data() + offset, count, fast.data());
      Rgb888ToColorrefScalar(pixels.data() + offset, count, scalar.data());
      EXPECT_EQ(fast, scalar) << "offset " << offset << " count " << count;
    }
}

}  // namespace
