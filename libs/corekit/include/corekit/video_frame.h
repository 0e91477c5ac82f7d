#pragma once
// The raw picture record every engine library and the codec library exchange, and its helpers.

#include <cstdint>

class CVXMemoryStream;

// Pixels are 32-bit 0xAARRGGBB values, not premultiplied, top row first; in memory a pixel's
// bytes lie as blue, green, red, alpha. The record owns its pixel buffer, which corekit allocates.
struct tagVideoFrame {
  std::uint8_t* pixels;
  std::int32_t width;
  std::int32_t height;
  std::int32_t stride;     // bytes from one row to the next (width * 4 for frames allocated here)
  std::int32_t size;       // bytes allocated for the pixels
  std::int64_t startTime;  // presentation time, 100 ns units
  std::int64_t endTime;    // time the next frame is due, 100 ns units
};

// Encoders for saving frames, found by their MIME type.
enum EncoderType : std::int32_t {
  ENCODER_JPEG = 0,  // "image/jpeg"
  ENCODER_BMP = 1,   // "image/bmp"
  ENCODER_GIF = 2,   // "image/gif"
  ENCODER_TIFF = 3,  // "image/tiff"
  ENCODER_PNG = 4,   // "image/png"
};

extern "C" {
// Clears the record, then allocates width * height * 4 zero bytes (transparent black) with
// stride width * 4. Fails with a cleared record for a width or height <= 0, and when the buffer
// cannot be had (also when the byte count does not fit in 32 bits), logging
// "Failed to Malloc memory(<bytes>)".
bool mallocFrame(tagVideoFrame* frame, std::int32_t width, std::int32_t height);
// Changes the frame's size; keeps the old bytes up to the smaller size, new bytes are not
// cleared; the times are kept. When the buffer cannot grow the frame is left exactly as it was
// and the call fails. A frame without pixels is allocated as by mallocFrame.
bool reallocFrame(tagVideoFrame* frame, std::int32_t width, std::int32_t height);
// Frees the pixels and clears the record.
bool freeFrame(tagVideoFrame* frame);
// Sets every pixel to value (0xAARRGGBB).
bool fillFrame(tagVideoFrame* frame, std::uint32_t value);
// Row by row copy between frames of the same width and height; each side uses its own stride.
bool copyFrame(tagVideoFrame* dst, const tagVideoFrame* src);
// Draws the whole source scaled (bilinear) to exactly dst's size, source over dst.
bool resizeFrame(tagVideoFrame* dst, const tagVideoFrame* src);
// Draws the source unscaled at dst's top-left corner, clipped to dst, source over dst:
// alpha a = as + ad (1 - as), colour c = (cs as + cd ad (1 - as)) / a, rounded to the nearest
// 8-bit value (0 when a = 0); a source pixel with alpha 0 leaves dst as it is.
bool blendFrame(tagVideoFrame* dst, const tagVideoFrame* src);
// Encodes the frame as the EncoderType with quality 0..100 (values outside are clamped; only
// JPEG uses it) to a file (UTF-8 path) or into the stream at its position.
bool saveFrameToFile(const tagVideoFrame* frame, const char* path, EncoderType type,
                     std::int32_t quality);
bool saveFrameToStream(const tagVideoFrame* frame, CVXMemoryStream* stream, EncoderType type,
                       std::int32_t quality);
}
