#include "corekit/resource_load.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "corekit/local_memory.h"
#include "corekit/memory_stream.h"

namespace {

constexpr std::uint8_t kMagic[4] = {'G', 'R', 'E', 'S'};
constexpr std::uint64_t kHeaderSize = 12;
constexpr std::uint64_t kEntrySize = 12;
constexpr std::uint64_t kMaxResource = std::numeric_limits<std::int32_t>::max();

struct Entry {
  std::uint16_t id;
  std::uint32_t offset;
  std::uint32_t size;
};

std::uint16_t get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// The count a header announces, or -1 when it is not ours or claims more entries than a file of
// fileSize bytes can hold (so a hostile count never sizes an allocation).
std::int64_t headerCount(const std::uint8_t* header, std::uint64_t fileSize) {
  if (fileSize < kHeaderSize || std::memcmp(header, kMagic, 4) != 0) return -1;
  if (get16(header + 4) != CResourceLoad::kFormatVersion) return -1;
  const std::uint64_t count = get32(header + 8);
  if (count > (fileSize - kHeaderSize) / kEntrySize) return -1;
  return static_cast<std::int64_t>(count);
}

// Parses header and table (bytes holds at least both) of a file of fileSize bytes.
bool parseTable(const std::uint8_t* bytes, std::uint64_t fileSize, std::vector<Entry>& entries) {
  const std::int64_t count = headerCount(bytes, fileSize);
  if (count < 0) return false;
  const std::uint64_t dataStart = kHeaderSize + kEntrySize * static_cast<std::uint64_t>(count);
  entries.clear();
  entries.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint8_t* e = bytes + kHeaderSize + kEntrySize * i;
    Entry entry{get16(e), get32(e + 4), get32(e + 8)};
    if (entry.offset < dataStart || entry.size > kMaxResource ||
        static_cast<std::uint64_t>(entry.offset) + entry.size > fileSize) {
      return false;
    }
    entries.push_back(entry);
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.offset < b.offset; });
  for (std::size_t i = 1; i < entries.size(); ++i) {
    if (static_cast<std::uint64_t>(entries[i - 1].offset) + entries[i - 1].size >
        entries[i].offset) {
      return false;  // overlapping data
    }
  }
  std::sort(entries.begin(), entries.end(),
            [](const Entry& a, const Entry& b) { return a.id < b.id; });
  for (std::size_t i = 1; i < entries.size(); ++i) {
    if (entries[i - 1].id == entries[i].id) return false;
  }
  return true;
}

bool readAt(int fd, void* dest, std::uint64_t count, std::uint64_t offset) {
  auto* p = static_cast<std::uint8_t*>(dest);
  while (count > 0) {
    const ssize_t n = pread(fd, p, count, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    count -= static_cast<std::uint64_t>(n);
    offset += static_cast<std::uint64_t>(n);
  }
  return true;
}

bool writeAll(int fd, const void* source, std::uint64_t count) {
  const auto* p = static_cast<const std::uint8_t*>(source);
  while (count > 0) {
    const ssize_t n = write(fd, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    count -= static_cast<std::uint64_t>(n);
  }
  return true;
}

}  // namespace

struct CResourceLoad::Module {
  ~Module() { close(fd); }
  const Entry* find(std::uint32_t id) const {
    const auto key = static_cast<std::uint16_t>(id & 0xFFFF);
    auto it = std::lower_bound(entries.begin(), entries.end(), key,
                               [](const Entry& e, std::uint16_t k) { return e.id < k; });
    return it != entries.end() && it->id == key ? &*it : nullptr;
  }

  int fd = -1;
  std::vector<Entry> entries;  // by id
};

namespace {

// Opens and checks a resource file; null when it is missing (then *missing is set) or is not a
// valid resource file.
std::unique_ptr<CResourceLoad::Module> openModule(const std::filesystem::path& path,
                                                  bool* missing = nullptr) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (missing != nullptr) *missing = fd < 0 && errno == ENOENT;
  if (fd < 0) return nullptr;
  auto module = std::make_unique<CResourceLoad::Module>();
  module->fd = fd;
  struct stat info {};
  std::uint8_t header[kHeaderSize];
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  const auto fileSize = static_cast<std::uint64_t>(info.st_size);
  if (fileSize < kHeaderSize || !readAt(fd, header, kHeaderSize, 0)) return nullptr;
  const std::int64_t count = headerCount(header, fileSize);
  if (count < 0) return nullptr;
  std::vector<std::uint8_t> table(kHeaderSize + kEntrySize * static_cast<std::uint64_t>(count));
  if (!readAt(fd, table.data(), table.size(), 0)) return nullptr;
  if (!parseTable(table.data(), fileSize, module->entries)) return nullptr;
  return module;
}

}  // namespace

CResourceLoad::CResourceLoad(const std::filesystem::path& file) : path_(file) {
  EnsureLoaded();
}

CResourceLoad::~CResourceLoad() = default;

bool CResourceLoad::EnsureLoaded() {
  if (module_) return true;
  try {
    module_ = openModule(path_);
  } catch (...) {  // out of memory for the table
    module_.reset();
  }
  return module_ != nullptr;
}

void CResourceLoad::Unload() {
  module_.reset();
}

bool CResourceLoad::LoadResource(std::uint32_t id, void** block, std::uint32_t* size) {
  if (block == nullptr || size == nullptr || !EnsureLoaded()) return false;
  const Entry* entry = module_->find(id);
  if (entry == nullptr) return false;
  *size = entry->size;
  *block = nullptr;
  if (entry->size == 0) return false;
  void* bytes = GetLocalMemory(static_cast<std::int32_t>(entry->size));
  if (bytes == nullptr) return false;
  if (!readAt(module_->fd, bytes, entry->size, entry->offset)) {
    FreeLocalMemory(bytes);
    return false;
  }
  *block = bytes;
  return true;
}

bool CResourceLoad::LoadResource(std::uint32_t id, CVXMemoryStream* stream) {
  if (stream == nullptr) return false;
  void* block = nullptr;
  std::uint32_t size = 0;
  if (!LoadResource(id, &block, &size)) return false;
  const bool ok = stream->Write(block, static_cast<std::int32_t>(size));
  FreeResource(block);
  return ok;
}

void CResourceLoad::FreeResource(void* block) {
  FreeLocalMemory(block);
}

bool CResourceLoad::UpdateResourceW(std::uint32_t id, const void* data, std::uint32_t size) {
  if (data == nullptr || size == 0 || size > kMaxResource) return false;
  Unload();
  try {
    bool missing = false;
    std::unique_ptr<Module> old = openModule(path_, &missing);
    if (!old && !missing) return false;  // not ours, or unreadable: leave it alone
    const auto key = static_cast<std::uint16_t>(id & 0xFFFF);

    std::vector<Entry> entries;
    if (old) {
      for (const Entry& e : old->entries)
        if (e.id != key) entries.push_back(e);
    }
    entries.push_back({key, 0, size});
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.id < b.id; });

    std::vector<std::uint8_t> head(kHeaderSize + kEntrySize * entries.size());
    std::memcpy(head.data(), kMagic, 4);
    put16(head.data() + 4, kFormatVersion);
    put32(head.data() + 8, static_cast<std::uint32_t>(entries.size()));
    std::uint64_t offset = head.size();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (offset + entries[i].size > std::numeric_limits<std::uint32_t>::max()) return false;
      std::uint8_t* e = head.data() + kHeaderSize + kEntrySize * i;
      put16(e, entries[i].id);
      put32(e + 4, static_cast<std::uint32_t>(offset));
      put32(e + 8, entries[i].size);
      offset += entries[i].size;
    }

    // The new file is complete and on disk before it takes the old one's name.
    std::string temp = path_.string() + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = writeAll(fd, head.data(), head.size());
    std::vector<std::uint8_t> chunk;
    for (const Entry& e : entries) {
      if (!ok) break;
      if (e.id == key) {
        ok = writeAll(fd, data, size);
        continue;
      }
      const Entry* from = old->find(e.id);
      chunk.resize(std::min<std::uint64_t>(from->size, 1 << 20));
      for (std::uint64_t done = 0; ok && done < from->size; done += chunk.size()) {
        const std::uint64_t n = std::min<std::uint64_t>(chunk.size(), from->size - done);
        ok = readAt(old->fd, chunk.data(), n, from->offset + done) && writeAll(fd, chunk.data(), n);
      }
    }
    struct stat info {};
    if (ok && old && fstat(old->fd, &info) == 0) fchmod(fd, info.st_mode & 07777);
    if (ok && !old) fchmod(fd, 0644);
    ok = ok && fsync(fd) == 0;
    ok = close(fd) == 0 && ok;
    ok = ok && rename(temp.c_str(), path_.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
  } catch (...) {
    return false;
  }
}

bool CResourceLoad::UpdateResourceW(std::uint32_t id, const CVXMemoryStream* stream) {
  if (stream == nullptr) return false;
  if (stream->GetLength() == 0) {
    const std::uint8_t placeholder = 0;
    return UpdateResourceW(id, &placeholder, 1);
  }
  return UpdateResourceW(id, stream->GetData(), static_cast<std::uint32_t>(stream->GetLength()));
}

extern "C" std::int32_t CKValidateResourceImage(const std::uint8_t* bytes, std::uint64_t length) {
  if (bytes == nullptr) return -1;
  try {
    std::vector<Entry> entries;
    if (!parseTable(bytes, length, entries)) return -1;
    return static_cast<std::int32_t>(entries.size());
  } catch (...) {
    return -1;
  }
}
