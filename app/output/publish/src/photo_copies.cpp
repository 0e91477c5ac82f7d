#include "galleria/publish/photo_copies.h"

#include <algorithm>
#include <cmath>

#include "galleria/app_folder.h"
#include "galleria/utilities.h"

namespace fs = std::filesystem;

namespace galleria::publish {

PhotoSize ComputePhotoSize(int stageWidth, int stageHeight) {
  int w = std::min(stageWidth, 1600);
  int h = std::min(stageHeight, 1200);
  // nearbyint rounds halves to even in the default rounding mode.
  if (3 * w < 4 * h)
    h = static_cast<int>(std::nearbyint(w * 0.75));
  else
    w = static_cast<int>(std::nearbyint(h * 4.0 / 3.0));
  return {w, h};
}

fs::path CopyName(const fs::path& source, const std::string& ending,
                  const std::set<fs::path>& reserved) {
  const fs::path candidate = TempImgFolder() / (source.stem().string() + ending);
  const std::string name = candidate.filename().string();
  const std::string stem = name.substr(0, name.find('.'));
  return UniqueFileName(candidate, stem, ".jpeg", reserved);
}

fs::path MakeOutputCopy(const fs::path& source, int width, int height,
                        const PhotoConverter& convert) {
  const fs::path copy = CopyName(source, "_OutPut.jpeg");
  return convert(source, copy, width, height) ? copy : source;
}

fs::path MakeThumbCopy(const fs::path& source, const PhotoConverter& convert) {
  const fs::path copy = CopyName(source, "_thumb.jpeg");
  return convert(source, copy, 960, 540) ? copy : fs::path();
}

fs::path EditCopyName(const fs::path& source) {
  return CopyName(source, "_edt.jpeg");
}

}  // namespace galleria::publish
