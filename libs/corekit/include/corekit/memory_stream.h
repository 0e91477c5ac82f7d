#pragma once
// The one byte container every engine library persists objects in and exchanges data through.

#include <cstdint>
#include <filesystem>

// Origins of CVXMemoryStream::Seek. Note that "end" counts BACK from the end: Seek(5, VX_SEEK_END)
// on a 20-byte stream goes to 15.
enum VXSeekType : std::int32_t {
  VX_SEEK_BEGIN = 0,
  VX_SEEK_CURRENT = 1,
  VX_SEEK_END = 2,
};

class IVXStream;

// A growable buffer with a read/write position and little-endian fixed-width values.
// Invariant: 0 <= position <= length <= capacity. Not thread-safe: one thread at a time.
// Not copyable (a copy would share the buffer).
class CVXMemoryStream {
 public:
  // Empty, with room for 32 bytes.
  CVXMemoryStream();
  // The whole file in a buffer of exactly its size, position 0. When the file cannot be opened or
  // read completely (or is larger than 2 GiB - 1), the stream is empty as by the default one.
  explicit CVXMemoryStream(const std::filesystem::path& file);
  // A copy of count bytes; a null pointer or a count <= 0 gives the default empty stream.
  CVXMemoryStream(const void* data, std::int32_t count);
  virtual ~CVXMemoryStream();

  CVXMemoryStream(const CVXMemoryStream&) = delete;
  CVXMemoryStream& operator=(const CVXMemoryStream&) = delete;

  // Start of the contents (not the position); never null.
  std::uint8_t* GetData() const { return buffer_; }
  std::int32_t Tell() const { return position_; }
  std::int32_t GetLength() const { return length_; }
  std::int32_t GetCapacity() const { return capacity_; }

  // Reads advance the position by what they deliver. ReadWord/ReadDword deliver a short tail
  // (fewer than 2 or 4 bytes) into the low-order bytes of *value, keep its other bytes, and
  // succeed; they fail only when nothing remains. A failed read changes nothing.
  bool ReadByte(std::uint8_t* value);
  bool ReadWord(std::int16_t* value);
  bool ReadDword(std::int32_t* value);
  // Cuts count to what remains; fails (leaving *done untouched) when that is <= 0 or dest is null.
  bool Read(void* dest, std::int32_t count, std::int32_t* done = nullptr);

  // Writes overwrite at the position, extend the length past its end and advance the position.
  // They fail, changing nothing, for a null source or a negative count, and when the buffer
  // cannot grow (out of memory, or the contents would pass 2 GiB - 1).
  bool WriteByte(std::uint8_t value);
  bool WriteWord(std::int16_t value);
  bool WriteDword(std::int32_t value);
  bool Write(const void* source, std::int32_t count, std::int32_t* done = nullptr);

  // New position, clamped to [0, length]; an unknown origin changes nothing. Never extends.
  std::int32_t Seek(std::int32_t offset, VXSeekType origin);

  // Writes bytes [0, length) to the file (created or truncated); the position is not used.
  bool SaveToFile(const std::filesystem::path& file) const;

  // A new in-memory stream holding a copy of bytes [0, length), its seek pointer after them,
  // with one reference that the caller releases. This stream is unchanged.
  bool GetIStream(IVXStream** stream) const;

 private:
  // Makes room for a write of n bytes at the position; false when the buffer cannot grow.
  // WriteByte grows by doubling, the other writes by doubling plus the overflow.
  bool Reserve(std::int64_t n, bool singleByte);
  bool WriteBytes(const void* source, std::int32_t count, bool singleByte);

  std::uint8_t* buffer_;
  std::int32_t capacity_;
  std::int32_t position_;
  std::int32_t length_;
};

// A reference-counted in-memory byte stream, the counterpart of a COM stream on global memory:
// it owns its bytes and may be read, written, sought and resized. Create one with CreateVXStream
// or CVXMemoryStream::GetIStream; give it back with Release. Sizes are limited to 2 GiB - 1.
class IVXStream {
 public:
  enum Origin : std::int32_t { kBegin = 0, kCurrent = 1, kEnd = 2 };  // kEnd: size + offset

  virtual std::uint32_t AddRef() = 0;
  virtual std::uint32_t Release() = 0;  // deletes the stream when the last reference goes

  // Reads up to count bytes at the seek pointer; fewer (also 0) at the end is success.
  virtual bool Read(void* dest, std::uint32_t count, std::uint32_t* done) = 0;
  // Writes at the seek pointer; a gap left by seeking past the end reads as zeros.
  virtual bool Write(const void* source, std::uint32_t count, std::uint32_t* done) = 0;
  // Moves the seek pointer; it may pass the end but not go before the start.
  virtual bool Seek(std::int64_t offset, Origin origin, std::uint64_t* position) = 0;
  virtual bool SetSize(std::uint64_t size) = 0;
  virtual std::uint64_t GetSize() const = 0;
  // The contents, valid until the next write or resize.
  virtual const std::uint8_t* GetBuffer() const = 0;

 protected:
  virtual ~IVXStream() = default;
};

extern "C" {
// Deletes a stream that corekit allocated; null is ignored.
void CKFreeMemoryStream(CVXMemoryStream* stream);
// A new empty in-memory stream with one reference, or null when out of memory.
IVXStream* CreateVXStream();
}
