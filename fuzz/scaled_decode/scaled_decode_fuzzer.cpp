// Reduced decoding of outside bytes: the streaming JPEG reader (DCT scaling, EXIF orientation,
// row-by-row resampling) and the decode-then-resample path of the other kinds. A success must
// deliver exactly the size that was chosen.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "gfx/scaled_decode.h"

// Every refused input writes a log line; keep them out of the user's log.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/scaled-decode-fuzz-XXXXXX";
  if (mkdtemp(folder) != nullptr) setenv("XDG_STATE_HOME", folder, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The last byte picks the size: a shrink to a small box, or the picture's own size.
  const unsigned pick = size > 0 ? data[size - 1] : 0;
  std::int32_t chosenW = 0, chosenH = 0;
  auto choose = [&](std::int32_t w, std::int32_t h, std::int32_t& outW, std::int32_t& outH) {
    if (std::int64_t{w} * h > 4'000'000) return false;  // keep each run short
    outW = pick % 4 == 0 ? w : 1 + static_cast<std::int32_t>(pick % 37);
    outH = pick % 4 == 0 ? h : 1 + static_cast<std::int32_t>(pick / 7 % 29);
    chosenW = outW;
    chosenH = outH;
    return true;
  };
  gfx::Picture picture;
  if (gfx::decodeMemoryScaled(data, size, choose, picture) == gfx::DecodeStatus::Ok &&
      !picture.empty() &&
      (picture.width != chosenW || picture.height != chosenH ||
       picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height))
    std::abort();
  return 0;
}
