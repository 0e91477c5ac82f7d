#include <picwork/picwork.h>

#include "galleria/publish/photo_copies.h"

namespace galleria::publish {

PhotoConverter ImageLibraryConverter() {
  return [](const std::filesystem::path& source, const std::filesystem::path& destination,
            int width, int height) {
    constexpr std::int32_t kJpeg = 1;
    constexpr std::int32_t kQuality = 80;
    return OvraSetImageSize(source.c_str(), destination.c_str(), width, height, kJpeg, kQuality) ==
           1;
  };
}

}  // namespace galleria::publish
