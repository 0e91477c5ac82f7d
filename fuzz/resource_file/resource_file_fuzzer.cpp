// Feeds arbitrary bytes to the resource file reader, both in memory and through the loader over
// a memory-backed file, and reads every resource the table names.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <corekit/memory_stream.h>
#include <corekit/resource_load.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::int32_t count = CKValidateResourceImage(data, size);

  const int fd = memfd_create("resource", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  CResourceLoad loader("/proc/self/fd/" + std::to_string(fd));
  if (loader.IsLoaded() != (count >= 0)) std::abort();  // both readers must agree
  // Ids named in the table, plus a few that may not exist.
  for (std::size_t i = 0; count > 0 && i < static_cast<std::size_t>(count) && i < 64; ++i) {
    const std::uint32_t id = data[12 + 12 * i] | data[13 + 12 * i] << 8;
    void* block = nullptr;
    std::uint32_t bytes = 0;
    if (loader.LoadResource(id, &block, &bytes)) {
      if (bytes == 0 || bytes > size) std::abort();
      loader.FreeResource(block);
    }
    CVXMemoryStream stream;
    loader.LoadResource(id | 0x10000, &stream);
  }
  void* block = nullptr;
  std::uint32_t bytes = 0;
  if (loader.LoadResource(0xFFFF, &block, &bytes)) loader.FreeResource(block);
  close(fd);
  return 0;
}
