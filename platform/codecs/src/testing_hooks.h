#pragma once
// Reached by the library's own tests and fuzz target only: no caller needs media from memory yet.

#include "codecs-api/codecs.h"

#include <cstddef>

namespace ovra::codecs::testing {

// Opens media held in memory (copied) exactly as OvraLoadMediaFile opens a file: null and one log
// line on failure. Release with OvraUnloadMediaFile.
OvraMedia* loadMediaBytes(const void* data, std::size_t size, OvraFileFormatInfo* info);

}  // namespace ovra::codecs::testing
