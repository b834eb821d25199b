#pragma once
// The desktop the scan benchmarks look at: not flat, with 200 x 30 targets
// and near misses one colour unit off, the same on X11 and on Wayland.
#include <cstdint>
#include <vector>

#include "platform/desktop.h"
#include "tests/support/grid_oracle.h"

constexpr Colorref kTarget = 0x00CC6633;  // COLORREF of RGB 33 66 CC
constexpr Colorref kAbsent = 0x00A1B2C3;  // kept off the painted screen

// 0x00RRGGBB, from a COLORREF.
inline std::uint32_t ToRgb(Colorref c) {
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

// A gradient wallpaper with noise, windows with light backgrounds and lines
// of glyph-like marks, near misses, and the targets of `paintedTargets`;
// 0x00RRGGBB pixels row by row. Nothing else carries the target colour or
// kAbsent.
std::vector<std::uint32_t> PaintDesktop(int width, int height,
                                        const std::vector<Rect>& paintedTargets,
                                        const std::vector<Rect>& nearMisses);

// Six targets of 200x30, three in the 1920x1080 area and three more in the
// rest of 3840x2160, and a near miss below each.
std::vector<Rect> BenchTargets();
std::vector<Rect> NearMissesOf(const std::vector<Rect>& targets);

// What the full-screen benchmarks time: passes that find nothing and
// passes that click, over both areas.
struct BenchScenario {
  const char* title;
  Colorref colour;
};
inline constexpr BenchScenario kBenchScenarios[] = {
    {"Passes that find nothing (a colour no pixel has): the cost of a usual tick", kAbsent},
    {"Passes that click every target: after each click the rest is read again", kTarget},
};
inline constexpr TRect kBenchAreas[] = {{0, 0, 1920, 1080}, {0, 0, 3840, 2160}};
