#include "gfx/encode.h"

#include <vips/vips.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include <jotter/jotter.h>

#include "bmp_writer.h"
#include "gfx/startup.h"

namespace gfx {
namespace {

struct Unref {
  void operator()(VipsImage* image) const { g_object_unref(image); }
};
using ImagePtr = std::unique_ptr<VipsImage, Unref>;

void logVipsError(const char* what) {
  OvraPrintfTextA("gfx: %s failed: %s", what, vips_error_buffer());
  vips_error_clear();
}

// libvips wants packed R, G, B(, A) bytes; JPEG has no alpha, so it gets three bands.
ImagePtr toVips(const BitmapView& bitmap, int bands) {
  const std::size_t width = static_cast<std::size_t>(bitmap.width);
  const std::size_t height = static_cast<std::size_t>(bitmap.height);
  std::vector<std::uint8_t> packed(width * height * bands);
  std::uint8_t* p = packed.data();
  for (std::int32_t y = 0; y < bitmap.height; ++y) {
    const std::uint32_t* row = bitmap.row(y);
    for (std::size_t x = 0; x < width; ++x) {
      const std::uint32_t v = row[x];
      *p++ = static_cast<std::uint8_t>(v >> 16);
      *p++ = static_cast<std::uint8_t>(v >> 8);
      *p++ = static_cast<std::uint8_t>(v);
      if (bands == 4) *p++ = static_cast<std::uint8_t>(v >> 24);
    }
  }
  VipsImage* image = vips_image_new_from_memory_copy(packed.data(), packed.size(), bitmap.width,
                                                     bitmap.height, bands, VIPS_FORMAT_UCHAR);
  if (image == nullptr) {
    logVipsError("wrapping a bitmap");
    return nullptr;
  }
  image->Type = VIPS_INTERPRETATION_sRGB;
  return ImagePtr(image);
}

bool saveWithVips(const BitmapView& bitmap, ImageFormat format, int quality,
                  std::vector<std::uint8_t>& out) {
  if (startup() != 0) return false;
  ImagePtr image = toVips(bitmap, format == ImageFormat::Jpeg ? 3 : 4);
  if (!image) return false;
  void* buffer = nullptr;
  std::size_t length = 0;
  int rc = -1;
  switch (format) {
    case ImageFormat::Jpeg:
      rc = vips_jpegsave_buffer(image.get(), &buffer, &length, "Q", std::max(quality, 1), "strip",
                                TRUE, nullptr);
      break;
    case ImageFormat::Gif:
      rc = vips_gifsave_buffer(image.get(), &buffer, &length, nullptr);
      break;
    case ImageFormat::Tiff:
      rc = vips_tiffsave_buffer(image.get(), &buffer, &length, "compression",
                                VIPS_FOREIGN_TIFF_COMPRESSION_LZW, "strip", TRUE, nullptr);
      break;
    case ImageFormat::Png:
      rc = vips_pngsave_buffer(image.get(), &buffer, &length, "strip", TRUE, nullptr);
      break;
    case ImageFormat::Bmp:
      return false;
  }
  if (rc != 0 || buffer == nullptr) {
    logVipsError("encoding a picture");
    g_free(buffer);
    return false;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  bool ok = true;
  try {
    out.assign(bytes, bytes + length);
  } catch (...) {
    ok = false;
  }
  g_free(buffer);
  return ok;
}

}  // namespace

std::optional<ImageFormat> encoderForMime(std::string_view mime) {
  if (mime == "image/jpeg") return ImageFormat::Jpeg;
  if (mime == "image/bmp") return ImageFormat::Bmp;
  if (mime == "image/gif") return ImageFormat::Gif;
  if (mime == "image/tiff") return ImageFormat::Tiff;
  if (mime == "image/png") return ImageFormat::Png;
  return std::nullopt;
}

bool encode(const BitmapView& bitmap, ImageFormat format, int quality,
            std::vector<std::uint8_t>& out) {
  if (!bitmap.valid()) return false;
  quality = std::clamp(quality, 0, 100);
  try {
    if (format == ImageFormat::Bmp) return writeBmp(bitmap, out);
    return saveWithVips(bitmap, format, quality, out);
  } catch (...) {  // out of memory for the packed copy
    return false;
  }
}

bool encodeToFile(const BitmapView& bitmap, ImageFormat format, int quality,
                  const std::filesystem::path& file) {
  if (file.empty()) return false;
  std::vector<std::uint8_t> bytes;
  if (!encode(bitmap, format, quality, bytes)) return false;
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  return written && closed;
}

}  // namespace gfx
