#include "mediaitems/element.h"

#include <corekit/local_memory.h>
#include <jotter/jotter.h>

#include <cstring>
#include <memory>

#include "text_compare.h"

namespace {

constexpr char16_t kElementMarker[] = u"Element Object";
static_assert(sizeof kElementMarker == CElementObject::kMarkerBytes);

// Little-endian on every machine we build for; the stream format is little-endian.
bool write64(CVXMemoryStream* stream, std::int64_t value) {
  return stream->Write(&value, 8);
}

// Short streams are read as far as they go: missing bytes leave the value as it was.
void read64(CVXMemoryStream* stream, std::int64_t* value) {
  std::int64_t read = *value;
  if (stream->Read(&read, 8)) *value = read;
}

template <typename T>
int sign(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

bool CELPersistence::ReadFromFile(const char* path) {
  if (path == nullptr) return false;
  CVXMemoryStream stream{std::filesystem::path(path)};
  return ReadFromStream(&stream);
}

bool CELPersistence::WriteToFile(const char* path) {
  if (path == nullptr) return false;
  CVXMemoryStream stream;
  const bool written = WriteToStream(&stream);
  stream.SaveToFile(std::filesystem::path(path));
  return written;
}

CExplorerInterface& CExplorerInterface::operator=(const CExplorerInterface& other) {
  if (this != &other) {
    selected_ = other.selected_;
    focused_ = other.focused_;
  }
  return *this;
}

bool CExplorerInterface::UpdateCaption(const char*) {
  return false;
}

bool CExplorerInterface::SetSelected(bool selected) {
  if (selected_ == selected) return false;
  selected_ = selected;
  return true;
}

bool CExplorerInterface::SetFocus(bool focused) {
  if (focused_ == focused) return false;
  focused_ = focused;
  return true;
}

CElementObject::CElementObject() = default;

CElementObject::CElementObject(const CElementObject* other) {
  if (other == nullptr) {
    trackLength_ = kNullCopyTrackLength;
    return;
  }
  selected_ = other->selected_;
  focused_ = other->focused_;
  type_ = other->type_;
  reserved1_ = other->reserved1_;
  reserved2_ = other->reserved2_;
  trackStart_ = other->trackStart_;
  trackLength_ = other->trackLength_;
  SetExternData(other->extern_, other->externLength_);
}

CElementObject::~CElementObject() {
  FreeExtern();
}

void CElementObject::FreeExtern() {
  FreeLocalMemory(extern_);
  extern_ = nullptr;
  externLength_ = 0;
}

CElementObject& CElementObject::operator=(const CElementObject& other) {
  if (this == &other) return *this;
  CExplorerInterface::operator=(other);
  type_ = other.type_;
  reserved1_ = other.reserved1_;
  reserved2_ = other.reserved2_;
  trackStart_ = other.trackStart_;
  trackLength_ = other.trackLength_;
  return *this;
}

void CElementObject::SetTrackStart(std::int64_t start) {
  if (start >= 0) trackStart_ = start;
}

void CElementObject::SetTrackLength(std::int64_t length) {
  trackLength_ = length;
}

bool CElementObject::SetExternData(const void* data, std::int32_t length) {
  if (data == nullptr || length <= 0) {
    FreeExtern();
    return true;
  }
  // A fresh block, so that data may point into the old one.
  auto* block = static_cast<std::uint8_t*>(GetLocalMemory(length));
  if (block == nullptr) {
    OvraPrintfTextA("Element Object: no memory for %d bytes of extern data", length);
    return false;
  }
  std::memcpy(block, data, static_cast<std::size_t>(length));
  FreeExtern();
  extern_ = block;
  externLength_ = length;
  return true;
}

std::int32_t CElementObject::GetExternData(void* buffer, std::int32_t bufferLength) {
  if (buffer == nullptr || extern_ == nullptr || bufferLength <= 0) return 0;
  const std::int32_t n = bufferLength < externLength_ ? bufferLength : externLength_;
  std::memcpy(buffer, extern_, static_cast<std::size_t>(n));
  return n;
}

bool CElementObject::GetReservedData(std::uint32_t* value, void** pointer) {
  if (value != nullptr) *value = reserved1_;
  if (pointer != nullptr) *pointer = reserved2_;
  return true;
}

void CElementObject::SetReservedData(std::uint32_t value, void* pointer) {
  reserved1_ = value;
  reserved2_ = pointer;
}

bool CElementObject::WriteToStream(CVXMemoryStream* stream) {
  if (stream == nullptr) return false;
  bool ok = stream->Write(kElementMarker, kMarkerBytes);
  ok = ok && stream->WriteDword(static_cast<std::int32_t>(reserved1_));
  ok = ok && write64(stream, trackStart_);
  ok = ok && write64(stream, trackLength_);
  const std::int32_t n = extern_ != nullptr ? externLength_ : 0;
  ok = ok && stream->WriteDword(n);
  if (n > 0) ok = ok && stream->Write(extern_, n);
  return ok;
}

bool CElementObject::ReadFromStream(CVXMemoryStream* stream) {
  if (stream == nullptr) return false;
  const std::int32_t start = stream->Tell();
  char16_t marker[kMarkerBytes / 2] = {};
  std::int32_t got = 0;
  if (!stream->Read(marker, kMarkerBytes, &got) ||
      std::memcmp(marker, kElementMarker, kMarkerBytes) != 0) {
    // Back to where the block should have begun, also when fewer than 30 bytes were there.
    stream->Seek(start, VX_SEEK_BEGIN);
    return false;
  }
  std::int32_t value = static_cast<std::int32_t>(reserved1_);
  stream->ReadDword(&value);
  reserved1_ = static_cast<std::uint32_t>(value);
  read64(stream, &trackStart_);
  read64(stream, &trackLength_);
  std::int32_t n = externLength_;
  if (!stream->ReadDword(&n)) return true;  // nothing left: extern data as it was
  if (n < 1) {
    FreeExtern();
    return true;
  }
  // A length beyond the stream's end is a broken block: only what is there is read, so a
  // hostile length never turns into an allocation of its size.
  const std::int32_t left = stream->GetLength() - stream->Tell();
  if (n > left) {
    OvraPrintfTextA("Element Object: extern data of %d bytes, only %d left in the stream", n, left);
    n = left;
  }
  if (n < 1) {
    FreeExtern();
    return true;
  }
  auto* block = static_cast<std::uint8_t*>(ReallocLocalMemory(extern_, n));
  if (block == nullptr) {
    OvraPrintfTextA("Element Object: no memory for %d bytes of extern data", n);
    return false;
  }
  extern_ = block;
  externLength_ = n;
  stream->Read(extern_, n);
  return true;
}

int CElementObject::ElementEqual(CElementObject* other, CompareType type) {
  if (other == nullptr) return 0;
  switch (type) {
    case COMPARE_TRACK_START:
      if (trackStart_ != other->trackStart_) return sign(trackStart_, other->trackStart_);
      return sign(trackLength_, other->trackLength_);
    case COMPARE_TRACK_LENGTH:
      return sign(trackLength_, other->trackLength_);
    case COMPARE_CAPTION:
      return mediaitems::compareCaptions(GetCaption(), other->GetCaption());
    case COMPARE_FILE_SIZE:
    case COMPARE_MODIFY_DATE:
    case COMPARE_TAKE_DATE:
      return CompareFiles(other, type);
    case COMPARE_RESERVED_VALUE:
      return sign(reserved1_, other->reserved1_);
    case COMPARE_RESERVED_POINTER:
      return sign(reinterpret_cast<std::uintptr_t>(reserved2_),
                  reinterpret_cast<std::uintptr_t>(other->reserved2_));
  }
  return 0;
}

int CElementObject::CompareFiles(CElementObject* other, CompareType type) {
  const bool thisColour = type_ == ELEMENT_OBJECT_COLOR;
  const bool otherColour = other->type_ == ELEMENT_OBJECT_COLOR;
  if (thisColour || otherColour) return thisColour == otherColour ? 0 : (thisColour ? -1 : 1);
  switch (type) {
    case COMPARE_FILE_SIZE:
      return sign(GetObjectSize(GetFilePath()), GetObjectSize(other->GetFilePath()));
    case COMPARE_MODIFY_DATE:
      return sign(GetModifyDate(GetFilePath()), GetModifyDate(other->GetFilePath()));
    default: {
      const bool thisImage = type_ == ELEMENT_OBJECT_IMAGE;
      const bool otherImage = other->type_ == ELEMENT_OBJECT_IMAGE;
      if (!thisImage || !otherImage) return thisImage == otherImage ? 0 : (thisImage ? 1 : -1);
      return sign(GetTakeDateTime(GetFilePath()), GetTakeDateTime(other->GetFilePath()));
    }
  }
}
