#pragma once
// The separable cubic resampler behind gfx::resample, fed one source row at a time so that a
// decoder can stream into it and no full-size copy of the source is ever held.

#include <cstdint>
#include <vector>

#include "gfx/bitmap.h"
#include "resampler_avx2.h"

namespace gfx {

class Resampler {
 public:
  // Which passes to run: the fastest the processor has, or the portable ones (which give the
  // same bytes; tests compare the two).
  enum class Kernels { Fastest, Portable };

  // Source rows of srcWidth pixels go in, dst (which fixes the output size) fills up. Colours
  // are taken as they are: a caller with transparency premultiplies first (see resample()).
  // Throws std::bad_alloc when the tables cannot be had.
  Resampler(std::int32_t srcWidth, std::int32_t srcHeight, const BitmapView& dst,
            Kernels kernels = Kernels::Fastest);

  // Rows must come in order from the top; rows after the last one any output needs are ignored.
  // Never allocates or throws: a decoder calls it from inside C code that cannot unwind.
  void pushRow(const std::uint32_t* row);
  // Whether every output row has been written.
  bool done() const { return nextOut_ == dst_.height; }

 private:
  // For each output position: the first source index, the tap count, and 14-bit weights.
  struct Taps {
    std::vector<std::int32_t> start, count;
    std::vector<std::int16_t> weights;  // count weights per output, at offset index * stride
    std::int32_t stride = 0;            // the largest count
  };
  static Taps makeTaps(std::int32_t in, std::int32_t out);
  // The same taps, each as a window of a multiple of 8 source pixels inside the row, for the
  // vector pass (it fills start, weights and stride: every window is stride pixels); false when
  // the row is narrower than that window.
  static bool widenTaps(const Taps& taps, std::int32_t in, Taps& wide);
  void horizontal(const std::uint32_t* in, std::uint32_t* out) const;
  void vertical(std::int32_t y);

  std::int32_t srcHeight_;
  BitmapView dst_;
  Taps h_, v_;
  bool avx2_ = false;
  // When the AVX2 passes run: h_ widened to windows of spreadStrideH_ pixels from
  // spreadStartH_, its weights laid out for the vector pass.
  std::vector<std::int32_t> spreadStartH_;
  std::vector<avx2::WeightVector> spreadH_;
  std::int32_t spreadStrideH_ = 0;
  // The last few horizontally scaled rows; source row r lies in slot r % ringRows_.
  std::vector<std::uint32_t> ring_;
  std::vector<const std::uint8_t*> rowPointers_;  // the rows one output row weighs
  std::int32_t ringRows_ = 0;
  std::int32_t nextIn_ = 0, nextOut_ = 0;
};

}  // namespace gfx
