#pragma once
// The raw picture record every engine library and the codec library exchange.

#include <cstdint>

// Pixels are 32-bit 0xAARRGGBB values, not premultiplied, top row first; in memory a pixel's
// bytes lie as blue, green, red, alpha. The record owns its pixel buffer, which corekit allocates.
struct tagVideoFrame {
  std::uint8_t* pixels;
  std::int32_t width;
  std::int32_t height;
  std::int32_t stride;     // bytes from one row to the next (width * 4 for frames allocated here)
  std::int32_t size;       // bytes allocated for the pixels
  std::int64_t startTime;  // presentation time, 100 ns units
  std::int64_t endTime;    // time the next frame is due, 100 ns units
};
