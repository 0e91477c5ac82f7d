#include "save.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include <gfx/encode.h>
#include <gfx/scaled_decode.h>

#include "picwork/picwork.h"

namespace picwork {
namespace {

struct FileKind {
  const char* mime;
  const char* extension;
};
// Indexed by ImageFileType.
constexpr FileKind kKinds[] = {
    {"image/bmp", ".bmp"}, {"image/jpeg", ".jpeg"}, {"image/png", ".png"}};

const FileKind* KindOf(std::int32_t type) {
  return type >= 0 && type < 3 ? &kKinds[type] : nullptr;
}

bool WriteWhole(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  static std::atomic<unsigned> counter{0};
  const std::string temporary =
      path + ".part-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  const bool closed = std::fclose(f) == 0;
  if (written && closed && std::rename(temporary.c_str(), path.c_str()) == 0) return true;
  std::remove(temporary.c_str());
  return false;
}

}  // namespace

const char* ExtensionOf(std::int32_t type) {
  const FileKind* kind = KindOf(type);
  return kind != nullptr ? kind->extension : nullptr;
}

// Only the file name's own dot counts: a dot in a folder name ("/photos/2019.07/img") must not
// send the file up into another folder under a cut-off name.
std::string PathWithExtension(const std::string& path, std::int32_t type) {
  const char* extension = ExtensionOf(type);
  if (extension == nullptr) return path;
  const std::size_t slash = path.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return path + extension;
  return path.substr(0, dot) + extension;
}

bool SaveBitmap(const gfx::BitmapView& bitmap, const std::string& path, std::int32_t type,
                std::int32_t quality, double xDpi, double yDpi) {
  const FileKind* kind = KindOf(type);
  if (kind == nullptr || !bitmap.valid() || path.empty()) return false;
  const std::optional<gfx::ImageFormat> encoder = gfx::encoderForMime(kind->mime);
  if (!encoder) return false;
  std::vector<std::uint8_t> bytes;
  const bool encoded = *encoder == gfx::ImageFormat::Jpeg
                           ? gfx::encodeJpeg(bitmap, quality, xDpi, yDpi, bytes)
                           : gfx::encode(bitmap, *encoder, quality, bytes);
  return encoded && WriteWhole(PathWithExtension(path, type), bytes);
}

}  // namespace picwork
