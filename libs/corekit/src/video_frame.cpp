#include "corekit/video_frame.h"

#include <gfx/draw.h>
#include <gfx/encode.h>

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include <jotter/jotter.h>

#include "corekit/local_memory.h"
#include "corekit/memory_stream.h"

namespace {

constexpr std::int64_t kMaxBytes = std::numeric_limits<std::int32_t>::max();

// width * height * 4 without overflow; -1 when it does not fit the record's 32-bit size.
std::int64_t frameBytes(std::int32_t width, std::int32_t height) {
  const std::int64_t bytes = static_cast<std::int64_t>(width) * height * 4;
  return bytes > kMaxBytes ? -1 : bytes;
}

void logAllocationFailure(std::int32_t width, std::int32_t height) {
  OvraPrintfTextA("Failed to Malloc memory(%" PRId64 ")",
                  static_cast<std::int64_t>(width) * height * 4);
}

gfx::BitmapView view(const tagVideoFrame* frame) {
  return {frame->pixels, frame->width, frame->height, frame->stride};
}

bool hasPixels(const tagVideoFrame* frame) {
  return frame != nullptr && frame->pixels != nullptr;
}

const char* mimeType(EncoderType type) {
  switch (type) {
    case ENCODER_JPEG:
      return "image/jpeg";
    case ENCODER_BMP:
      return "image/bmp";
    case ENCODER_GIF:
      return "image/gif";
    case ENCODER_TIFF:
      return "image/tiff";
    case ENCODER_PNG:
      return "image/png";
  }
  return "";
}

}  // namespace

extern "C" bool mallocFrame(tagVideoFrame* frame, std::int32_t width, std::int32_t height) {
  if (frame == nullptr) return false;
  std::memset(frame, 0, sizeof *frame);
  if (width <= 0 || height <= 0) return false;
  const std::int64_t bytes = frameBytes(width, height);
  void* pixels = bytes < 0 ? nullptr : std::calloc(static_cast<std::size_t>(bytes), 1);
  if (pixels == nullptr) {
    logAllocationFailure(width, height);
    return false;
  }
  // calloc gives zero pages cheaply; the block still belongs to the shared heap's allocator.
  frame->pixels = static_cast<std::uint8_t*>(pixels);
  frame->width = width;
  frame->height = height;
  frame->stride = width * 4;
  frame->size = static_cast<std::int32_t>(bytes);
  return true;
}

extern "C" bool reallocFrame(tagVideoFrame* frame, std::int32_t width, std::int32_t height) {
  if (frame == nullptr || width <= 0 || height <= 0) return false;
  if (frame->pixels == nullptr) return mallocFrame(frame, width, height);
  const std::int64_t bytes = frameBytes(width, height);
  if (bytes != frame->size) {
    void* grown =
        bytes < 0 ? nullptr : ReallocLocalMemory(frame->pixels, static_cast<std::int32_t>(bytes));
    if (grown == nullptr) {  // the old buffer is still valid and still the frame's
      logAllocationFailure(width, height);
      return false;
    }
    frame->pixels = static_cast<std::uint8_t*>(grown);
    frame->size = static_cast<std::int32_t>(bytes);
  }
  frame->width = width;
  frame->height = height;
  frame->stride = width * 4;
  return true;
}

extern "C" bool freeFrame(tagVideoFrame* frame) {
  if (frame == nullptr) return false;
  FreeLocalMemory(frame->pixels);
  std::memset(frame, 0, sizeof *frame);
  return true;
}

extern "C" bool fillFrame(tagVideoFrame* frame, std::uint32_t value) {
  if (frame == nullptr) return false;
  const gfx::BitmapView v = view(frame);
  if (!v.valid()) return true;  // nothing to fill
  for (std::int32_t y = 0; y < v.height; ++y) {
    std::uint32_t* row = v.row(y);
    for (std::int32_t x = 0; x < v.width; ++x) row[x] = value;
  }
  return true;
}

extern "C" bool copyFrame(tagVideoFrame* dst, const tagVideoFrame* src) {
  if (!hasPixels(dst) || !hasPixels(src) || dst->width != src->width ||
      dst->height != src->height) {
    return false;
  }
  const gfx::BitmapView d = view(dst), s = view(src);
  if (!d.valid() || !s.valid()) return false;
  // Only the pixels of a row: padding past width * 4 may not exist after the last row.
  const std::size_t rowBytes = static_cast<std::size_t>(d.width) * 4;
  for (std::int32_t y = 0; y < d.height; ++y) std::memmove(d.row(y), s.row(y), rowBytes);
  return true;
}

extern "C" bool resizeFrame(tagVideoFrame* dst, const tagVideoFrame* src) {
  if (!hasPixels(dst) || !hasPixels(src)) return false;
  try {
    return gfx::drawScaled(view(dst), 0, 0, dst->width, dst->height, view(src));
  } catch (...) {
    return false;
  }
}

extern "C" bool blendFrame(tagVideoFrame* dst, const tagVideoFrame* src) {
  if (!hasPixels(dst) || !hasPixels(src)) return false;
  return gfx::blendOver(view(dst), view(src), 0, 0);
}

extern "C" bool saveFrameToFile(const tagVideoFrame* frame, const char* path, EncoderType type,
                                std::int32_t quality) {
  if (!hasPixels(frame) || path == nullptr || *path == '\0') return false;
  try {
    const auto format = gfx::encoderForMime(mimeType(type));
    return format && gfx::encodeToFile(view(frame), *format, quality, path);
  } catch (...) {
    return false;
  }
}

extern "C" bool saveFrameToStream(const tagVideoFrame* frame, CVXMemoryStream* stream,
                                  EncoderType type, std::int32_t quality) {
  if (!hasPixels(frame) || stream == nullptr) return false;
  try {
    const auto format = gfx::encoderForMime(mimeType(type));
    std::vector<std::uint8_t> bytes;
    if (!format || !gfx::encode(view(frame), *format, quality, bytes)) return false;
    if (bytes.size() > static_cast<std::size_t>(kMaxBytes)) return false;
    return stream->Write(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  } catch (...) {
    return false;
  }
}
