#include "gfx/bitmap.h"
#include "gfx/draw.h"

#include <algorithm>
#include <cstdlib>

namespace gfx {

bool BitmapView::valid() const {
  return pixels != nullptr && width > 0 && height > 0 &&
         std::abs(static_cast<std::int64_t>(stride)) >= static_cast<std::int64_t>(width) * 4;
}

// Integer form of the non-premultiplied over operator: with A = 255 a, the result alpha times
// 255 * 255 is den = As * 255 + Ad * (255 - As), and each colour is num / den. Both are rounded to
// the nearest integer (colour halves upwards); den never reaches a tie because 255 is odd.
std::uint32_t blendPixel(std::uint32_t dst, std::uint32_t src) {
  const std::uint32_t as = src >> 24;
  if (as == 0) return dst;
  if (as == 255) return src;
  const std::uint32_t ad = dst >> 24;
  const std::uint32_t sw = as * 255;              // weight of the source colour
  const std::uint32_t dw = ad * (255 - as);       // weight of the destination colour
  const std::uint32_t den = sw + dw;              // > 0 because as > 0
  std::uint32_t out = ((den + 127) / 255) << 24;  // alpha
  for (int shift = 0; shift <= 16; shift += 8) {
    const std::uint32_t cs = (src >> shift) & 0xFF;
    const std::uint32_t cd = (dst >> shift) & 0xFF;
    const std::uint32_t num = cs * sw + cd * dw;
    out |= ((2 * num + den) / (2 * den)) << shift;
  }
  return out;
}

bool blendOver(const BitmapView& dst, const BitmapView& src, std::int32_t x, std::int32_t y) {
  if (!dst.valid() || !src.valid()) return false;
  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t right =
      std::min<std::int64_t>(static_cast<std::int64_t>(x) + src.width, dst.width);
  const std::int64_t bottom =
      std::min<std::int64_t>(static_cast<std::int64_t>(y) + src.height, dst.height);
  for (std::int64_t dy = top; dy < bottom; ++dy) {
    std::uint32_t* d = dst.row(static_cast<std::int32_t>(dy));
    const std::uint32_t* s = src.row(static_cast<std::int32_t>(dy - y));
    for (std::int64_t dx = left; dx < right; ++dx) d[dx] = blendPixel(d[dx], s[dx - x]);
  }
  return true;
}

}  // namespace gfx
