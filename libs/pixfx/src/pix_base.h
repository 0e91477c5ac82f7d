#pragma once
// The effect object model: one object per call, prepared once, then asked for every pixel.

#include <cstddef>
#include <cstdint>

#include <corekit/video_frame.h>

namespace pixfx {

// A frame whose geometry has been checked; rows are addressed in effect coordinates.
struct PixFrame {
  std::uint8_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  std::ptrdiff_t stride = 0;

  // Effect row y = 0 is the last row in memory.
  std::uint8_t* Row(int y) const {
    return pixels + static_cast<std::ptrdiff_t>(height - 1 - y) * stride;
  }
  std::uint8_t* Pixel(int x, int y) const { return Row(y) + static_cast<std::ptrdiff_t>(x) * 4; }
};

// Fills view from frame when the frame is usable: pixels present, at least 1 x 1, rows that do
// not overlap, and (when the record states its size) a buffer that covers every row.
bool MakeFrameView(const tagVideoFrame* frame, PixFrame& view);

inline int Clamp255(long long v) {
  return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v));
}

// Limits a mapped parameter before it is truncated, so that no value of a 32-bit parameter can
// overflow the conversion.
inline int TruncateClamped(double v, int lo, int hi) {
  if (!(v > lo)) return lo;  // also NaN
  if (v >= hi) return hi;
  return static_cast<int>(v);
}

// Bytes of a pixel in memory.
enum Channel { kBlue = 0, kGreen = 1, kRed = 2, kAlpha = 3 };

inline int Gray(const std::uint8_t* px) {
  return (30 * px[kRed] + 59 * px[kGreen] + 11 * px[kBlue]) / 100;
}

class CPixBase {
 public:
  virtual ~CPixBase() = default;
  // Called once before the loop; false leaves the frame as it was.
  virtual bool Prepare(const PixFrame& frame) {
    (void)frame;
    return true;
  }
  virtual void ProcessPixel(const PixFrame& frame, int x, int y, std::uint8_t* pixel) = 0;
};

// The effect loop. Effect is the final class, so the per-pixel call is bound statically.
template <class Effect>
bool RunEffect(Effect& effect, const PixFrame& frame) {
  if (!effect.Prepare(frame)) return false;
  for (int y = 0; y < frame.height; ++y) {
    std::uint8_t* px = frame.Row(y);
    for (int x = 0; x < frame.width; ++x, px += 4) effect.Effect::ProcessPixel(frame, x, y, px);
  }
  return true;
}

// Applies effect id with its parameters. Returns false when the effect could not run (the frame
// is unchanged); unknown ids are not handled here.
bool ApplyEffect(int id, int p1, int p2, const PixFrame& frame);

// Whether ApplyEffect knows id.
bool IsKnownEffect(int id);

}  // namespace pixfx
