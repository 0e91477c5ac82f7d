#pragma once
// Decoding straight to a smaller size: the one-pass way from a big photo to an output copy.
//
// JPEG files are read with libjpeg-turbo's DCT scaling (1/8, 1/4, 1/2) to the smallest reduction
// that still covers the wanted size, row by row into the cubic resampler of gfx/resample.h, so a
// 24-megapixel photo is neither fully decoded nor held whole in memory. Other kinds are decoded
// whole (gfx/decode.h) and resampled. Either way the picture comes out upright (EXIF orientation
// applied) at exactly the chosen size. Every call is independent and safe from any thread.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "gfx/decode.h"

namespace gfx {

// Told the upright size of the picture, picks the size to deliver; false refuses (the decode
// then stops with DecodeStatus::Ok and an empty picture whose info is filled in).
using SizeChooser = std::function<bool(std::int32_t width, std::int32_t height,
                                       std::int32_t& outWidth, std::int32_t& outHeight)>;

DecodeStatus decodeFileScaled(const std::filesystem::path& file, const SizeChooser& choose,
                              Picture& picture);
DecodeStatus decodeMemoryScaled(const void* data, std::size_t size, const SizeChooser& choose,
                                Picture& picture);

// JPEG encoding of the rows as they lie in memory (no repacking), with the resolution written
// into the JFIF header; quality 0..100 is clamped. False when out of memory.
bool encodeJpeg(const BitmapView& bitmap, int quality, double xDpi, double yDpi,
                std::vector<std::uint8_t>& out);

}  // namespace gfx
