#pragma once
// The resampler's passes for processors with AVX2 (only call them after asking the processor).

#include <cstdint>
#include <vector>

namespace gfx::avx2 {

// Sixteen 16-bit weights as one vector reads them; aligned, so that no read straddles two
// cache lines.
struct alignas(32) WeightVector {
  std::int16_t w[16];
};

// 14-bit weights, `stride` (a multiple of 8) for each output pixel, laid out the way the
// horizontal pass reads them (two vectors for every eight).
std::vector<WeightVector> spreadWeights(const std::vector<std::int16_t>& weights);

// Every output pixel x weighs `stride` source pixels from start[x] (the window must lie inside
// the row) with its weights from spreadWeights.
void horizontal(const std::uint32_t* in, std::uint32_t* out, std::int32_t width,
                const std::int32_t* start, const WeightVector* spread, std::int32_t stride);

// Weighs `count` rows byte by byte into out, 16 bytes at a time; returns how many bytes it
// wrote (a multiple of 16), leaving the rest for the caller.
std::int32_t vertical(const std::uint8_t* const* rows, const std::int16_t* weights,
                      std::int32_t count, std::uint8_t* out, std::int32_t bytes);

}  // namespace gfx::avx2
