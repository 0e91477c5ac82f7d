#pragma once
// Media elements: every item the engine lists, shows, sorts or renders (a photo, a media file, a
// flash movie, a plain colour). Texts are UTF-8; a null text means "none".

#include <corekit/memory_stream.h>
#include <corekit/video_frame.h>

#include <cstdint>

enum ElementObjectType : std::int32_t {
  ELEMENT_OBJECT_COLOR = 0,
  ELEMENT_OBJECT_IMAGE = 1,
  ELEMENT_OBJECT_VIDEO = 2,  // any media file the codec library reads, audio-only ones included
  ELEMENT_OBJECT_FLASH = 3,
  ELEMENT_OBJECT_NONE = 4,
};

// Sort keys of ElementEqual.
enum CompareType : std::int32_t {
  COMPARE_TRACK_START = 0,  // track start, then track length
  COMPARE_TRACK_LENGTH = 1,
  COMPARE_CAPTION = 2,  // without regard to letter case
  COMPARE_FILE_SIZE = 3,
  COMPARE_MODIFY_DATE = 4,
  COMPARE_TAKE_DATE = 5,  // the date and time stored in the picture
  COMPARE_RESERVED_VALUE = 100,
  COMPARE_RESERVED_POINTER = 101,
};

// Writing an object to and reading it from a stream or a file.
class CELPersistence {
 public:
  virtual ~CELPersistence() = default;
  // Loads the whole file into a stream and reads the object from it.
  virtual bool ReadFromFile(const char* path);
  // Writes the object into a stream and saves that; the result is the write's, not the save's.
  virtual bool WriteToFile(const char* path);
  virtual bool ReadFromStream(CVXMemoryStream* stream) = 0;
  virtual bool WriteToStream(CVXMemoryStream* stream) = 0;
};

// What the thumbnail explorer needs of an item.
class CExplorerInterface {
 public:
  CExplorerInterface() = default;
  CExplorerInterface(const CExplorerInterface&) = delete;
  virtual ~CExplorerInterface() = default;

  // Copies selected and focused.
  virtual CExplorerInterface& operator=(const CExplorerInterface& other);
  virtual bool GetThumbnailOK() = 0;
  virtual bool InitializeOK() = 0;
  virtual bool Initialize() = 0;
  virtual bool GetThumbnail(tagVideoFrame* frame, bool exact) = 0;
  virtual bool GetThumbnail(tagVideoFrame* frame, int size, bool exact) = 0;
  virtual const char* GetCaption() = 0;
  virtual bool UpdateCaption(const char* caption);  // the base refuses: false
  virtual const char* GetDescription() = 0;
  // Store the flag; true only when it changed.
  virtual bool SetSelected(bool selected);
  virtual bool SetFocus(bool focused);
  virtual bool GetSelected() { return selected_; }
  virtual bool GetFocus() { return focused_; }

 protected:
  bool selected_ = false;
  bool focused_ = false;
};

// The element base class. Extern data is owned by the element and lives in corekit's shared
// heap. Not thread-safe: one thread at a time (a list serialises its users with its lock).
class CElementObject : public CELPersistence, public CExplorerInterface {
 public:
  static constexpr std::int64_t kDefaultTrackLength = 30'000'000;   // 3 s
  static constexpr std::int64_t kNullCopyTrackLength = 70'000'000;  // 7 s
  // "Element Object" and its terminating zero, as UTF-16LE: the block's first 30 bytes.
  static constexpr std::int32_t kMarkerBytes = 30;
  // An element block without extern data.
  static constexpr std::int32_t kBlockBytes = kMarkerBytes + 4 + 8 + 8 + 4;

  CElementObject();
  // A copy of another element with its own copy of the extern data; from null, a default
  // element whose track is 7 s long.
  explicit CElementObject(const CElementObject* other);
  CElementObject(const CElementObject&) = delete;
  ~CElementObject() override;

  // The element block: marker, reserved value, track start and length, extern data.
  bool ReadFromStream(CVXMemoryStream* stream) override;
  bool WriteToStream(CVXMemoryStream* stream) override;

  // Copies selection, focus, type, reserved value and pointer, track start and length; not the
  // extern data.
  virtual CElementObject& operator=(const CElementObject& other);
  using CExplorerInterface::operator=;
  // Negative, 0 or positive: this element before, level with or after the other.
  virtual int ElementEqual(CElementObject* other, CompareType type);
  virtual ElementObjectType GetElementType() { return type_; }
  virtual std::int64_t GetTrackStart() { return trackStart_; }
  virtual void SetTrackStart(std::int64_t start);  // negative values are ignored
  virtual std::int64_t GetTrackLength() { return trackLength_; }
  virtual void SetTrackLength(std::int64_t length);
  virtual const char* GetFilePath() { return nullptr; }
  // Copies length bytes into the element's block; a null pointer or length <= 0 frees it.
  virtual bool SetExternData(const void* data, std::int32_t length);
  // Copies min(bufferLength, stored length) bytes; 0 for a null buffer or without extern data.
  virtual std::int32_t GetExternData(void* buffer, std::int32_t bufferLength);
  virtual bool GetReservedData(std::uint32_t* value, void** pointer);
  virtual void SetReservedData(std::uint32_t value, void* pointer);
  virtual std::uint32_t GetReserved1() { return reserved1_; }
  virtual void* GetReserved2() { return reserved2_; }

  // The base element has nothing to load or show: it reports success and does nothing.
  bool GetThumbnailOK() override { return true; }
  bool InitializeOK() override { return true; }
  bool Initialize() override { return true; }
  bool GetThumbnail(tagVideoFrame*, bool) override { return true; }
  bool GetThumbnail(tagVideoFrame*, int, bool) override { return true; }
  const char* GetCaption() override { return nullptr; }
  const char* GetDescription() override { return nullptr; }

  std::int32_t GetExternLength() const { return externLength_; }

 protected:
  void SetElementType(ElementObjectType type) { type_ = type; }
  // The rule of sort keys 3, 4 and 5 for elements that carry a file path: colours first, then
  // file size, modification key or picture date (non-images before images).
  int CompareFiles(CElementObject* other, CompareType type);

 private:
  void FreeExtern();

  std::uint32_t reserved1_ = 0;
  void* reserved2_ = nullptr;
  ElementObjectType type_ = ELEMENT_OBJECT_NONE;
  std::int64_t trackStart_ = 0;
  std::int64_t trackLength_ = kDefaultTrackLength;
  std::uint8_t* extern_ = nullptr;
  std::int32_t externLength_ = 0;
};

// File properties used for sorting and display. Paths are UTF-8.
extern "C" {
// File size in bytes; 0 when the file cannot be opened for reading.
std::int64_t GetObjectSize(const char* path);
// year * 31536000 + month * 2592000 + day * 86400 + hour * 3600 + minute * 60 + second of the
// last-write time in UTC: an ordering key, not a count of seconds. 0 when it cannot be opened.
std::int64_t GetModifyDate(const char* path);
// The same time as "%d:%d:%d %d:%d:%d"; writes nothing when the file cannot be opened.
void GetModifyDateString(const char* path, char* buffer, std::int32_t length);
// ((((year * 365 + month * 30 + day) * 24 + hour) * 60 + minute) * 60 + second) of the picture's
// own date and time ("YYYY:MM:DD HH:MM:SS" in its EXIF data: when it was taken, else when it
// was last changed); 0 when the picture cannot be read or has no such text.
std::int64_t GetTakeDateTime(const char* path);
// That text; false when the picture or the text is missing.
bool GetTakeDateTimeString(const char* path, char* buffer, std::int32_t length);
}
