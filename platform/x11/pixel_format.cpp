#include "platform/x11/pixel_format.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
Colorref SwapRedBlue(std::uint32_t p) { return (p >> 16 & 0xFF) | (p & 0xFF00) | (p & 0xFF) << 16; }
}  // namespace

void Rgb888ToColorrefScalar(const std::uint32_t* pixels, std::int64_t count, Colorref* out) {
  for (std::int64_t i = 0; i < count; ++i) out[i] = SwapRedBlue(pixels[i]);
}

void Rgb888ToColorref(const std::uint32_t* pixels, std::int64_t count, Colorref* out) {
  std::int64_t i = 0;
#if defined(__SSE2__)
  const __m128i low = _mm_set1_epi32(0xFF), green = _mm_set1_epi32(0xFF00);
  for (; i + 4 <= count; i += 4) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels + i));
    const __m128i r = _mm_and_si128(_mm_srli_epi32(p, 16), low);
    const __m128i b = _mm_slli_epi32(_mm_and_si128(p, low), 16);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_or_si128(_mm_or_si128(r, b), _mm_and_si128(p, green)));
  }
#endif
  Rgb888ToColorrefScalar(pixels + i, count - i, out + i);
}

void PixelFormat::FromPixels32(const std::uint32_t* pixels, std::int64_t count, std::int64_t step,
                               Colorref* out) const {
  if (rgb888_ && step == 1) {
    Rgb888ToColorref(pixels, count, out);
  } else if (rgb888_) {
    for (std::int64_t i = 0; i < count; ++i) out[i] = SwapRedBlue(pixels[i * step]);
  } else {
    for (std::int64_t i = 0; i < count; ++i) out[i] = FromPixel(pixels[i * step]);
  }
}
