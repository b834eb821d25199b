#include "bench/painted_desktop.h"

#include <algorithm>
#include <random>

std::vector<std::uint32_t> PaintDesktop(int width, int height,
                                        const std::vector<Rect>& paintedTargets,
                                        const std::vector<Rect>& nearMisses) {
  std::vector<std::uint32_t> pixels(std::size_t(width) * height);
  auto put = [&](int x, int y, std::uint32_t rgb) { pixels[std::size_t(y) * width + x] = rgb; };
  auto fillRect = [&](const Rect& r, std::uint32_t rgb) {
    for (int y = std::max(r.y, 0); y < std::min(r.y + r.h, height); ++y)
      for (int x = std::max(r.x, 0); x < std::min(r.x + r.w, width); ++x) put(x, y, rgb);
  };
  std::mt19937 random(20240607);
  std::uniform_int_distribution<int> noise(-6, 6);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int r = 40 + 80 * x / width + noise(random);
      const int g = 60 + 60 * y / height + noise(random);
      const int b = 120 + 50 * (x + y) / (width + height) + noise(random);
      put(x, y, std::uint32_t(r) << 16 | std::uint32_t(g) << 8 | std::uint32_t(b));
    }
  // Application windows with text.
  std::uniform_int_distribution<int> px(0, width - 700), py(0, height - 450);
  for (int i = 0; i < width * height / 400000; ++i) {
    const Rect w{px(random), py(random), 500 + int(random() % 200), 300 + int(random() % 150)};
    const std::uint32_t face = 0xE0E0E0 + 0x010101 * std::uint32_t(random() % 24);
    fillRect(w, face);
    fillRect({w.x, w.y, w.w, 24}, 0x2050A0 + std::uint32_t(random() % 64));  // title bar
    for (int line = w.y + 34; line + 10 < w.y + w.h; line += 16)
      for (int gx = w.x + 8; gx + 12 < w.x + w.w;) {
        const int glyph = 4 + int(random() % 7);
        if (random() % 6) fillRect({gx, line, glyph, 9 - int(random() % 3)}, 0x202020);
        gx += glyph + 2 + (random() % 5 == 0 ? 6 : 0);
      }
  }
  // Near misses: one unit off in red, green or blue.
  const std::uint32_t target = ToRgb(kTarget);
  const std::uint32_t offs[] = {0x010000, 0x000100, 0x000001};
  for (std::size_t i = 0; i < nearMisses.size(); ++i)
    fillRect(nearMisses[i], i % 2 ? target + offs[i % 3] : target - offs[i % 3]);
  // Nothing but a target may carry the target colour, nothing kAbsent.
  const std::uint32_t absent = ToRgb(kAbsent);
  for (std::uint32_t& p : pixels)
    if (p == target || p == absent) p ^= 1;
  for (const Rect& t : paintedTargets) fillRect(t, target);
  return pixels;
}

std::vector<Rect> BenchTargets() {
  return {{350, 200, 200, 30},  {1230, 515, 200, 30},  {640, 900, 200, 30},
          {2400, 300, 200, 30}, {1700, 1500, 200, 30}, {3300, 1900, 200, 30}};
}

std::vector<Rect> NearMissesOf(const std::vector<Rect>& targets) {
  std::vector<Rect> nearMisses;
  for (const Rect& t : targets) nearMisses.push_back({t.x + 20, t.y + 60, 200, 30});
  return nearMisses;
}
