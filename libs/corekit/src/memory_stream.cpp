#include "corekit/memory_stream.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "corekit/local_memory.h"

namespace {

constexpr std::int32_t kDefaultCapacity = 32;
constexpr std::int64_t kMaxBytes = std::numeric_limits<std::int32_t>::max();

}  // namespace

CVXMemoryStream::CVXMemoryStream()
    : buffer_(static_cast<std::uint8_t*>(GetLocalMemory(kDefaultCapacity))),
      capacity_(buffer_ ? kDefaultCapacity : 0),
      position_(0),
      length_(0) {}

CVXMemoryStream::CVXMemoryStream(const std::filesystem::path& file) : CVXMemoryStream() {
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (f == nullptr) return;
  struct stat info {};
  // A directory opens fine on Linux but has no bytes to give; anything past 2 GiB cannot be held.
  if (fstat(fileno(f), &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxBytes) {
    const auto size = static_cast<std::int32_t>(info.st_size);
    auto* bytes = static_cast<std::uint8_t*>(GetLocalMemory(size));
    if (bytes != nullptr && std::fread(bytes, 1, size, f) == static_cast<std::size_t>(size)) {
      FreeLocalMemory(buffer_);
      buffer_ = bytes;
      capacity_ = length_ = size;
    } else {
      FreeLocalMemory(bytes);
    }
  }
  std::fclose(f);
}

CVXMemoryStream::CVXMemoryStream(const void* data, std::int32_t count) : CVXMemoryStream() {
  if (data == nullptr || count <= 0) return;
  auto* bytes = static_cast<std::uint8_t*>(GetLocalMemory(count));
  if (bytes == nullptr) return;
  std::memcpy(bytes, data, count);
  FreeLocalMemory(buffer_);
  buffer_ = bytes;
  capacity_ = length_ = count;
}

CVXMemoryStream::~CVXMemoryStream() {
  FreeLocalMemory(buffer_);
}

bool CVXMemoryStream::ReadByte(std::uint8_t* value) {
  if (value == nullptr || position_ >= length_) return false;
  *value = buffer_[position_++];
  return true;
}

bool CVXMemoryStream::ReadWord(std::int16_t* value) {
  if (value == nullptr) return false;
  return Read(value, sizeof *value);
}

bool CVXMemoryStream::ReadDword(std::int32_t* value) {
  if (value == nullptr) return false;
  return Read(value, sizeof *value);
}

// A short tail lands in the low-order bytes because the machine is little-endian.
bool CVXMemoryStream::Read(void* dest, std::int32_t count, std::int32_t* done) {
  if (dest == nullptr) return false;
  const std::int32_t n = std::min(count, length_ - position_);
  if (n <= 0) return false;
  std::memcpy(dest, buffer_ + position_, n);
  position_ += n;
  if (done != nullptr) *done = n;
  return true;
}

// Growth: doubling plus the overflow, so long series of small writes cost amortised constant
// time. A buffer that cannot grow leaves the stream as it was and the write fails.
bool CVXMemoryStream::Reserve(std::int64_t n, bool singleByte) {
  const std::int64_t end = static_cast<std::int64_t>(position_) + n;
  if (end <= capacity_) return true;
  if (end > kMaxBytes) return false;
  std::int64_t wanted;
  if (singleByte) {
    // A single appended byte doubles the buffer; an empty file's buffer of 0 gets the default.
    wanted = std::max<std::int64_t>(2 * static_cast<std::int64_t>(capacity_), kDefaultCapacity);
  } else {
    wanted = 2 * static_cast<std::int64_t>(capacity_) + (end - length_);
  }
  wanted = std::min(std::max(wanted, end), kMaxBytes);
  void* grown = ReallocLocalMemory(buffer_, static_cast<std::int32_t>(wanted));
  if (grown == nullptr && wanted > end) {  // the generous size failed: try the bare need
    wanted = end;
    grown = ReallocLocalMemory(buffer_, static_cast<std::int32_t>(wanted));
  }
  if (grown == nullptr) return false;
  buffer_ = static_cast<std::uint8_t*>(grown);
  capacity_ = static_cast<std::int32_t>(wanted);
  return true;
}

bool CVXMemoryStream::WriteBytes(const void* source, std::int32_t count, bool singleByte) {
  // capacity_ - position_ cannot overflow; the common case needs no growth at all.
  if (count > capacity_ - position_ && !Reserve(count, singleByte)) return false;
  std::memcpy(buffer_ + position_, source, count);
  position_ += count;
  length_ = std::max(length_, position_);
  return true;
}

bool CVXMemoryStream::WriteByte(std::uint8_t value) {
  if (position_ < capacity_) {  // the hot path of byte-wise serialisation
    buffer_[position_++] = value;
    length_ = std::max(length_, position_);
    return true;
  }
  return WriteBytes(&value, 1, true);
}
bool CVXMemoryStream::WriteWord(std::int16_t value) {
  return WriteBytes(&value, sizeof value, false);
}
bool CVXMemoryStream::WriteDword(std::int32_t value) {
  return WriteBytes(&value, sizeof value, false);
}

bool CVXMemoryStream::Write(const void* source, std::int32_t count, std::int32_t* done) {
  if (source == nullptr || count < 0) return false;
  if (count > 0 && !WriteBytes(source, count, false)) return false;
  if (done != nullptr) *done = count;
  return true;
}

std::int32_t CVXMemoryStream::Seek(std::int32_t offset, VXSeekType origin) {
  std::int64_t target;
  switch (origin) {
    case VX_SEEK_BEGIN:
      target = offset;
      break;
    case VX_SEEK_CURRENT:
      target = static_cast<std::int64_t>(position_) + offset;
      break;
    case VX_SEEK_END:
      target = static_cast<std::int64_t>(length_) - offset;
      break;
    default:
      return position_;
  }
  position_ = static_cast<std::int32_t>(std::clamp<std::int64_t>(target, 0, length_));
  return position_;
}

bool CVXMemoryStream::SaveToFile(const std::filesystem::path& file) const {
  std::FILE* f = std::fopen(file.c_str(), "wb");
  if (f == nullptr) return false;
  const bool written =
      length_ == 0 || std::fwrite(buffer_, 1, length_, f) == static_cast<std::size_t>(length_);
  const bool closed = std::fclose(f) == 0;
  return written && closed;
}

bool CVXMemoryStream::GetIStream(IVXStream** stream) const {
  if (stream == nullptr) return false;
  IVXStream* copy = CreateVXStream();
  if (copy == nullptr) return false;
  std::uint32_t done = 0;
  if (!copy->Write(buffer_, static_cast<std::uint32_t>(length_), &done) ||
      done != static_cast<std::uint32_t>(length_)) {
    copy->Release();
    return false;
  }
  *stream = copy;
  return true;
}

extern "C" void CKFreeMemoryStream(CVXMemoryStream* stream) {
  delete stream;
}
