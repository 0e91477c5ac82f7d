#pragma once
// The edit-data block: the persisted record of a photo's crop, turn, flips, texts and filters.
// Little-endian, no padding; it begins with the UTF-16 tag "Image Data" and its zero, and each
// text record with "Image Text" and its zero. Tags are compared without regard to case.

#include <cstdint>
#include <string>
#include <vector>

#include <pixfx/pixfx.h>

#include "picwork/picwork.h"

class CVXMemoryStream;

struct EditTextRecord {
  std::u16string caption;  // without its terminating zero
  TextFontInfo font{};
  std::int32_t selected = 0;
  float width = 0, height = 0;
  double x = 0, y = 0;
  std::int32_t id = -1;
  std::int32_t turn = 0;
  std::int32_t flip = 0;
};

struct EditData {
  std::int32_t editWidth = 0;
  std::int32_t editHeight = 0;
  OvraRectD crop{0, 0, 1, 1};
  std::int32_t turn = 0;
  std::int32_t flip = 0;
  std::vector<EditTextRecord> texts;
  std::vector<FilterEntry> filters;
};

namespace picwork {

// Reads a block at the stream's position. False, with nothing read beyond the 22-byte tag, when
// the tag is not "Image Data". A text record with another tag is delivered empty and reading goes
// on right after that tag. A block that ends early keeps what was read before its end; counts
// and caption lengths beyond what the stream holds are never allocated.
bool ReadEditData(CVXMemoryStream& stream, EditData& data);

// The crop rectangle of a block, read from after the tag and the edit size. False, leaving rect
// as it was, for another tag or a block too short; the stream stays after what was read.
bool ReadEditRect(CVXMemoryStream& stream, OvraRectD& rect);

// Appends the block at the stream's position. False when the stream cannot grow.
bool WriteEditData(CVXMemoryStream& stream, const EditData& data);

}  // namespace picwork
