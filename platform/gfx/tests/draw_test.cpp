#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "gfx/draw.h"

namespace {

// A small bitmap owned by the test; the stride may carry padding to catch code that assumes
// packed rows.
struct Canvas {
  Canvas(int w, int h, std::uint32_t fill, int padPixels = 0)
      : width(w), height(h), strideWords(w + padPixels), data(strideWords * h, fill) {}
  gfx::BitmapView view() {
    return {reinterpret_cast<std::uint8_t*>(data.data()), width, height, strideWords * 4};
  }
  std::uint32_t at(int x, int y) const { return data[y * strideWords + x]; }
  int width, height, strideWords;
  std::vector<std::uint32_t> data;
};

struct BlendCase {
  std::uint32_t dst, src, expected;
};

// Worked by hand from a = as + ad (1 - as), c = (cs as + cd ad (1 - as)) / a, rounded.
TEST(GfxBlend, HandComputedPixels) {
  const BlendCase cases[] = {
      {0xFF0000FF, 0x80FF0000, 0xFF80007F},  // half red over opaque blue: 128, 255*127/255
      {0x800000FF, 0x80FF0000, 0xC0AA0055},  // a = 191.75 -> 192, r = 170.2, b = 84.8
      {0x00123456, 0x40808080, 0x40808080},  // over transparent: the source as it is
      {0x00ABCDEF, 0x00FFFFFF, 0x00ABCDEF},  // transparent source leaves dst, colour included
      {0x7F010203, 0xFF102030, 0xFF102030},  // opaque source replaces
      {0xFF000000, 0x01FFFFFF, 0xFF010101},  // faintest white on black
      {0x10FFFFFF, 0xF0000000, 0xF1010101},  // a = 240.9 -> 241, c = 0.996 -> 1
      {0x00000000, 0x00000000, 0x00000000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gfx::blendPixel(c.dst, c.src), c.expected)
        << std::hex << "dst " << c.dst << " src " << c.src;
  }
}

// Every pair of alphas against the formula in double precision, for a few colour pairs.
TEST(GfxBlend, MatchesFormulaForAllAlphaPairs) {
  const std::uint32_t colours[][2] = {
      {0xFF8001, 0x00FF7F}, {0x000000, 0xFFFFFF}, {0x123456, 0xFEDCBA}};
  for (const auto& pair : colours) {
    for (std::uint32_t as = 1; as < 255; ++as) {
      for (std::uint32_t ad = 0; ad < 256; ++ad) {
        const std::uint32_t src = (as << 24) | pair[0], dst = (ad << 24) | pair[1];
        const double fs = as / 255.0, fd = ad / 255.0;
        const double fo = fs + fd * (1 - fs);
        std::uint32_t expected = static_cast<std::uint32_t>(std::floor(fo * 255 + 0.5)) << 24;
        for (int shift = 0; shift <= 16; shift += 8) {
          const double cs = ((src >> shift) & 0xFF) / 255.0, cd = ((dst >> shift) & 0xFF) / 255.0;
          const double c = (cs * fs + cd * fd * (1 - fs)) / fo;
          expected |= static_cast<std::uint32_t>(std::floor(c * 255 + 0.5 + 1e-9)) << shift;
        }
        ASSERT_EQ(gfx::blendPixel(dst, src), expected) << std::hex << dst << " " << src;
      }
    }
  }
}

TEST(GfxBlend, OverClipsToDestinationAndHonoursOffsetAndStride) {
  Canvas dst(4, 3, 0xFF000000, 2);
  Canvas src(3, 2, 0xFFFFFFFF, 1);
  src.data[1] = 0x00FFFFFF;  // (1, 0) transparent
  ASSERT_TRUE(gfx::blendOver(dst.view(), src.view(), 2, 2));
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      const bool covered = x >= 2 && y == 2 && x != 3;  // (3, 2) lies under the transparent pixel
      EXPECT_EQ(dst.at(x, y), covered ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
    }
  }
  EXPECT_EQ(dst.data[4], 0xFF000000u) << "padding must stay untouched";
  ASSERT_TRUE(gfx::blendOver(dst.view(), src.view(), -3, 0));  // wholly outside: nothing
  EXPECT_EQ(dst.at(0, 0), 0xFF000000u);
  EXPECT_FALSE(gfx::blendOver(dst.view(), gfx::BitmapView{}, 0, 0));
}

TEST(GfxDraw, NearestDoublingMakesBlocks) {
  Canvas src(2, 2, 0);
  src.data = {0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFFFFFFFF};
  Canvas dst(4, 4, 0xFF000000);
  ASSERT_TRUE(gfx::drawScaled(dst.view(), 0, 0, 4, 4, src.view(), gfx::Interpolation::Nearest));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(dst.at(x, y), src.at(x / 2, y / 2)) << x << "," << y;
    }
  }
}

// A uniform picture stays uniform under every interpolation; a half-transparent one is then
// blended by the exact rule, so the results are known exactly (up to premultiplied rounding).
TEST(GfxDraw, UniformSourceScalesToUniformResult) {
  for (auto mode : {gfx::Interpolation::Nearest, gfx::Interpolation::Bilinear,
                    gfx::Interpolation::HighQuality}) {
    for (std::uint32_t colour : {0xFF336699u, 0x80FF0000u}) {
      Canvas src(5, 3, colour);
      Canvas dst(7, 9, 0xFF0000FF, 1);
      ASSERT_TRUE(gfx::drawScaled(dst.view(), 0, 0, 7, 9, src.view(), mode));
      const std::uint32_t expected = gfx::blendPixel(0xFF0000FF, colour);
      for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 7; ++x) {
          ASSERT_EQ(dst.at(x, y), expected) << x << "," << y;
        }
      }
    }
  }
}

TEST(GfxDraw, ShrinkingAveragesAndTransparentSourceLeavesDestination) {
  Canvas stripes(4, 4, 0xFF000000);
  for (int y = 0; y < 4; ++y) stripes.data[y * 4 + 1] = stripes.data[y * 4 + 3] = 0xFFFFFFFF;
  Canvas dst(1, 1, 0);
  ASSERT_TRUE(
      gfx::drawScaled(dst.view(), 0, 0, 1, 1, stripes.view(), gfx::Interpolation::HighQuality));
  const int grey = dst.at(0, 0) & 0xFF;
  EXPECT_NEAR(grey, 128, 2);
  EXPECT_EQ(dst.at(0, 0) >> 24, 0xFFu);

  Canvas clear(3, 3, 0x00FFFFFF);
  Canvas target(6, 6, 0xFF204060);
  ASSERT_TRUE(gfx::drawScaled(target.view(), 0, 0, 6, 6, clear.view()));
  for (auto v : target.data) ASSERT_EQ(v, 0xFF204060u);
}

TEST(GfxDraw, BottomUpSourceAndBadArguments) {
  Canvas src(1, 2, 0);
  src.data = {0xFFFF0000, 0xFF00FF00};  // memory order: red row, green row
  // Bottom-up view of the same memory: its top row is the green one.
  gfx::BitmapView flipped{reinterpret_cast<std::uint8_t*>(&src.data[1]), 1, 2, -4};
  Canvas dst(2, 4, 0);
  ASSERT_TRUE(gfx::drawScaled(dst.view(), 0, 0, 2, 4, flipped, gfx::Interpolation::Nearest));
  EXPECT_EQ(dst.at(0, 0), 0xFF00FF00u);
  EXPECT_EQ(dst.at(1, 3), 0xFFFF0000u);

  EXPECT_FALSE(gfx::drawScaled(dst.view(), 0, 0, 0, 4, src.view()));
  gfx::BitmapView narrow = src.view();
  narrow.stride = 2;  // rows closer than a row's bytes
  EXPECT_FALSE(gfx::drawScaled(dst.view(), 0, 0, 2, 4, narrow));
}

}  // namespace
