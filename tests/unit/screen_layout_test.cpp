// The screen space over outputs of different positions and scales: every
// pixel belongs to one output, round-trips through the layout's logical
// units, and no two outputs share a pixel; where outputs overlap, each
// pixel is read and pressed through one; and each pixel the pointer is
// sent to is the one read, at every scale a compositor may show.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/output_reads.h"
#include "platform/output_scale.h"
#include "platform/screen_layout.h"

namespace {

OutputGeometry Output(int x, int y, int logicalW, int logicalH, double scale) {
  return {x,
          y,
          logicalW,
          logicalH,
          int(std::lround(logicalW * scale)),
          int(std::lround(logicalH * scale))};
}

// Small outputs, so that every pixel can be visited.
const std::vector<std::vector<OutputGeometry>> kLayouts = {
    {Output(0, 0, 40, 30, 1)},
    {Output(0, 0, 40, 30, 1.5)},
    {Output(0, 0, 40, 30, 2)},
    {Output(0, 0, 40, 30, 1), Output(40, 0, 40, 30, 1.5)},
    {Output(0, 0, 40, 30, 2), Output(40, 10, 60, 20, 1), Output(-30, -20, 30, 20, 1.5)},
    {Output(0, 0, 40, 30, 1.25), Output(0, 30, 40, 32, 2)},
    // 41 pixels at 1.5 told as 27 units (27.33 cut): the last pixel
    // reaches past the output's logical edge.
    {Output(0, 0, 40, 30, 1), OutputGeometry{45, 0, 27, 20, 41, 30}},
};

class EveryLayout : public testing::TestWithParam<std::vector<OutputGeometry>> {};

TEST_P(EveryLayout, EveryPixelIsOnOneOutputAndRoundTrips) {
  const ScreenLayout layout(GetParam());
  const auto& outputs = layout.Outputs();
  ASSERT_EQ(outputs.size(), GetParam().size());
  const LogicalBox extent = layout.Extent();
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const PlacedOutput& o = outputs[i];
    for (std::int64_t y = o.top; y < o.top + o.geometry.pixelHeight; ++y)
      for (std::int64_t x = o.left; x < o.left + o.geometry.pixelWidth; ++x) {
        for (std::size_t j = 0; j < outputs.size(); ++j)
          ASSERT_TRUE(i == j || !outputs[j].Holds(x, y))
              << "outputs " << i << " and " << j << " share " << x << "," << y;
        ASSERT_EQ(layout.OutputAt(x, y), int(i));
        const LogicalPoint p = layout.ToLogical(int(i), x, y);
        ASSERT_GE(p.x, extent.x);
        ASSERT_LT(p.x, extent.x + extent.width);
        ASSERT_GE(p.y, extent.y);
        ASSERT_LT(p.y, extent.y + extent.height);
        const auto back = layout.FromLogical(p.x, p.y);
        ASSERT_TRUE(back);
        ASSERT_EQ(back->x, x);
        ASSERT_EQ(back->y, y);
      }
  }
}

// XWayland reports whole logical units: each is the pixel its top-left
// corner falls in.
TEST_P(EveryLayout, WholeLogicalPointsLandOnThePixelAtTheirCorner) {
  const ScreenLayout layout(GetParam());
  for (const PlacedOutput& o : layout.Outputs()) {
    const OutputGeometry& g = o.geometry;
    for (int ly = g.logicalY; ly < g.logicalY + g.logicalHeight; ++ly)
      for (int lx = g.logicalX; lx < g.logicalX + g.logicalWidth; ++lx) {
        const auto p = layout.FromLogical(lx, ly);
        ASSERT_TRUE(p);
        EXPECT_EQ(p->x, o.left + std::int64_t(std::floor((lx - g.logicalX) * o.scale + 1e-9)));
        EXPECT_EQ(p->y, o.top + std::int64_t(std::floor((ly - g.logicalY) * o.scale + 1e-9)));
      }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, EveryLayout, testing::ValuesIn(kLayouts),
                         [](const auto& info) { return "layout" + std::to_string(info.index); });

TEST(ScreenLayout, OneScaleIsTheDesktopInPixels) {
  const ScreenLayout layout({Output(0, 0, 1280, 720, 1.5), Output(1280, 0, 1280, 720, 1.5)});
  EXPECT_EQ(layout.Outputs()[1].left, 1280 * 3 / 2);
  EXPECT_EQ(layout.Outputs()[1].top, 0);
}

TEST(ScreenLayout, MixedScalesPlaceOutputsAtTheLargestScale) {
  const ScreenLayout layout({Output(0, 0, 1280, 720, 1), Output(1280, 0, 1280, 720, 1.5)});
  EXPECT_EQ(layout.Outputs()[0].left, 0);
  EXPECT_EQ(layout.Outputs()[1].left, 1280 * 3 / 2);
  // What lies between them is on no output.
  EXPECT_EQ(layout.OutputAt(1280, 0), -1);
  EXPECT_EQ(layout.OutputAt(1919, 0), -1);
  const LogicalBox extent = layout.Extent();
  EXPECT_EQ(extent.width, 2560);
  EXPECT_EQ(extent.height, 720);
}

// Compositors tell logical sizes in whole units, cut (wlroots) or rounded
// (KDE); the scale is the one the output is really shown at.
TEST(ScreenLayout, TheScaleSurvivesLogicalSizesCutToWholeUnits) {
  const struct {
    OutputGeometry g;
    double scale;
  } cases[] = {
      {{0, 0, 1280, 720, 1920, 1080}, 1.5},  {{0, 0, 720, 1280, 1080, 1920}, 1.5},
      {{0, 0, 853, 480, 1280, 720}, 1.5},    {{0, 0, 1706, 960, 2560, 1440}, 1.5},
      {{0, 0, 1707, 960, 2560, 1440}, 1.5},  {{0, 0, 1092, 614, 1366, 768}, 1.25},
      {{0, 0, 1097, 617, 1920, 1080}, 1.75},
  };
  for (const auto& c : cases)
    EXPECT_DOUBLE_EQ(ScaleRangeOf(c.g).chosen, c.scale) << c.g.pixelWidth << "x" << c.g.pixelHeight;
  // 1.33, which no simpler fraction beats by much: the far pixel of the
  // output still lands within a fifth of a pixel of where it is.
  const double odd = ScaleRangeOf({0, 0, 1924, 1082, 2560, 1440}).chosen;
  EXPECT_NEAR(2560 / odd * 1.33, 2560, 0.2);
}

// A second output shown at 1.5 whose 1280 pixels were told as 853 units:
// placed and pointed at as at 1.5, not 1280 / 853.
TEST(ScreenLayout, ACutOutputIsPointedAtByItsTrueScale) {
  const ScreenLayout layout(
      {Output(0, 0, 1280, 720, 1), OutputGeometry{1380, 0, 853, 480, 1280, 720}});
  EXPECT_EQ(layout.Outputs()[1].left, 2070);
  const LogicalPoint p = layout.ToLogical(1, 2700, 508);
  EXPECT_DOUBLE_EQ(p.x, 1380 + 630.5 / 1.5);
  EXPECT_DOUBLE_EQ(p.y, 508.5 / 1.5);
  // Its last pixel column lies wholly past 1706 units at 2560 pixels: no
  // layout point is over it.
  const ScreenLayout wide({OutputGeometry{0, 0, 1706, 960, 2560, 1440}});
  const LogicalPoint edge = wide.ToLogical(0, 2559, 0);
  EXPECT_LT(edge.x, 1706);
  EXPECT_EQ(wide.FromLogical(edge.x, edge.y)->x, 2558);
  EXPECT_FALSE(wide.PointerPoint(0, 2559, 0));
  // A neighbour that starts there has that column: the pointer goes there.
  const ScreenLayout beside({OutputGeometry{0, 0, 1706, 960, 2560, 1440},
                             OutputGeometry{1706, 0, 1280, 720, 1920, 1080}});
  EXPECT_EQ(beside.Outputs()[1].left, 2559);
  EXPECT_EQ(beside.OutputAt(2559, 0), 1);
  const auto there = beside.PointerPoint(1, 2559, 0);
  ASSERT_TRUE(there);
  EXPECT_EQ(beside.FromLogical(there->x, there->y)->x, 2559);
}

// A cursor move off the outputs stops at the nearest edge pixel of the
// nearest output; in the gap between two, at the closer one's edge.
TEST(ScreenLayout, NearestPixelStopsAtTheEdge) {
  const ScreenLayout layout({Output(0, 0, 1280, 720, 1), Output(1280, 0, 1280, 720, 1.5)});
  const auto at = [&](std::int64_t x, std::int64_t y) {
    const ScreenLayout::Nearest n = layout.NearestPixel(x, y);
    return std::to_string(n.output) + " " + std::to_string(n.x) + " " + std::to_string(n.y);
  };
  EXPECT_EQ(at(100, 200), "0 100 200");
  EXPECT_EQ(at(-5, 800), "0 0 719");
  EXPECT_EQ(at(1290, 10), "0 1279 10");
  EXPECT_EQ(at(1910, 10), "1 1920 10");
  EXPECT_EQ(at(9000, 2000), "1 3839 1079");
  EXPECT_EQ(ScreenLayout().NearestPixel(0, 0).output, -1);
}

TEST(ScreenLayout, OutputsWithoutASizeAreLeftOut) {
  const ScreenLayout layout({Output(0, 0, 40, 30, 1), OutputGeometry{}});
  EXPECT_EQ(layout.Outputs().size(), 1u);
  EXPECT_FALSE(layout.FromLogical(-1, 0));
}

// A wlroots compositor keeps a scale s in single precision, tells an
// output of p pixels as trunc(p / s) units, names s to 1/256 in its output
// manager, and has the pointer at logical u of the output over pixel
// floor(u * s). Over common monitors and every scale in 120ths from 1 to
// 3, each pixel the pointer is sent to (in the virtual pointer's 64ths) is
// the pixel read there. With the scale named, or whole (wl_output names
// it rounded up), every pixel that lies within the logical size gets a
// point; from the sizes alone at least those whose place all the scales
// that fit agree on.
TEST(ScreenLayout, EveryPixelPressedIsThePixelRead) {
  const std::pair<int, int> monitors[] = {{1280, 720},  {1366, 768},  {1920, 1080}, {1920, 1200},
                                          {2256, 1504}, {2560, 1440}, {2560, 1600}, {2880, 1800},
                                          {3000, 2000}, {3840, 2160}};
  std::int64_t wrong = 0, missing = 0, pressedByGuess = 0, pixels = 0;
  for (const auto& [w, h] : monitors)
    for (int k = 120; k <= 360; ++k) {
      const float s = float(k) / 120;
      OutputGeometry g{0, 0, int(float(w) / s), int(float(h) / s), w, h};
      g.cutSizes = true;
      g.scaleCeiling = (k + 119) / 120;
      const bool whole = k % 120 == 0;
      for (const bool named : {true, false}) {
        g.toldScale = named ? std::round(double(s) * 256) / 256 : 0;
        const ScreenLayout layout({g});
        // Across along the top row, down along the left column.
        const auto axis = [&](int size, int logical, bool across) {
          for (int pixel = 0; pixel < size; ++pixel) {
            const auto p = layout.PointerPoint(0, across ? pixel : 0, across ? 0 : pixel);
            const bool inside = (pixel + 1) / double(s) <= logical;
            if (!p) {
              if ((named || whole) && inside && ++missing == 1)
                ADD_FAILURE() << w << "x" << h << " at " << k << "/120: no point for "
                              << (across ? "column " : "row ") << pixel;
              continue;
            }
            pressedByGuess += !named;
            const double u = std::round((across ? p->x : p->y) * 64) / 64;
            if (std::int64_t(std::floor(u * double(s))) != pixel && ++wrong <= 5)
              ADD_FAILURE() << w << "x" << h << " at " << k << "/120" << (named ? "" : " (guessed)")
                            << ": " << (across ? "column " : "row ") << pixel << " pressed at "
                            << std::floor(u * double(s));
          }
        };
        axis(w, g.logicalWidth, true);
        axis(h, g.logicalHeight, false);
        pixels += named ? 0 : w + h;
      }
    }
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(missing, 0);
  // The guess leaves out where the scales that fit disagree, not more.
  EXPECT_GT(pressedByGuess, pixels / 2);
}

// Two outputs on the same place, the projector at scale 1 and the
// laptop's panel at 2: each pixel is read and pressed through the output
// the pointer goes to there, the one added later, whichever that is.
TEST(ScreenLayout, OverlappingOutputsAreReadAndPressedThroughTheOneWithThePointer) {
  const OutputGeometry projector = Output(0, 0, 40, 30, 1), panel = Output(0, 0, 40, 30, 2);
  for (const bool panelLast : {true, false}) {
    SCOPED_TRACE(panelLast ? "panel added last" : "projector added last");
    const ScreenLayout layout(panelLast ? std::vector{projector, panel}
                                        : std::vector{panel, projector});
    const std::vector<PlacedOutput>& outputs = layout.Outputs();
    ASSERT_EQ(outputs.size(), 2u);
    // The compositor's pointer: on the later output that has the point.
    const auto pointerOn = [&](LogicalPoint p) { return outputs[1].Covers(p.x, p.y) ? 1 : 0; };
    // Each output's picture shows its own index.
    struct Picture {
      Colorref index;
      Colorref Shown(std::int64_t, std::int64_t) const { return index; }
    } pictures[] = {{0}, {1}};
    const SampleGrid grid{0, 0, 60, 1, 80, 1, 1, 1};
    std::vector<Colorref> read(std::size_t(grid.Count()));
    ReadGridPerOutput(outputs, grid, read.data(),
                      [&](std::size_t i, const PixelRect&) { return &pictures[i]; });
    int pressed[2] = {0, 0};
    for (std::int64_t y = 0; y < 60; ++y)
      for (std::int64_t x = 0; x < 80; ++x) {
        const int shown = layout.OutputAt(x, y);
        ASSERT_EQ(read[std::size_t(y * 80 + x)], shown < 0 ? CLR_INVALID : Colorref(shown))
            << x << "," << y;
        if (shown < 0) continue;
        const auto p = layout.PointerPoint(shown, x, y);
        if (!p) continue;
        ++pressed[shown];
        ASSERT_EQ(pointerOn(*p), shown) << x << "," << y;
        const PlacedOutput& o = outputs[std::size_t(shown)];
        ASSERT_EQ(o.left + std::int64_t(std::floor((p->x - o.geometry.logicalX) * o.scale)), x);
        ASSERT_EQ(o.top + std::int64_t(std::floor((p->y - o.geometry.logicalY) * o.scale)), y);
      }
    // The panel has every one of its pixels; the projector, in front,
    // all of its own, and the panel's others are read but never pressed.
    EXPECT_EQ(pressed[0], 0);
    EXPECT_EQ(pressed[1], panelLast ? 80 * 60 : 40 * 30);
  }
}

}  // namespace
