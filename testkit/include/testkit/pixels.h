#pragma once
// Comparing 0xAARRGGBB pixels where lossy formats or filters may move each channel a little.

#include <gtest/gtest.h>

#include <cstdint>

namespace testkit {

// Success when every channel of actual is within tolerance of expected's.
::testing::AssertionResult PixelNear(std::uint32_t actual, std::uint32_t expected, int tolerance);

}  // namespace testkit
