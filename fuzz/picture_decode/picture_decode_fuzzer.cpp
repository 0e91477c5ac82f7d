// Picture decoding of outside bytes: every reader behind the sniffing, the header probe, the full
// decode with orientation, and the shrink-on-load path.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "gfx/decode.h"

// Every refused input writes a log line; keep them out of the user's log.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/picture-decode-fuzz-XXXXXX";
  if (mkdtemp(folder) != nullptr) setenv("XDG_STATE_HOME", folder, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  gfx::PictureInfo info;
  if (gfx::probeMemory(data, size, info) != gfx::DecodeStatus::Ok) return 0;
  gfx::Picture picture;
  if (gfx::decodeMemory(data, size, picture) == gfx::DecodeStatus::Ok &&
      picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height)
    std::abort();
  gfx::DecodeOptions thumb;
  thumb.fitWidth = 16;
  thumb.fitHeight = 16;
  thumb.frame = info.frameCount > 1 ? 1 : 0;
  if (gfx::decodeMemory(data, size, picture, thumb) == gfx::DecodeStatus::Ok &&
      (picture.width > 16 || picture.height > 16))
    std::abort();
  return 0;
}
