// Media from untrusted bytes: open, describe, decode some pictures and sound, seek, decode again.
// Whatever the bytes, every call must return (a failure is fine) without touching memory it does
// not own.
#include "codecs-api/codecs.h"
#include "testing_hooks.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

void drain(OvraMedia* media, tagVideoFrame& picture, tagAudioFrame& sound, int count,
           bool deinterlace) {
  for (int i = 0; i < count && OvraGetNextVideoFrame(&picture, media, deinterlace); ++i) {
  }
  for (int i = 0; i < count && OvraGetNextAudioFrame(&sound, media); ++i) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool started = OvraInitializeCodecs(nullptr) != 0;
  (void)started;
  OvraFileFormatInfo* info = nullptr;
  OvraMallocFileFormatInfo(&info);
  OvraMedia* media = ovra::codecs::testing::loadMediaBytes(data, size, info);
  if (media) {
    for (int i = 0; i < info->streamCount; ++i) {
      const OvraStreamInfo& s = info->streams[i];
      if (s.type != OVRA_STREAM_VIDEO && s.type != OVRA_STREAM_AUDIO) __builtin_trap();
    }
    std::int32_t width = 48, height = 32;  // small pictures keep each run fast
    OvraResizeVideoSize(&width, &height, media);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * 4 * height + 1);
    tagVideoFrame picture{pixels.data(), 0, 0, 0, static_cast<std::int32_t>(pixels.size()), 0, 0};
    auto sound = std::make_unique<tagAudioFrame>();
    OvraResample(22050, 16, 2, media);
    drain(media, picture, *sound, 4, false);
    OvraSeekMediaFile(5000000, media);
    OvraFlushVideo(media);
    drain(media, picture, *sound, 3, true);
    OvraSeekMediaFile(0, media);
    drain(media, picture, *sound, 2, false);
    OvraUnloadMediaFile(media);
  }
  OvraFreeFileFormatInfo(info);
  return 0;
}
