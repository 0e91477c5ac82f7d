#pragma once
// libvips has no BMP saver of its own, so BMP files are written here.

#include <cstdint>
#include <vector>

#include "gfx/bitmap.h"

namespace gfx {

// A 32-bit BMP with a version 4 header whose bit masks keep the alpha channel, rows bottom-up.
bool writeBmp(const BitmapView& bitmap, std::vector<std::uint8_t>& out);

}  // namespace gfx
