#include "testkit/pixels.h"

#include <cstdio>
#include <cstdlib>

namespace testkit {

::testing::AssertionResult PixelNear(std::uint32_t actual, std::uint32_t expected, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int a = actual >> shift & 0xFF, e = expected >> shift & 0xFF;
    if (std::abs(a - e) > tolerance) {
      char text[64];
      std::snprintf(text, sizeof text, "0x%08X is not near 0x%08X", actual, expected);
      return ::testing::AssertionFailure() << text;
    }
  }
  return ::testing::AssertionSuccess();
}

}  // namespace testkit
