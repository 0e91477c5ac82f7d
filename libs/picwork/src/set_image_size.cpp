// Shrinking a photo to an output copy: the publish pipeline's hot path.

#include <cmath>
#include <string>

#include <gfx/scaled_decode.h>

#include "log.h"
#include "picwork/picwork.h"
#include "save.h"

namespace picwork {

Size ScaleToFit(std::int32_t w, std::int32_t h, std::int32_t W, std::int32_t H) {
  if (w <= W && h <= H) return {w, h};
  // Exact products; the quotient in floating point, truncated toward zero.
  const std::int64_t tall = std::int64_t{h} * W, wide = std::int64_t{w} * H;
  if (tall > wide) return {static_cast<std::int32_t>(std::trunc(double(wide) / h)), H};
  return {W, static_cast<std::int32_t>(std::trunc(double(tall) / w))};
}

}  // namespace picwork

extern "C" std::int32_t OvraSetImageSize(const char* source, const char* destination,
                                         std::int32_t maxWidth, std::int32_t maxHeight,
                                         std::int32_t type, std::int32_t quality) {
  using namespace picwork;
  try {
    if (source == nullptr || *source == '\0') return 0;
    if (ExtensionOf(type) == nullptr) return 0;  // no encoder: decoding would be wasted
    // The decoder shrinks while it reads (JPEG DCT scaling) straight to the size ScaleToFit
    // gives, and turns the picture upright by its EXIF orientation first.
    Size wanted;
    auto choose = [&](std::int32_t w, std::int32_t h, std::int32_t& outW, std::int32_t& outH) {
      wanted = ScaleToFit(w, h, maxWidth, maxHeight);
      outW = wanted.width;
      outH = wanted.height;
      return wanted.width > 0 && wanted.height > 0;
    };
    gfx::Picture picture;
    if (gfx::decodeFileScaled(source, choose, picture) != gfx::DecodeStatus::Ok) return 0;
    if (picture.empty()) {
      Log("error size: %dx%d", wanted.width, wanted.height);
      return 0;
    }
    const std::string target =
        destination != nullptr && *destination != '\0' ? destination : source;
    return SaveBitmap(picture.view(), target, type, quality, picture.info.xDpi, picture.info.yDpi)
               ? 1
               : 0;
  } catch (...) {
    return 0;
  }
}
