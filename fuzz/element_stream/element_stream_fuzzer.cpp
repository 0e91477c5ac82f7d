// The element block reader on outside bytes: read, write back, read again; what was read must
// survive the round trip, and no length in the bytes may turn into an allocation of its size.
#include <corekit/memory_stream.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mediaitems/element.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char folder[] = "/tmp/element-stream-fuzz-XXXXXX";
  if (mkdtemp(folder) != nullptr) setenv("XDG_STATE_HOME", folder, 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 1 << 20) return 0;
  CVXMemoryStream in(data, static_cast<std::int32_t>(size));
  // Several blocks in a row, as a list of elements would be stored.
  for (int i = 0; i < 4; ++i) {
    const std::int32_t before = in.Tell();
    CElementObject element;
    if (!element.ReadFromStream(&in)) {
      if (in.Tell() != before) std::abort();
      break;
    }
    if (element.GetExternLength() > static_cast<std::int32_t>(size)) std::abort();
    CVXMemoryStream out;
    if (!element.WriteToStream(&out)) std::abort();
    out.Seek(0, VX_SEEK_BEGIN);
    CElementObject again;
    if (!again.ReadFromStream(&out)) std::abort();
    if (again.GetReserved1() != element.GetReserved1() ||
        again.GetTrackStart() != element.GetTrackStart() ||
        again.GetTrackLength() != element.GetTrackLength() ||
        again.GetExternLength() != element.GetExternLength())
      std::abort();
    std::vector<std::uint8_t> a(static_cast<std::size_t>(element.GetExternLength()) + 1);
    std::vector<std::uint8_t> b(a.size());
    element.GetExternData(a.data(), static_cast<std::int32_t>(a.size()));
    again.GetExternData(b.data(), static_cast<std::int32_t>(b.size()));
    if (a != b) std::abort();
  }
  return 0;
}
