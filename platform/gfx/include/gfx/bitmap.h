#pragma once
// A view of 32-bit pixels in caller memory: 0xAARRGGBB, not premultiplied, top row first.

#include <cstdint>

namespace gfx {

struct BitmapView {
  std::uint8_t* pixels = nullptr;  // first byte of the top row
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t stride = 0;  // bytes from one row to the next; negative for bottom-up memory

  bool valid() const;  // pixels, positive size, and rows at least width * 4 bytes apart
  std::uint32_t* row(std::int32_t y) const {
    return reinterpret_cast<std::uint32_t*>(pixels + static_cast<std::intptr_t>(y) * stride);
  }
};

}  // namespace gfx
