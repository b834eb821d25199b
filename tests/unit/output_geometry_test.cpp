// What a wlroots compositor's copies hold: regions asked in logical units
// that start and end on pixel edges, the pixels of turned or mirrored
// outputs found where the output scans them out, and what the words of
// each format mean.
#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include <cmath>
#include <ostream>
#include <set>

#include "platform/wlroots/copy_format.h"
#include "platform/wlroots/output_geometry.h"

namespace {

// A shown picture 5 wide and 3 high; a sideways buffer is 3 wide and 5 high.
struct Corners {
  int transform;
  std::pair<std::int64_t, std::int64_t> topLeft, topRight, bottomLeft;
};
// Worked out by hand from what each transform does to the buffer on its way
// to the screen: 90 turns it a quarter clockwise (so the buffer's
// bottom-left corner shows top-left), FLIPPED mirrors it left to right.
const Corners kCorners[] = {
    {WL_OUTPUT_TRANSFORM_NORMAL, {0, 0}, {4, 0}, {0, 2}},
    {WL_OUTPUT_TRANSFORM_90, {0, 4}, {0, 0}, {2, 4}},
    {WL_OUTPUT_TRANSFORM_180, {4, 2}, {0, 2}, {4, 0}},
    {WL_OUTPUT_TRANSFORM_270, {2, 0}, {2, 4}, {0, 0}},
    {WL_OUTPUT_TRANSFORM_FLIPPED, {4, 0}, {0, 0}, {4, 2}},
    {WL_OUTPUT_TRANSFORM_FLIPPED_90, {0, 0}, {0, 4}, {2, 0}},
    {WL_OUTPUT_TRANSFORM_FLIPPED_180, {0, 2}, {4, 2}, {0, 0}},
    {WL_OUTPUT_TRANSFORM_FLIPPED_270, {2, 4}, {2, 0}, {0, 4}},
};

void PrintTo(const Corners& c, std::ostream* os) { *os << "transform " << c.transform; }

class EveryTransform : public testing::TestWithParam<Corners> {};

TEST_P(EveryTransform, EveryShownPixelHasABufferPixelOfItsOwn) {
  const int transform = GetParam().transform;
  const std::int64_t w = 5, h = 3;
  const bool sideways = transform % 2 == 1;
  const std::int64_t bufferW = sideways ? h : w, bufferH = sideways ? w : h;
  std::set<std::pair<std::int64_t, std::int64_t>> seen;
  for (std::int64_t y = 0; y < h; ++y)
    for (std::int64_t x = 0; x < w; ++x) {
      const auto at = InBuffer(transform, x, y, w, h);
      ASSERT_TRUE(at);
      EXPECT_TRUE(at->first >= 0 && at->first < bufferW && at->second >= 0 && at->second < bufferH)
          << x << "," << y << " -> " << at->first << "," << at->second;
      EXPECT_TRUE(seen.insert(*at).second) << x << "," << y << " shares a buffer pixel";
    }
  EXPECT_EQ(InBuffer(transform, 0, 0, w, h), GetParam().topLeft);
  EXPECT_EQ(InBuffer(transform, w - 1, 0, w, h), GetParam().topRight);
  EXPECT_EQ(InBuffer(transform, 0, h - 1, w, h), GetParam().bottomLeft);
}

INSTANTIATE_TEST_SUITE_P(OutputCopies, EveryTransform, testing::ValuesIn(kCorners),
                         [](const auto& info) {
                           return "transform" + std::to_string(info.param.transform);
                         });

TEST(OutputCopies, UnknownTransformHasNoPixels) { EXPECT_FALSE(InBuffer(8, 0, 0, 5, 3)); }

// For every run of pixels [p0, p1) of an axis: the span covers it, its
// ends are pixel edges (or the axis' end), and it reaches past the run by
// less than the distance between two such edges.
TEST(OutputCopies, RegionsCoverTheAskedPixelsAndEndOnPixelEdges) {
  struct Axis {
    double scale;
    std::int32_t logical, pixels;
    std::int64_t edgeEvery;  // pixels from one edge that is whole in both units to the next
  };
  // 27 units at 1.5 show 40 pixels: the last unit ends inside a pixel.
  for (const Axis a : {Axis{1, 40, 40, 1}, Axis{1.25, 40, 50, 5}, Axis{1.5, 40, 60, 3},
                       Axis{2, 40, 80, 2}, Axis{1.5, 27, 40, 3}})
    for (std::int64_t p0 = 0; p0 < a.pixels; ++p0)
      for (std::int64_t p1 = p0 + 1; p1 <= a.pixels; ++p1) {
        const AlignedSpan s = Align(p0, p1, a.scale, a.logical, a.pixels);
        SCOPED_TRACE(testing::Message() << "scale " << a.scale << ", pixels " << p0 << ".." << p1);
        ASSERT_LE(0, s.first);
        ASSERT_LT(s.first, s.end);
        ASSERT_LE(s.end, a.logical);
        EXPECT_LE(s.pixelFirst, p0);
        EXPECT_GE(s.pixelEnd, p1);
        EXPECT_LT(p0 - s.pixelFirst, a.edgeEvery);
        EXPECT_LT(s.pixelEnd - p1, a.edgeEvery);
        EXPECT_DOUBLE_EQ(s.first * a.scale, double(s.pixelFirst));
        if (s.end < a.logical)
          EXPECT_DOUBLE_EQ(s.end * a.scale, double(s.pixelEnd));
        else
          EXPECT_EQ(s.pixelEnd, a.pixels);
      }
}

// An output drawn at 10 bits a channel reads as exactly as one at 8: each
// 8-bit value, widened either way a compositor does it, comes back as
// itself in every 10-bit format, whatever the top two bits hold.
TEST(OutputCopies, TenBitCopiesGiveBackTheColourDrawn) {
  const auto shift = [](std::uint32_t v) { return 4 * v + v / 64; };
  const auto scale = [](std::uint32_t v) { return std::uint32_t(std::lround(v * 1023.0 / 255)); };
  const struct {
    std::uint32_t format;
    bool redLow;  // red in the low 10 bits (XBGR), else blue
  } formats[] = {{WL_SHM_FORMAT_XRGB2101010, false},
                 {WL_SHM_FORMAT_ARGB2101010, false},
                 {WL_SHM_FORMAT_XBGR2101010, true},
                 {WL_SHM_FORMAT_ABGR2101010, true}};
  for (const auto& f : formats) {
    const CopyLayout layout = LayoutOf(f.format);
    ASSERT_NE(layout, CopyLayout::Unreadable) << FormatName(f.format);
    for (std::uint32_t v = 0; v < 256; ++v)
      for (const auto& widen : {+shift, +scale})
        for (std::uint32_t top : {0u, 3u}) {
          const std::uint32_t r = v, g = 255 - v, b = (v * 7 + 3) % 256;
          const std::uint32_t low = f.redLow ? r : b, high = f.redLow ? b : r;
          const std::uint32_t word = top << 30 | widen(high) << 20 | widen(g) << 10 | widen(low);
          ASSERT_EQ(ToColorref(layout, word), r | g << 8 | b << 16)
              << FormatName(f.format) << " value " << v;
        }
  }
}

TEST(OutputCopies, EightBitCopiesAndFormatsThatCannotBeRead) {
  EXPECT_EQ(ToColorref(LayoutOf(WL_SHM_FORMAT_XRGB8888), 0xFF112233), 0x332211u);
  EXPECT_EQ(ToColorref(LayoutOf(WL_SHM_FORMAT_ARGB8888), 0x00112233), 0x332211u);
  EXPECT_EQ(ToColorref(LayoutOf(WL_SHM_FORMAT_XBGR8888), 0xFF112233), 0x112233u);
  EXPECT_EQ(ToColorref(LayoutOf(WL_SHM_FORMAT_ABGR8888), 0x00112233), 0x112233u);
  for (std::uint32_t format : {WL_SHM_FORMAT_RGB565, WL_SHM_FORMAT_XRGB16161616F,
                               WL_SHM_FORMAT_ABGR16161616F, WL_SHM_FORMAT_RGBX1010102}) {
    EXPECT_EQ(LayoutOf(format), CopyLayout::Unreadable) << FormatName(format);
    EXPECT_EQ(ToColorref(LayoutOf(format), 0), CLR_INVALID);
  }
  // As the user can look them up.
  EXPECT_EQ(FormatName(WL_SHM_FORMAT_XRGB2101010), "XR30 (0x30335258)");
  EXPECT_EQ(FormatName(WL_SHM_FORMAT_XRGB8888), "XRGB8888 (1)");
}

}  // namespace
