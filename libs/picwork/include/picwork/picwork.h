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

// Interpolation of scaled drawing; any other value leaves the default (bilinear).
enum ScaleQuality : std::int32_t {
  SCALE_NEAREST = 0,
  SCALE_BILINEAR = 1,
  SCALE_HQ_BILINEAR = 2,
  SCALE_BICUBIC = 3,
  SCALE_HQ_BICUBIC = 4,
};

// The font of a text on a photo; persisted as these 80 bytes in the edit-data block.
struct TextFontInfo {
  char16_t faceName[32];   // UTF-16, zero-terminated
  std::int32_t size;       // points
  std::uint32_t color;     // 0xAARRGGBB; the top byte is the text's opacity
  std::int32_t style;      // 1 bold, 2 italic, 4 underline, 8 strikeout
  std::int32_t alignment;  // carried along, not used in drawing
};
static_assert(sizeof(TextFontInfo) == 80, "TextFontInfo is persisted as 80 bytes");

// A rectangle of doubles: crop rectangles in fractions, drawing rectangles in pixels.
struct OvraRectD {
  double x, y, width, height;
};

// Notifications of a processing instance: (code, parameter 1, parameter 2, user value).
// Parameters are pointer-sized: some carry pointers.
typedef void (*ImageNotifyProc)(std::int32_t code, std::intptr_t param1, std::intptr_t param2,
                                void* user);

// A processing instance: its document (and view), callback and user value.
struct EditorHandle;

// Shrinks the picture at source to fit maxWidth x maxHeight (never enlarging, proportions kept)
// and writes it as type at quality 0..100 to destination, or over the source when destination is
// null or empty. The written file's extension is always the type's (".jpeg" for JPEG) in place
// of the name's own. 1 when the file was written; on any failure 0 and nothing is written.
// Safe to call from several threads at once.
std::int32_t OvraSetImageSize(const char* source, const char* destination, std::int32_t maxWidth,
                              std::int32_t maxHeight, std::int32_t type, std::int32_t quality);

// The finished pixels of a photo with its edits (the edit-data block in edits, which may be
// null), rendered without selection frames, turned, into frame (resized with corekit's frame
// helpers; the caller frees it). 1/0; 0 when the picture cannot be loaded.
std::int32_t OvraGetImageData(const char* source, CVXMemoryStream* edits, tagVideoFrame* frame);
std::int32_t OvraGetImageDataEx(const tagVideoFrame* source, CVXMemoryStream* edits,
                                tagVideoFrame* frame);
std::int32_t OvraGetImageDataColor(std::uint32_t color, std::int32_t width, std::int32_t height,
                                   CVXMemoryStream* edits, tagVideoFrame* frame);
// The crop rectangle of an edit-data block: (0, 0, 1, 1) for a null stream; left as it was for
// a block with another tag. The stream is left after what was read.
void OvraGetImageEditRect(OvraRectD* rect, CVXMemoryStream* edits);

// A processing instance. The log callback is kept for the whole library (the last call wins).
// This build has no editing view: the parent window must be null (a non-null one is refused).
EditorHandle* OvraInitRetouch(ImageNotifyProc notify, void* user, void* parentWindow,
                              ImageLogProc log);
void OvraDeinitRetouch(EditorHandle* handle);

std::int32_t OvraLoadImage(const char* path, EditorHandle* handle);
std::int32_t OvraLoadFromData(const char* path, CVXMemoryStream* edits, EditorHandle* handle);
std::int32_t OvraLoadFromDataColor(std::uint32_t color, std::int32_t width, std::int32_t height,
                                   CVXMemoryStream* edits, EditorHandle* handle);
std::int32_t OvraCreateImage(std::int32_t width, std::int32_t height, std::uint32_t color,
                             EditorHandle* handle);
// Size of the output before rotation; both set to 0 first.
std::int32_t OvraGetImageSize(std::int32_t* width, std::int32_t* height, EditorHandle* handle);
// Saves the rendered document to path as type at quality 80. A null path saves to the output
// path with the output type, together with the XML settings file, which this build cannot write
// yet: it fails.
std::int32_t OvraSaveImage(const char* path, EditorHandle* handle, std::int32_t type);
// A new stream holding the document's edit-data block; the caller deletes it. Null on failure.
CVXMemoryStream* OvraSaveDataToStream(EditorHandle* handle);
// Copies each non-null path; sets the output type unless it is -1.
void OvraSetOutSettings(const char* outputPath, const char* settingsPath, std::int32_t type,
                        EditorHandle* handle);

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
