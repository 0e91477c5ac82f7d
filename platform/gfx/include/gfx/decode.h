#pragma once
// Decoding of picture files to 32-bit pixels: 0xAARRGGBB, not premultiplied, top row first
// (in memory a pixel's bytes lie as blue, green, red, alpha).
//
// Read: JPEG, PNG, GIF (one frame of an animated one at a time), BMP, TIFF, WebP, and HEIC/AVIF
// when the installed libvips was built with a HEIF reader. The format is told by the first bytes,
// never by the file name. EMF and WMF have no reader: they fail with Status::Unsupported and a
// log line that names them. Pictures are turned upright by their EXIF orientation.
//
// Every failure writes one line through the log library and leaves the Picture empty.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gfx/bitmap.h"

namespace gfx {

// Pictures larger than this are refused before any pixel is decoded (a 30000 x 30000 header in a
// small file must not make us allocate gigabytes): 150 megapixels, and 65535 pixels a side.
inline constexpr std::int64_t kMaxPicturePixels = 150'000'000;
inline constexpr std::int32_t kMaxPictureSide = 65'535;
// Files and memory blocks above 1 GiB are refused without being read.
inline constexpr std::int64_t kMaxPictureBytes = std::int64_t{1} << 30;

enum class PictureFormat { Unknown, Jpeg, Png, Gif, Bmp, Tiff, Webp, Heif, Emf, Wmf };

enum class DecodeStatus {
  Ok,
  NotFound,     // the file cannot be opened or read
  Unsupported,  // not a picture, or a kind without a reader here (EMF, WMF, HEIF without reader)
  Corrupt,      // a known kind whose bytes are truncated or broken
  TooLarge,     // above kMaxPicturePixels, kMaxPictureSide or kMaxPictureBytes
  NoMemory,
};

// What the file says about itself; sizes are those of the upright picture (after the EXIF
// orientation is applied).
struct PictureInfo {
  PictureFormat format = PictureFormat::Unknown;
  std::int32_t width = 0;
  std::int32_t height = 0;
  // Pixels per inch; 96 when the file gives none (the convention of the Windows graphics layer).
  double xDpi = 96.0;
  double yDpi = 96.0;
  bool hasAlpha = false;
  // EXIF orientation tag as stored (1 to 8; 1 when absent). Already applied to the pixels.
  std::int32_t orientation = 1;
  // Frames of an animated picture (GIF, WebP) or pages of a TIFF; 1 for the rest.
  std::int32_t frameCount = 1;
  // Display time of each frame of an animated picture in milliseconds; empty otherwise.
  std::vector<std::int32_t> frameDelays;
  // EXIF date and time texts as stored ("YYYY:MM:DD HH:MM:SS"), empty when absent:
  // DateTimeOriginal (when the picture was taken) and DateTime (tag 306, last changed).
  std::string dateTimeOriginal;
  std::string dateTime;
};

struct Picture {
  PictureInfo info;  // of the source, even when decoded smaller
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;  // width * height, rows packed (stride width * 4)

  BitmapView view() {
    return {reinterpret_cast<std::uint8_t*>(pixels.data()), width, height, width * 4};
  }
  bool empty() const { return pixels.empty(); }
};

struct DecodeOptions {
  // When both are > 0 the picture is decoded to fit inside fitWidth x fitHeight with its
  // proportions kept, never enlarged, and shrunk while decoding where the format allows it
  // (JPEG DCT scaling, WebP and HEIF thumbnails): the cheap way to a thumbnail of a big photo.
  std::int32_t fitWidth = 0;
  std::int32_t fitHeight = 0;
  // Frame of an animated picture or page of a TIFF, from 0; out of range fails (Corrupt).
  std::int32_t frame = 0;
};

// What the first bytes say the data is.
PictureFormat sniffFormat(const void* data, std::size_t size);
const char* formatName(PictureFormat format);
const char* statusText(DecodeStatus status);

// Header only: size, resolution, orientation, EXIF dates, frame count; no pixels decoded.
DecodeStatus probeFile(const std::filesystem::path& file, PictureInfo& info);
DecodeStatus probeMemory(const void* data, std::size_t size, PictureInfo& info);

DecodeStatus decodeFile(const std::filesystem::path& file, Picture& picture,
                        const DecodeOptions& options = {});
DecodeStatus decodeMemory(const void* data, std::size_t size, Picture& picture,
                          const DecodeOptions& options = {});

}  // namespace gfx
