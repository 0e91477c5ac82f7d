#pragma once
// Remembers which output copy in TempImg/ was made from which photo at which size, so that a
// publish of a project that was not saved after its last publish still finds its copies. A copy
// is reused only while the photo's size and modification time are those it was made from.

#include <filesystem>
#include <optional>
#include <vector>

namespace galleria::publish {

class OutputCopyCache {
 public:
  // Reads the cache from TempImg/ (an unreadable cache is an empty one).
  OutputCopyCache();

  std::optional<std::filesystem::path> Find(const std::filesystem::path& source, int width,
                                            int height) const;
  void Remember(const std::filesystem::path& source, int width, int height,
                const std::filesystem::path& copy);
  // Writes the cache back; a cache that cannot be written only costs conversions later.
  void Save() const;

 private:
  struct Entry {
    std::filesystem::path source, copy;
    int width = 0, height = 0;
    long long size = 0, time = 0;
  };
  std::filesystem::path file_;
  std::vector<Entry> entries_;
};

}  // namespace galleria::publish
