// The resampler's two passes with 256-bit integer vectors. This file alone is compiled for AVX2;
// the resampler calls it only after asking the processor. The sums are the portable passes'
// exactly (integer products, the same rounding and saturation), so either path gives the same
// bytes.

#include "resampler_avx2.h"

#include <immintrin.h>

namespace gfx::avx2 {
namespace {

constexpr int kShift = 14;
constexpr int kHalf = 1 << (kShift - 1);

}  // namespace

std::vector<WeightVector> spreadWeights(const std::vector<std::int16_t>& weights) {
  // Eight weights w0..w7 weigh pixels 0-3 in the low half of a vector and 4-7 in the high half;
  // after the shuffles below, the first madd wants (w0 w1) four times | (w4 w5) four times and
  // the second (w2 w3) | (w6 w7).
  std::vector<WeightVector> spread(weights.size() / 4);
  for (std::size_t group = 0; group < weights.size() / 8; ++group) {
    const std::int16_t* w = &weights[group * 8];
    std::int16_t* first = spread[group * 2].w;
    std::int16_t* second = spread[group * 2 + 1].w;
    for (int half = 0; half < 2; ++half) {
      for (int copy = 0; copy < 4; ++copy) {
        for (int tap = 0; tap < 2; ++tap) {
          first[half * 8 + copy * 2 + tap] = w[half * 4 + tap];
          second[half * 8 + copy * 2 + tap] = w[half * 4 + 2 + tap];
        }
      }
    }
  }
  return spread;
}

void horizontal(const std::uint32_t* in, std::uint32_t* out, std::int32_t width,
                const std::int32_t* start, const WeightVector* spread, std::int32_t stride) {
  // Within each 128-bit half of eight loaded pixels: pixels 0 and 1 (then 2 and 3) spread as
  // b0 b1 g0 g1 r0 r1 a0 a1 in 16 bits, so that one madd weighs a pair of taps per channel.
  const __m256i pairs01 = _mm256_setr_epi8(0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1,
                                           0, -1, 4, -1, 1, -1, 5, -1, 2, -1, 6, -1, 3, -1, 7, -1);
  const __m256i pairs23 =
      _mm256_setr_epi8(8, -1, 12, -1, 9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1, 8, -1, 12, -1,
                       9, -1, 13, -1, 10, -1, 14, -1, 11, -1, 15, -1);
  const auto* w = reinterpret_cast<const __m256i*>(spread);
  for (std::int32_t x = 0; x < width; ++x) {
    const std::uint32_t* p = in + start[x];
    __m256i acc = _mm256_setzero_si256();
    for (std::int32_t k = 0; k < stride; k += 8, w += 2) {
      const __m256i px = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + k));
      acc = _mm256_add_epi32(
          acc, _mm256_madd_epi16(_mm256_shuffle_epi8(px, pairs01), _mm256_loadu_si256(w)));
      acc = _mm256_add_epi32(
          acc, _mm256_madd_epi16(_mm256_shuffle_epi8(px, pairs23), _mm256_loadu_si256(w + 1)));
    }
    // Taps 0-3 were summed in the low half, taps 4-7 in the high half.
    __m128i sum = _mm_add_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
    sum = _mm_srai_epi32(_mm_add_epi32(sum, _mm_set1_epi32(kHalf)), kShift);
    sum = _mm_packs_epi32(sum, sum);
    out[x] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum)));
  }
}

std::int32_t vertical(const std::uint8_t* const* rows, const std::int16_t* weights,
                      std::int32_t count, std::uint8_t* out, std::int32_t bytes) {
  std::int32_t i = 0;
  for (; i + 16 <= bytes; i += 16) {
    __m256i lo = _mm256_set1_epi32(kHalf), hi = lo;
    std::int32_t k = 0;
    for (; k < count; k += 2) {
      // Sixteen bytes of two rows interleaved (of one row and zeros for an odd last tap).
      const __m256i a =
          _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[k] + i)));
      const bool pair = k + 1 < count;
      const __m256i b = pair ? _mm256_cvtepu8_epi16(_mm_loadu_si128(
                                   reinterpret_cast<const __m128i*>(rows[k + 1] + i)))
                             : _mm256_setzero_si256();
      const std::int32_t second = pair ? weights[k + 1] : 0;
      const __m256i wv = _mm256_set1_epi32(static_cast<std::uint16_t>(weights[k]) | second << 16);
      lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), wv));
      hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), wv));
    }
    // Each half holds bytes 0-3 | 4-7 (low half) and 8-11 | 12-15 (high half) in order again
    // after the packs; the final pack doubles each half, and the permute joins them.
    const __m256i words =
        _mm256_packs_epi32(_mm256_srai_epi32(lo, kShift), _mm256_srai_epi32(hi, kShift));
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(packed));
  }
  return i;
}

}  // namespace gfx::avx2
