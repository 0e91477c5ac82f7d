#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "../src/resampler.h"

namespace {

struct Sizes {
  std::int32_t srcWidth, srcHeight, dstWidth, dstHeight;
};

// Shrinks by the publish ratio and by large and small factors, enlarges, keeps a size, and rows
// narrower than one vector window (which the vector pass must leave to the portable one).
const Sizes kSizes[] = {
    {2560, 48, 1440, 27}, {5120, 40, 160, 2}, {300, 200, 299, 150}, {64, 64, 64, 64},
    {7, 5, 40, 30},       {13, 7, 5, 3},      {9, 9, 4, 4},         {33, 17, 31, 16},
    {1, 1, 3, 3},         {17, 300, 3, 41},
};

std::vector<std::uint32_t> resampled(const std::vector<std::uint32_t>& src, const Sizes& s,
                                     gfx::Resampler::Kernels kernels) {
  std::vector<std::uint32_t> out(static_cast<std::size_t>(s.dstWidth) * s.dstHeight, 0xDEADBEEF);
  const gfx::BitmapView dst{reinterpret_cast<std::uint8_t*>(out.data()), s.dstWidth, s.dstHeight,
                            s.dstWidth * 4};
  gfx::Resampler resampler(s.srcWidth, s.srcHeight, dst, kernels);
  for (std::int32_t y = 0; y < s.srcHeight; ++y)
    resampler.pushRow(&src[static_cast<std::size_t>(y) * s.srcWidth]);
  EXPECT_TRUE(resampler.done());
  return out;
}

// Noise with many pixels at 0 and 255, where the cubic's lobes overshoot and must saturate.
std::vector<std::uint32_t> noise(const Sizes& s, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(s.srcWidth) * s.srcHeight);
  for (std::uint32_t& p : pixels) {
    p = random();
    if (random() % 3 == 0) p = random() % 2 ? 0xFFFFFFFF : 0xFF000000;
  }
  return pixels;
}

TEST(Resampler, FastestPassesGiveThePortableBytes) {
  unsigned seed = 1;
  for (const Sizes& s : kSizes) {
    SCOPED_TRACE(testing::Message()
                 << s.srcWidth << "x" << s.srcHeight << " -> " << s.dstWidth << "x" << s.dstHeight);
    const std::vector<std::uint32_t> src = noise(s, seed++);
    EXPECT_EQ(resampled(src, s, gfx::Resampler::Kernels::Fastest),
              resampled(src, s, gfx::Resampler::Kernels::Portable));
  }
}

TEST(Resampler, FlatColourStaysExactlyFlat) {
  for (const Sizes& s : kSizes) {
    for (auto kernels : {gfx::Resampler::Kernels::Fastest, gfx::Resampler::Kernels::Portable}) {
      SCOPED_TRACE(testing::Message() << s.srcWidth << "x" << s.srcHeight << " -> " << s.dstWidth
                                      << "x" << s.dstHeight);
      const std::vector<std::uint32_t> flat(static_cast<std::size_t>(s.srcWidth) * s.srcHeight,
                                            0xFF3C7FD2);
      for (std::uint32_t p : resampled(flat, s, kernels)) ASSERT_EQ(p, 0xFF3C7FD2u);
    }
  }
}

}  // namespace
