#include "galleria/utilities.h"

#include <QStandardPaths>
#include <QString>

#include <cstdio>
#include <system_error>

namespace fs = std::filesystem;

// Defined by the executable's build-time stamp; absent (null) in a binary built without one.
extern "C" __attribute__((weak)) const char galleria_file_version[];

namespace galleria {

std::string ApplicationVersion() {
  const char* stamp = galleria_file_version;
  return stamp ? std::string(stamp) : std::string();
}

fs::path DocumentsFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return folder.isEmpty() ? fs::path() : fs::path(folder.toStdString());
}

fs::path UniqueFileName(const fs::path& candidate, std::string_view stem,
                        std::string_view extension, const std::set<fs::path>& reserved) {
  const auto taken = [&reserved](const fs::path& name) {
    std::error_code ec;
    return reserved.contains(name) || fs::exists(name, ec);
  };
  if (!taken(candidate)) return candidate;
  const fs::path folder = candidate.parent_path();
  for (unsigned n = 1;; ++n) {
    fs::path next =
        folder / (std::string(stem) + "(" + std::to_string(n) + ")" + std::string(extension));
    if (!taken(next)) return next;
  }
}

std::int64_t FileSize(const fs::path& path) {
  std::error_code ec;
  const auto status = fs::status(path, ec);
  if (ec || !fs::exists(status)) return -1;
  if (!fs::is_regular_file(status)) return 0;
  const auto size = fs::file_size(path, ec);
  return ec ? -1 : static_cast<std::int64_t>(size);
}

bool IsValidFileName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("\"*/:<>?\\|\0", 10)) == std::string_view::npos;
}

std::string DurationText(std::int64_t seconds) {
  const bool negative = seconds < 0;
  // Unsigned arithmetic keeps the most negative value representable.
  const std::uint64_t total = negative ? 0 - static_cast<std::uint64_t>(seconds) : seconds;
  char text[32];
  std::snprintf(text, sizeof text, "%s%02llu:%02llu:%02llu", negative ? "-" : "",
                static_cast<unsigned long long>(total / 3600),
                static_cast<unsigned long long>(total % 3600 / 60),
                static_cast<unsigned long long>(total % 60));
  return text;
}

bool DeleteFolder(const fs::path& folder) {
  std::error_code ec;
  if (!folder.empty()) fs::remove_all(folder, ec);
  return true;
}

std::vector<const char*> PathBufferArray::Pointers() const {
  std::vector<const char*> pointers;
  pointers.reserve(paths_.size());
  for (const auto& path : paths_) pointers.push_back(path.c_str());
  return pointers;
}

}  // namespace galleria
