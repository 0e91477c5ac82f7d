#include <gfx/startup.h>

#include "corekit/corekit.h"

namespace {

thread_local std::uint32_t randomState = 1;

}  // namespace

extern "C" void SetRandomSeed(std::int32_t seed) {
  randomState = static_cast<std::uint32_t>(seed);
}

extern "C" int GetRandomNumber() {
  randomState = randomState * 214013u + 2531011u;
  return static_cast<int>((randomState >> 16) & 0x7FFF);
}

extern "C" double ConvertPosByDpi(double position, std::int32_t source, std::int32_t target) {
  if (source == target || source <= 0) return position;
  return static_cast<double>(target) * position / static_cast<double>(source);
}

extern "C" int InitializeCorekit() {
  try {
    return gfx::startup();
  } catch (...) {
    return 1;
  }
}

extern "C" void DeinitializeCorekit() {}
