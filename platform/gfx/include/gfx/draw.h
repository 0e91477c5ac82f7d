#pragma once
// Drawing of 32-bit bitmaps onto each other.

#include <cstdint>

#include "gfx/bitmap.h"

namespace gfx {

enum class Interpolation {
  Nearest,      // nearest neighbour
  Bilinear,     // bilinear from the four nearest pixels (the default)
  HighQuality,  // area-averaging when shrinking, bilinear when enlarging
};

// Source-over of one non-premultiplied pixel onto another, exactly:
//   a = as + ad (1 - as);  c = (cs as + cd ad (1 - as)) / a  (0 when a = 0),
// every result rounded to the nearest 8-bit value. A source alpha of 0 leaves dst as it is.
std::uint32_t blendPixel(std::uint32_t dst, std::uint32_t src);

// Draws src unscaled with its top-left corner at (x, y) of dst, clipped, source over dst.
// False for an invalid view.
bool blendOver(const BitmapView& dst, const BitmapView& src, std::int32_t x, std::int32_t y);

// Draws the whole of src scaled to the rectangle (x, y, width, height) of dst, clipped, source
// over dst. False for an invalid view, an empty rectangle or when out of memory.
bool drawScaled(const BitmapView& dst, std::int32_t x, std::int32_t y, std::int32_t width,
                std::int32_t height, const BitmapView& src,
                Interpolation mode = Interpolation::Bilinear);

}  // namespace gfx
