#pragma once
// Writing a bitmap as a picture file of an ImageFileType.

#include <cstdint>
#include <string>

#include <gfx/bitmap.h>

namespace picwork {

// Encodes bitmap as type (quality for JPEG) and writes it to path with the type's extension
// (PathWithExtension). The file appears whole or not at all: it is written under a temporary
// name beside the target and renamed over it. False for a type outside 0..2, an invalid bitmap,
// a failed encoding or a file that cannot be written.
bool SaveBitmap(const gfx::BitmapView& bitmap, const std::string& path, std::int32_t type,
                std::int32_t quality, double xDpi = 96.0, double yDpi = 96.0);

}  // namespace picwork
