#include "resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "gfx/resample.h"

namespace gfx {
namespace {

constexpr int kShift = 14;  // weights are fractions of 1 << kShift
constexpr int kOne = 1 << kShift;
constexpr int kHalf = 1 << (kShift - 1);

// Catmull-Rom: the cubic with a = -0.5, which passes through the samples and keeps edges crisp.
double cubic(double x) {
  constexpr double a = -0.5;
  x = std::fabs(x);
  if (x < 1.0) return ((a + 2.0) * x - (a + 3.0)) * x * x + 1.0;
  if (x < 2.0) return ((a * x - 5.0 * a) * x + 8.0 * a) * x - 4.0 * a;
  return 0.0;
}

std::uint8_t clampByte(std::int32_t v) {
  return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

Resampler::Taps Resampler::makeTaps(std::int32_t in, std::int32_t out) {
  Taps taps;
  const double ratio = static_cast<double>(in) / out;
  const double widen = std::max(1.0, ratio);  // shrinking: the filter spans more source pixels
  const double radius = 2.0 * widen;
  taps.stride = static_cast<std::int32_t>(std::ceil(radius)) * 2 + 2;
  taps.start.resize(out);
  taps.count.resize(out);
  taps.weights.assign(static_cast<std::size_t>(out) * taps.stride, 0);
  std::vector<double> w(taps.stride);
  std::int32_t widest = 0;
  for (std::int32_t i = 0; i < out; ++i) {
    const double center = (i + 0.5) * ratio;
    std::int32_t lo = std::max(0, static_cast<std::int32_t>(std::floor(center - radius)));
    std::int32_t hi = std::min(in, static_cast<std::int32_t>(std::ceil(center + radius)));
    hi = std::min(hi, lo + taps.stride);
    double sum = 0.0;
    for (std::int32_t j = lo; j < hi; ++j) sum += w[j - lo] = cubic((j + 0.5 - center) / widen);
    // Zero weights at the ends cost work and nothing else.
    while (hi - lo > 1 && w[hi - 1 - lo] == 0.0) --hi;
    std::int32_t first = 0;
    while (hi - lo - first > 1 && w[first] == 0.0) ++first;
    std::int16_t* out16 = &taps.weights[static_cast<std::size_t>(i) * taps.stride];
    std::int32_t total = 0, biggest = 0;
    for (std::int32_t k = first; k < hi - lo; ++k) {
      const auto q = static_cast<std::int16_t>(std::lround(w[k] / sum * kOne));
      out16[k - first] = q;
      total += q;
      if (q > out16[biggest]) biggest = k - first;
    }
    out16[biggest] = static_cast<std::int16_t>(out16[biggest] + (kOne - total));  // sums to one
    taps.start[i] = lo + first;
    taps.count[i] = hi - lo - first;
    widest = std::max(widest, taps.count[i]);
  }
  taps.stride = std::max(taps.stride, widest);
  return taps;
}

bool Resampler::widenTaps(const Taps& taps, std::int32_t in, Taps& wide) {
  std::int32_t widest = 0;
  for (std::int32_t c : taps.count) widest = std::max(widest, c);
  wide.stride = (widest + 7) / 8 * 8;
  if (wide.stride > in) return false;
  const std::size_t out = taps.start.size();
  wide.start.resize(out);
  wide.weights.assign(out * wide.stride, 0);
  for (std::size_t i = 0; i < out; ++i) {
    // Near the right edge the window starts early; its first weights stay zero.
    const std::int32_t start = std::min(taps.start[i], in - wide.stride);
    std::copy_n(&taps.weights[i * taps.stride], taps.count[i],
                &wide.weights[i * wide.stride + (taps.start[i] - start)]);
    wide.start[i] = start;
  }
  return true;
}

Resampler::Resampler(std::int32_t srcWidth, std::int32_t srcHeight, const BitmapView& dst,
                     Kernels kernels)
    : srcHeight_(srcHeight), dst_(dst) {
  h_ = makeTaps(srcWidth, dst.width);
  v_ = makeTaps(srcHeight, dst.height);
#if defined(GFX_HAVE_AVX2)
  Taps wide;
  avx2_ = kernels == Kernels::Fastest && __builtin_cpu_supports("avx2") &&
          widenTaps(h_, srcWidth, wide);
  if (avx2_) {
    spreadH_ = avx2::spreadWeights(wide.weights);
    spreadStartH_ = std::move(wide.start);
    spreadStrideH_ = wide.stride;
  }
#else
  (void)kernels;
#endif
  std::int32_t most = 0;
  for (std::int32_t c : v_.count) most = std::max(most, c);
  // A pending output row needs at most `most` rows, none older than the newest minus `most`.
  ringRows_ = std::min(srcHeight, most + 1);
  ring_.resize(static_cast<std::size_t>(ringRows_) * dst.width);
  rowPointers_.resize(most);
}

void Resampler::pushRow(const std::uint32_t* row) {
  if (nextIn_ >= srcHeight_ || done()) return;
  horizontal(row, &ring_[static_cast<std::size_t>(nextIn_ % ringRows_) * dst_.width]);
  while (nextOut_ < dst_.height && v_.start[nextOut_] + v_.count[nextOut_] - 1 <= nextIn_)
    vertical(nextOut_++);
  ++nextIn_;
}

void Resampler::horizontal(const std::uint32_t* in, std::uint32_t* out) const {
#if defined(GFX_HAVE_AVX2)
  if (avx2_) {
    avx2::horizontal(in, out, dst_.width, spreadStartH_.data(), spreadH_.data(), spreadStrideH_);
    return;
  }
#endif
  for (std::int32_t x = 0; x < dst_.width; ++x) {
    const std::int16_t* w = &h_.weights[static_cast<std::size_t>(x) * h_.stride];
    const std::uint32_t* p = in + h_.start[x];
    const std::int32_t n = h_.count[x];
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = _mm_set1_epi32(kHalf);
    std::int32_t k = 0;
    for (; k + 1 < n; k += 2) {
      // Two pixels as b0 b1 g0 g1 r0 r1 a0 a1, so that one madd weighs both per channel.
      __m128i px =
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + k)), zero);
      px = _mm_unpacklo_epi16(px, _mm_srli_si128(px, 8));
      const __m128i wv = _mm_set1_epi32(static_cast<std::uint16_t>(w[k]) |
                                        static_cast<std::int32_t>(w[k + 1]) << 16);
      acc = _mm_add_epi32(acc, _mm_madd_epi16(px, wv));
    }
    if (k < n) {
      __m128i px = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(p[k])), zero);
      px = _mm_unpacklo_epi16(px, zero);
      acc =
          _mm_add_epi32(acc, _mm_madd_epi16(px, _mm_set1_epi32(static_cast<std::uint16_t>(w[k]))));
    }
    acc = _mm_srai_epi32(acc, kShift);
    acc = _mm_packs_epi32(acc, acc);
    out[x] = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(acc, acc)));
#else
    std::int32_t sum[4] = {kHalf, kHalf, kHalf, kHalf};
    for (std::int32_t k = 0; k < n; ++k)
      for (int c = 0; c < 4; ++c)
        sum[c] += w[k] * static_cast<std::int32_t>(p[k] >> (8 * c) & 0xFF);
    std::uint32_t v = 0;
    for (int c = 0; c < 4; ++c)
      v |= static_cast<std::uint32_t>(clampByte(sum[c] >> kShift)) << (8 * c);
    out[x] = v;
#endif
  }
}

void Resampler::vertical(std::int32_t y) {
  const std::int32_t n = v_.count[y];
  const std::int16_t* w = &v_.weights[static_cast<std::size_t>(y) * v_.stride];
  const std::uint8_t** r = rowPointers_.data();
  for (std::int32_t k = 0; k < n; ++k) {
    r[k] = reinterpret_cast<const std::uint8_t*>(
        &ring_[static_cast<std::size_t>((v_.start[y] + k) % ringRows_) * dst_.width]);
  }
  auto* out = reinterpret_cast<std::uint8_t*>(dst_.row(y));
  const std::int32_t bytes = dst_.width * 4;
  std::int32_t i = 0;
#if defined(GFX_HAVE_AVX2)
  if (avx2_) i = avx2::vertical(r, w, n, out, bytes);
#endif
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 8 <= bytes; i += 8) {
    __m128i lo = _mm_set1_epi32(kHalf), hi = lo;
    std::int32_t k = 0;
    for (; k + 1 < n; k += 2) {
      // Eight bytes of two rows interleaved, so that one madd weighs both rows.
      const __m128i a =
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r[k] + i)), zero);
      const __m128i b =
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r[k + 1] + i)), zero);
      const __m128i wv = _mm_set1_epi32(static_cast<std::uint16_t>(w[k]) |
                                        static_cast<std::int32_t>(w[k + 1]) << 16);
      lo = _mm_add_epi32(lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), wv));
      hi = _mm_add_epi32(hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), wv));
    }
    if (k < n) {
      const __m128i a =
          _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(r[k] + i)), zero);
      const __m128i wv = _mm_set1_epi32(static_cast<std::uint16_t>(w[k]));
      lo = _mm_add_epi32(lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, zero), wv));
      hi = _mm_add_epi32(hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, zero), wv));
    }
    const __m128i packed = _mm_packs_epi32(_mm_srai_epi32(lo, kShift), _mm_srai_epi32(hi, kShift));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(packed, packed));
  }
#endif
  for (; i < bytes; ++i) {
    std::int32_t sum = kHalf;
    for (std::int32_t k = 0; k < n; ++k) sum += w[k] * r[k][i];
    out[i] = clampByte(sum >> kShift);
  }
}

bool resample(const BitmapView& src, const BitmapView& dst) {
  if (!src.valid() || !dst.valid()) return false;
  try {
    bool opaque = true;
    for (std::int32_t y = 0; y < src.height && opaque; ++y) {
      const std::uint32_t* row = src.row(y);
      for (std::int32_t x = 0; x < src.width; ++x) {
        if ((row[x] >> 24) != 0xFF) {
          opaque = false;
          break;
        }
      }
    }
    Resampler resampler(src.width, src.height, dst);
    if (opaque) {
      for (std::int32_t y = 0; y < src.height && !resampler.done(); ++y)
        resampler.pushRow(src.row(y));
      return true;
    }
    // Premultiplied in, so that transparent pixels weigh nothing; straight alpha out.
    std::vector<std::uint32_t> row(src.width);
    for (std::int32_t y = 0; y < src.height && !resampler.done(); ++y) {
      const std::uint32_t* in = src.row(y);
      for (std::int32_t x = 0; x < src.width; ++x) {
        const std::uint32_t p = in[x], a = p >> 24;
        std::uint32_t v = a << 24;
        for (int shift = 0; shift <= 16; shift += 8)
          v |= ((p >> shift & 0xFF) * a + 127) / 255 << shift;
        row[x] = v;
      }
      resampler.pushRow(row.data());
    }
    for (std::int32_t y = 0; y < dst.height; ++y) {
      std::uint32_t* out = dst.row(y);
      for (std::int32_t x = 0; x < dst.width; ++x) {
        const std::uint32_t p = out[x], a = p >> 24;
        if (a == 0) {
          out[x] = 0;
          continue;
        }
        std::uint32_t v = a << 24;
        for (int shift = 0; shift <= 16; shift += 8) {
          const std::uint32_t c = std::min(p >> shift & 0xFF, a);
          v |= (c * 255 + a / 2) / a << shift;
        }
        out[x] = v;
      }
    }
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace gfx
