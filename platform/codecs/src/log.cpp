#include "log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

extern "C" {
#include <libavutil/error.h>
}

namespace ovra::codecs {
namespace {
std::atomic<OvraLogCallback> g_callback{nullptr};
}

void setLogCallback(OvraLogCallback callback) {
  if (callback) g_callback.store(callback);
}

void clearLogCallback() {
  g_callback.store(nullptr);
}

void logLine(const char* format, ...) {
  OvraLogCallback callback = g_callback.load();
  if (!callback) return;
  char line[1024];
  int used = std::snprintf(line, sizeof line, "codecs: ");
  va_list args;
  va_start(args, format);
  std::vsnprintf(line + used, sizeof line - used, format, args);
  va_end(args);
  callback(line);
}

std::string errorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

}  // namespace ovra::codecs
