#include "jotter/jotter.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>

#include <sys/time.h>

namespace {

std::filesystem::path stateFolder() {
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state) return state;
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::filesystem::path(home) / ".local" / "state";
  return std::filesystem::temp_directory_path();
}

class Jotter {
 public:
  void write(std::string_view text) {
    std::string line = timestamp();
    line.append(text);
    if (line.empty() || line.back() != '\n') line.push_back('\n');

    std::lock_guard lock(mutex_);
    if (!opened_) open();
    if (file_) {
      std::fwrite(line.data(), 1, line.size(), file_);
      std::fflush(file_);
    }
    if (toStderr_) std::fwrite(line.data(), 1, line.size(), stderr);
  }

 private:
  void open() {
    opened_ = true;
    const char* mode = std::getenv("GALLERIA_LOG");
    toStderr_ = mode && std::string_view(mode) == "stderr";
    std::error_code ec;
    const auto folder = stateFolder() / "galleria";
    std::filesystem::create_directories(folder, ec);
    file_ = std::fopen((folder / "galleria.log").c_str(), "a");
  }

  static std::string timestamp() {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    char text[40];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03ld ", static_cast<long>(now.tv_usec / 1000));
    return text;
  }

  std::mutex mutex_;
  bool opened_ = false;
  bool toStderr_ = false;
  std::FILE* file_ = nullptr;
};

Jotter& jotter() {
  // Never destroyed: libraries may still log from their own static destructors.
  static Jotter* instance = new Jotter;
  return *instance;
}

}  // namespace

extern "C" void OvraPrintfTextA(const char* format, ...) {
  if (!format) return;
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed >= 0) {
    std::string text(static_cast<size_t>(needed), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    jotter().write(text);
  }
  va_end(args);
}

extern "C" void OvraLogTextW(const char* line) {
  if (line) jotter().write(line);
}
