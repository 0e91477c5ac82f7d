#pragma once
// The image library's flat interface: shrinking photos to JPEG copies, the finished pixels of an
// edited photo, and the processing instance of a photo editor front end.
//
// Every export is extern "C", takes UTF-8 paths, never throws and reports failure by its result
// (0, null). Results written "1/0" are 1 for success and 0 for failure.

#include <cstdint>
#include <string>

#include <corekit/video_frame.h>

class CVXMemoryStream;

extern "C" {

// Kinds of file an image is saved as; no other value is accepted.
enum ImageFileType : std::int32_t {
  IMAGE_FILE_BMP = 0,   // "image/bmp", ".bmp"
  IMAGE_FILE_JPEG = 1,  // "image/jpeg", ".jpeg"
  IMAGE_FILE_PNG = 2,   // "image/png", ".png"
};

// Receives one finished log line (UTF-8, "Ovra Codecs:" and the message).
typedef void (*ImageLogProc)(const char* line);

// Shrinks the picture at source to fit maxWidth x maxHeight (never enlarging, proportions kept)
// and writes it as type at quality 0..100 to destination, or over the source when destination is
// null or empty. The written file's extension is always the type's (".jpeg" for JPEG) in place
// of the name's own. 1 when the file was written; on any failure 0 and nothing is written.
// Safe to call from several threads at once.
std::int32_t OvraSetImageSize(const char* source, const char* destination, std::int32_t maxWidth,
                              std::int32_t maxHeight, std::int32_t type, std::int32_t quality);

}  // extern "C"

namespace picwork {

struct Size {
  std::int32_t width = 0;
  std::int32_t height = 0;
  bool operator==(const Size&) const = default;
};

// The size of a w x h picture shrunk to fit a W x H box: (w, h) when it fits already; otherwise
// the side that touches the box is the box's and the other is truncated.
Size ScaleToFit(std::int32_t w, std::int32_t h, std::int32_t W, std::int32_t H);

// The path as the file of a type is written: the extension of the file name (from its last '.')
// replaced by the type's, or the type's appended when the name has none.
const char* ExtensionOf(std::int32_t type);  // ".bmp", ".jpeg", ".png"; null for other types
std::string PathWithExtension(const std::string& path, std::int32_t type);

}  // namespace picwork
