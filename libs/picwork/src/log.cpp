#include "log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include <jotter/jotter.h>

namespace picwork {
namespace {

std::atomic<ImageLogProc> logCallback{nullptr};

constexpr char kPrefix[] = "Ovra Codecs:";

}  // namespace

void SetLogCallback(ImageLogProc proc) {
  logCallback.store(proc);
}

void Log(const char* format, ...) {
  char line[1024];
  constexpr std::size_t prefix = sizeof kPrefix - 1;
  std::memcpy(line, kPrefix, prefix);
  va_list args;
  va_start(args, format);
  std::vsnprintf(line + prefix, sizeof line - prefix, format, args);
  va_end(args);
  OvraPrintfTextA("%s", line);
  if (const ImageLogProc proc = logCallback.load()) proc(line);
}

}  // namespace picwork
