#pragma once
// Numbered binary resources kept in a resource file, loaded into the shared heap or a stream.
//
// Resource file format, version 1 (all fields little-endian, no padding):
//   offset 0   4 bytes  magic "GRES"
//   offset 4   uint16   version (1)
//   offset 6   uint16   reserved, 0
//   offset 8   uint32   count of resources
//   offset 12  count entries of 12 bytes each:
//                uint16 id, uint16 reserved (0), uint32 offset of the data, uint32 size of the data
//   then the data of the resources.
// A file is accepted only when it is consistent: every entry's data lies after the table and
// inside the file, no two entries share an id, no two data ranges overlap, and no size exceeds
// 2 GiB - 1. Anything else (truncation, hostile offsets, an absurd count) makes the file fail to
// load as a whole, and nothing of it is allocated beyond the file's own size.

#include <cstdint>
#include <filesystem>
#include <memory>

class CVXMemoryStream;

class CResourceLoad {
 public:
  static constexpr std::uint16_t kFormatVersion = 1;

  // Remembers the path and loads the file at once (a failure is retried by LoadResource).
  explicit CResourceLoad(const std::filesystem::path& file);
  virtual ~CResourceLoad();

  CResourceLoad(const CResourceLoad&) = delete;
  CResourceLoad& operator=(const CResourceLoad&) = delete;

  // Identifiers are the low 16 bits of id (0x10005 is resource 5).
  // Copies the resource into a block from the shared heap, given back with FreeResource. Fails
  // when the file or the resource is missing (both outs untouched) or the resource is empty;
  // once the resource is found *size is set, and *block is null when the copy then fails.
  bool LoadResource(std::uint32_t id, void** block, std::uint32_t* size);
  // Writes the resource at the stream's position; fails for a null stream, a missing or empty
  // resource, and when the write fails.
  bool LoadResource(std::uint32_t id, CVXMemoryStream* stream);
  void FreeResource(void* block);

  // Adds or replaces one resource and keeps all others: the new file is written beside the old
  // one and renamed over it, so a failure leaves the old file intact. A missing file is created;
  // an existing file that is not a valid resource file is left alone and the call fails.
  // Fails for null data or size 0. The file is unloaded and reloaded by the next LoadResource.
  bool UpdateResourceW(std::uint32_t id, const void* data, std::uint32_t size);
  // The stream's whole contents; an empty stream is stored as a one-byte resource.
  bool UpdateResourceW(std::uint32_t id, const CVXMemoryStream* stream);

  bool IsLoaded() const { return module_ != nullptr; }
  const std::filesystem::path& GetPath() const { return path_; }

  struct Module;

 private:
  bool EnsureLoaded();
  void Unload();

  std::filesystem::path path_;
  std::unique_ptr<Module> module_;
};

// The reader under CResourceLoad, open for tests and tools: parses a resource file image held in
// memory. Returns the entry count, or -1 when the bytes are not a valid resource file.
extern "C" std::int32_t CKValidateResourceImage(const std::uint8_t* bytes, std::uint64_t length);
