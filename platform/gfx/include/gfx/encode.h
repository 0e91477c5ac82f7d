#pragma once
// Encoding of 32-bit bitmaps to picture files.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "gfx/bitmap.h"

namespace gfx {

enum class ImageFormat { Jpeg, Bmp, Gif, Tiff, Png };

// The encoder for a MIME type ("image/jpeg", "image/bmp", "image/gif", "image/tiff",
// "image/png"), or none.
std::optional<ImageFormat> encoderForMime(std::string_view mime);

// quality 0..100 (clamped) is used by JPEG; the lossless formats accept and ignore it. JPEG drops
// the alpha channel; BMP, GIF, TIFF and PNG keep it (GIF as on/off transparency).
bool encode(const BitmapView& bitmap, ImageFormat format, int quality,
            std::vector<std::uint8_t>& out);
// Encodes, then writes the file in one go (created or truncated).
bool encodeToFile(const BitmapView& bitmap, ImageFormat format, int quality,
                  const std::filesystem::path& file);

}  // namespace gfx
