#pragma once
// One-frame movies that stand in for the shipped movies until their real sources exist: a stage
// in a background colour with one filled rectangle, and the movie's name as its frame label, so
// that a test or a person can tell which movie was loaded.

#include <cstdint>
#include <string>

#include "galleria/swf/bits_engine.h"

namespace galleria::standins {

struct StandinMovie {
  std::string Name;                    // frame label
  std::int32_t Width = 0, Height = 0;  // stage, pixels
  swf::recRGB Background;
  swf::recRGB Panel;  // the rectangle in the middle of the stage
  bool Compressed = false;
};

// The whole movie file, header included.
std::string BuildMovie(const StandinMovie& movie);

}  // namespace galleria::standins
