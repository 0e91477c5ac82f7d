// Arbitrary bytes as a movie: loading ends in a movie, "not a movie" or a GalleriaError, and a
// loaded movie saves again in both forms.

#include <cstdint>
#include <sstream>
#include <string>

#include "galleria/error.h"
#include "galleria/swf/swf_stream_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::stringbuf in(std::string(reinterpret_cast<const char*>(data), size));
  galleria::swf::TSWFStreamReader movie;
  try {
    movie.LoadFromStream(in);
    if (!movie.IsSWF()) return 0;
    movie.SetWidth(640);
    std::stringbuf out;
    movie.SaveToStream(out);
    movie.SetCompressed(!movie.Compressed());
    movie.SaveToStream(out);
  } catch (const galleria::GalleriaError&) {
  }
  return 0;
}
