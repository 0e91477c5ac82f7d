#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "corekit/memory_stream.h"

namespace {

constexpr std::uint64_t kMaxSize = std::numeric_limits<std::int32_t>::max();

// The bytes live in a vector; growth failures are caught here and reported as false so that
// nothing throws out of the library.
class VXStream final : public IVXStream {
 public:
  std::uint32_t AddRef() override { return ++refs_; }
  std::uint32_t Release() override {
    const std::uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  bool Read(void* dest, std::uint32_t count, std::uint32_t* done) override {
    if (dest == nullptr && count > 0) return false;
    std::uint64_t n = 0;
    if (position_ < bytes_.size()) n = std::min<std::uint64_t>(count, bytes_.size() - position_);
    if (n > 0) std::memcpy(dest, bytes_.data() + position_, n);
    position_ += n;
    if (done != nullptr) *done = static_cast<std::uint32_t>(n);
    return true;
  }

  bool Write(const void* source, std::uint32_t count, std::uint32_t* done) override {
    if (source == nullptr && count > 0) return false;
    const std::uint64_t end = position_ + count;
    if (end > kMaxSize) return false;
    try {
      if (end > bytes_.size()) bytes_.resize(end);
    } catch (const std::bad_alloc&) {
      return false;
    }
    if (count > 0) std::memcpy(bytes_.data() + position_, source, count);
    position_ = end;
    if (done != nullptr) *done = count;
    return true;
  }

  bool Seek(std::int64_t offset, Origin origin, std::uint64_t* position) override {
    std::int64_t base;
    switch (origin) {
      case kBegin:
        base = 0;
        break;
      case kCurrent:
        base = static_cast<std::int64_t>(position_);
        break;
      case kEnd:
        base = static_cast<std::int64_t>(bytes_.size());
        break;
      default:
        return false;
    }
    // Both terms are far below the int64 limits: positions never pass kMaxSize plus 2^32.
    if (offset < -base || offset > static_cast<std::int64_t>(kMaxSize) - base) return false;
    position_ = static_cast<std::uint64_t>(base + offset);
    if (position != nullptr) *position = position_;
    return true;
  }

  bool SetSize(std::uint64_t size) override {
    if (size > kMaxSize) return false;
    try {
      bytes_.resize(size);
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  }

  std::uint64_t GetSize() const override { return bytes_.size(); }
  const std::uint8_t* GetBuffer() const override { return bytes_.data(); }

 private:
  ~VXStream() override = default;

  std::atomic<std::uint32_t> refs_{1};
  std::vector<std::uint8_t> bytes_;
  std::uint64_t position_ = 0;
};

}  // namespace

extern "C" IVXStream* CreateVXStream() {
  return new (std::nothrow) VXStream();
}
