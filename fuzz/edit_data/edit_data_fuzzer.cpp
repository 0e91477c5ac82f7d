// The edit-data block reader on arbitrary bytes: reading never crashes or allocates beyond what
// the bytes hold, what it read writes back to a block that reads the same, and a small picture
// rendered with the block (hostile crops, turns, texts) fails cleanly or succeeds.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <corekit/memory_stream.h>
#include <corekit/video_frame.h>
#include <picwork/edit_data.h>
#include <picwork/picwork.h>

// Refused inputs write log lines; keep them out of the user's log.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/edit-data-fuzz-XXXXXX";
  if (mkdtemp(folder) != nullptr) setenv("XDG_STATE_HOME", folder, 1);
  return 0;
}

// Fontconfig (under the text drawing) keeps its configuration for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > (1u << 20)) return 0;
  CVXMemoryStream stream(data, static_cast<std::int32_t>(size));
  EditData parsed;
  if (picwork::ReadEditData(stream, parsed)) {
    CVXMemoryStream first;
    if (!picwork::WriteEditData(first, parsed)) std::abort();
    first.Seek(0, VX_SEEK_BEGIN);
    EditData again;
    if (!picwork::ReadEditData(first, again)) std::abort();
    CVXMemoryStream second;
    if (!picwork::WriteEditData(second, again)) std::abort();
    if (first.GetLength() != second.GetLength() ||
        std::memcmp(first.GetData(), second.GetData(), first.GetLength()) != 0)
      std::abort();
  }
  stream.Seek(0, VX_SEEK_BEGIN);
  OvraRectD rect{0, 0, 1, 1};
  OvraGetImageEditRect(&rect, &stream);

  // Huge fonts are legal and slow (a glyph of 2000 points); they teach the reader nothing.
  for (const EditTextRecord& text : parsed.texts)
    if (text.font.size > 64 || text.caption.size() > 64) return 0;
  stream.Seek(0, VX_SEEK_BEGIN);
  tagVideoFrame frame{};
  OvraGetImageDataColor(0xFF808080, 24, 16, &stream, &frame);
  freeFrame(&frame);
  return 0;
}
