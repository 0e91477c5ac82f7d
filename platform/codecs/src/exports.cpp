// The flat calls: each catches everything, logs one line and returns its failure value.

#include "codecs-api/codecs.h"
#include "encoder.h"
#include "log.h"
#include "media.h"
#include "testing_hooks.h"

#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

using ovra::codecs::CodecError;
using ovra::codecs::guarded;

namespace {

constexpr std::int32_t kMaxImageSide = 16384;

void clear(OvraFileFormatInfo* info) {
  if (!info) return;
  delete[] info->streams;
  info->streams = nullptr;
  info->streamCount = 0;
}

template <class Open>
OvraMedia* load(const char* what, OvraFileFormatInfo* info, Open&& open) {
  clear(info);
  return guarded<OvraMedia*>(what, nullptr, [&]() -> OvraMedia* {
    OvraMedia* media = open();
    if (info) {
      try {
        media->describe(info);
      } catch (...) {
        delete media;
        throw;
      }
    }
    return media;
  });
}

// Calls body with the media unless the handle is null, which is a no-op returning 0.
template <class Body>
std::int32_t withMedia(const char* what, OvraMedia* media, Body&& body) {
  if (!media) return 0;
  return guarded<std::int32_t>(what, 0, [&] { return body(*media); });
}

void checkImage(const tagVideoFrame* f, const char* which) {
  if (!f->pixels || f->width <= 0 || f->height <= 0 || f->width > kMaxImageSide ||
      f->height > kMaxImageSide || f->stride < f->width * 4 ||
      f->size < static_cast<std::int64_t>(f->stride) * f->height)
    throw CodecError(std::string(which) + " picture " + std::to_string(f->width) + " x " +
                     std::to_string(f->height) + ", stride " + std::to_string(f->stride) + ", " +
                     std::to_string(f->size) + " bytes is not usable");
}

}  // namespace

OvraMedia* ovra::codecs::testing::loadMediaBytes(const void* data, std::size_t size,
                                                 OvraFileFormatInfo* info) {
  return load("cannot open media from memory", info, [&] {
    if (!data || size == 0) throw CodecError("no bytes");
    return OvraMedia::openBytes(data, size);
  });
}

extern "C" {

std::int32_t OvraInitializeCodecs(OvraLogCallback log) {
  ovra::codecs::setLogCallback(log);
  return 1;
}

std::int32_t OvraDeInitializeCodecs(std::int32_t /*reserved*/) {
  ovra::codecs::clearLogCallback();
  return 1;
}

std::int32_t OvraMallocFileFormatInfo(OvraFileFormatInfo** info) {
  if (!info) return 0;
  return guarded<std::int32_t>("cannot allocate format information", 0, [&] {
    *info = new OvraFileFormatInfo{0, nullptr};
    return 1;
  });
}

std::int32_t OvraFreeFileFormatInfo(OvraFileFormatInfo* info) {
  if (!info) return 0;
  clear(info);
  delete info;
  return 1;
}

OvraMedia* OvraLoadMediaFile(const char* path, OvraFileFormatInfo* info) {
  const std::string name = path ? path : "";
  return load(("cannot open media file " + name).c_str(), info, [&] {
    if (name.empty()) throw CodecError("no path");
    return OvraMedia::openFile(path);
  });
}

std::int32_t OvraUnloadMediaFile(OvraMedia* media) {
  if (!media) return 0;
  delete media;
  return 1;
}

std::int32_t OvraResizeVideoSize(std::int32_t* width, std::int32_t* height, OvraMedia* media) {
  return withMedia("cannot set the picture size", media, [&](OvraMedia& m) {
    if (!width || !height) throw CodecError("no size given");
    m.resizeVideo(width, height);
    return 1;
  });
}

std::int32_t OvraGetVideoBuffersize(OvraMedia* media) {
  return withMedia("no picture size", media, [](OvraMedia& m) { return m.videoBufferSize(); });
}

std::int32_t OvraResample(std::int32_t sampleRate, std::int32_t bits, std::int32_t channels,
                          OvraMedia* media) {
  return withMedia("cannot set the sound format", media, [&](OvraMedia& m) {
    m.resample(sampleRate, bits, channels);
    return 1;
  });
}

std::int32_t OvraGetNextVideoFrame(tagVideoFrame* frame, OvraMedia* media,
                                   std::int32_t deinterlace) {
  if (!frame) return 0;
  return withMedia("cannot decode the next picture", media,
                   [&](OvraMedia& m) { return m.nextVideoFrame(frame, deinterlace != 0) ? 1 : 0; });
}

std::int32_t OvraGetNextAudioFrame(tagAudioFrame* frame, OvraMedia* media) {
  if (!frame) return 0;
  return withMedia("cannot decode the next sound", media,
                   [&](OvraMedia& m) { return m.nextAudioFrame(frame) ? 1 : 0; });
}

std::int32_t OvraSeekMediaFile(std::int64_t time, OvraMedia* media) {
  return withMedia("cannot seek", media, [&](OvraMedia& m) {
    m.seek(time);
    return 1;
  });
}

std::int32_t OvraFlushVideo(OvraMedia* media) {
  return withMedia("cannot flush pictures", media, [](OvraMedia& m) {
    m.flushVideo();
    return 1;
  });
}

std::int32_t OvraFlushAudio(OvraMedia* media) {
  return withMedia("cannot flush sound", media, [](OvraMedia& m) {
    m.flushAudio();
    return 1;
  });
}

std::int32_t OvraResizeImage(const tagVideoFrame* source, tagVideoFrame* destination) {
  if (!source || !destination) return 0;
  return guarded<std::int32_t>("cannot resize the picture", 0, [&] {
    checkImage(source, "source");
    checkImage(destination, "destination");
    SwsContext* scaler = sws_getContext(source->width, source->height, AV_PIX_FMT_BGRA,
                                        destination->width, destination->height, AV_PIX_FMT_BGRA,
                                        SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!scaler) throw CodecError("no scaler for these sizes");
    const std::uint8_t* src[4] = {source->pixels, nullptr, nullptr, nullptr};
    const int srcStride[4] = {source->stride, 0, 0, 0};
    std::uint8_t* dst[4] = {destination->pixels, nullptr, nullptr, nullptr};
    const int dstStride[4] = {destination->stride, 0, 0, 0};
    const int rows = sws_scale(scaler, src, srcStride, 0, source->height, dst, dstStride);
    sws_freeContext(scaler);
    if (rows <= 0) throw CodecError("scaling failed");
    return 1;
  });
}

void* OvraMalloc(std::int32_t bytes) {
  return bytes > 0 ? std::malloc(static_cast<std::size_t>(bytes)) : nullptr;
}

void* OvraRealloc(void* block, std::int32_t bytes) {
  return bytes > 0 ? std::realloc(block, static_cast<std::size_t>(bytes)) : nullptr;
}

void OvraFree(void* block) {
  std::free(block);
}

OvraEncoder* OvraInitializeEncoder(const OvraEncoderParams* params) {
  if (!params) return nullptr;
  return guarded<OvraEncoder*>("cannot start the MP3 encoder", nullptr,
                               [&] { return new OvraEncoder(*params); });
}

std::int32_t OvraAddAudioFrame(const void* pcm, std::int32_t bytes, OvraEncoder* encoder) {
  if (!encoder) return 0;
  return guarded<std::int32_t>("cannot encode sound", 0, [&] {
    encoder->add(pcm, bytes);
    return 1;
  });
}

std::int32_t OvraCloseAudio(OvraEncoder* encoder) {
  if (!encoder) return 0;
  return guarded<std::int32_t>("cannot complete the MP3 file", 0, [&] {
    encoder->close();
    return 1;
  });
}

std::int32_t OvraDeInitializeEncoder(OvraEncoder* encoder) {
  if (!encoder) return 0;
  delete encoder;
  return 1;
}

}  // extern "C"
