// File properties for sorting and display.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gfx/decode.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "mediaitems/element.h"

namespace {

// The file's status when it can be opened for reading.
bool openForReading(const char* path, struct stat* info) {
  if (path == nullptr || *path == 0) return false;
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fstat(fd, info) == 0;
  ::close(fd);
  return ok;
}

bool modifyTime(const char* path, std::tm* utc) {
  struct stat info {};
  if (!openForReading(path, &info)) return false;
  const std::time_t t = info.st_mtime;
  return gmtime_r(&t, utc) != nullptr;
}

// The picture's own date and time text: when it was taken, or else when it was last changed
// (EXIF DateTime, the tag the picture property 306 names).
std::string takeDateText(const char* path) {
  if (path == nullptr || *path == 0) return {};
  gfx::PictureInfo info;
  if (gfx::probeFile(std::filesystem::path(path), info) != gfx::DecodeStatus::Ok) return {};
  return !info.dateTimeOriginal.empty() ? info.dateTimeOriginal : info.dateTime;
}

}  // namespace

extern "C" std::int64_t GetObjectSize(const char* path) {
  struct stat info {};
  if (!openForReading(path, &info)) return 0;
  return static_cast<std::int64_t>(info.st_size);
}

extern "C" std::int64_t GetModifyDate(const char* path) {
  std::tm t{};
  if (!modifyTime(path, &t)) return 0;
  return std::int64_t{t.tm_year + 1900} * 31'536'000 + std::int64_t{t.tm_mon + 1} * 2'592'000 +
         std::int64_t{t.tm_mday} * 86'400 + t.tm_hour * 3'600 + t.tm_min * 60 + t.tm_sec;
}

extern "C" void GetModifyDateString(const char* path, char* buffer, std::int32_t length) {
  if (buffer == nullptr || length <= 0) return;
  std::tm t{};
  if (!modifyTime(path, &t)) return;
  std::snprintf(buffer, static_cast<std::size_t>(length), "%d:%d:%d %d:%d:%d", t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

extern "C" std::int64_t GetTakeDateTime(const char* path) {
  try {
    const std::string text = takeDateText(path);
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d %d:%d:%d", &year, &month, &day, &hour, &minute,
                    &second) != 6)
      return 0;  // missing, or the blank "    :  :     :  :  " some cameras write
    return ((((std::int64_t{year} * 365 + month * 30 + day) * 24 + hour) * 60 + minute) * 60) +
           second;
  } catch (...) {
    return 0;
  }
}

extern "C" bool GetTakeDateTimeString(const char* path, char* buffer, std::int32_t length) {
  try {
    const std::string text = takeDateText(path);
    if (text.empty() || buffer == nullptr || length <= 0) return false;
    std::snprintf(buffer, static_cast<std::size_t>(length), "%s", text.c_str());
    return true;
  } catch (...) {
    return false;
  }
}
