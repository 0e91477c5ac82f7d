#include <gtest/gtest.h>

#include <corekit/memory_stream.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <testkit/files.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "mediaitems/element.h"

namespace {

namespace fs = std::filesystem;

using Bytes = std::vector<std::uint8_t>;

const fs::path kScratch = [] {
  fs::path dir = fs::temp_directory_path() / ("mediaitems-test-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("XDG_STATE_HOME", dir.c_str(), 1);
  return dir;
}();

void writeBytes(const fs::path& file, const Bytes& bytes) {
  std::ofstream(file, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

Bytes contents(const CVXMemoryStream& s) {
  return Bytes(s.GetData(), s.GetData() + s.GetLength());
}

// Little-endian, zero-extended past 8 bytes.
void append(Bytes& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(i < 8 ? static_cast<std::uint8_t>(value >> (8 * i)) : 0);
}

Bytes marker(const char* text = "Element Object") {
  Bytes out;
  for (const char* p = text;; ++p) {
    append(out, static_cast<unsigned char>(*p), 2);
    if (*p == 0) break;
  }
  return out;
}

// An element with a caption, a type and a path, as the list's elements have.
class NamedElement : public CElementObject {
 public:
  NamedElement(ElementObjectType type, std::string caption, std::string path = {})
      : caption_(std::move(caption)), path_(std::move(path)) {
    SetElementType(type);
  }
  const char* GetCaption() override { return caption_.empty() ? nullptr : caption_.c_str(); }
  const char* GetFilePath() override { return path_.c_str(); }

 private:
  std::string caption_, path_;
};

// The block layout written out by hand: marker, reserved value, track start, track length,
// extern data length and bytes.
TEST(ElementStream, HandWrittenBlockReadsAndWritesBackExactly) {
  Bytes block = marker();
  ASSERT_EQ(block.size(), 30u);
  append(block, 0x11223344, 4);
  append(block, 0x0102030405060708, 8);
  append(block, 70'000'000, 8);
  append(block, 3, 4);
  block.insert(block.end(), {'a', 'b', 'c'});

  CVXMemoryStream in(block.data(), static_cast<std::int32_t>(block.size()));
  CElementObject element;
  ASSERT_TRUE(element.ReadFromStream(&in));
  EXPECT_EQ(in.Tell(), static_cast<std::int32_t>(block.size()));
  EXPECT_EQ(element.GetReserved1(), 0x11223344u);
  EXPECT_EQ(element.GetTrackStart(), 0x0102030405060708);
  EXPECT_EQ(element.GetTrackLength(), 70'000'000);
  char extern3[8] = {};
  EXPECT_EQ(element.GetExternData(extern3, sizeof extern3), 3);
  EXPECT_STREQ(extern3, "abc");
  // Not part of the block.
  EXPECT_EQ(element.GetElementType(), ELEMENT_OBJECT_NONE);

  CVXMemoryStream out;
  ASSERT_TRUE(element.WriteToStream(&out));
  EXPECT_EQ(contents(out), block);
}

TEST(ElementStream, RoundTripsWithAndWithoutExternData) {
  for (int externBytes : {0, 1, 1000}) {
    SCOPED_TRACE(externBytes);
    CElementObject element;
    element.SetReservedData(0xFEEDBEEF, &element);
    element.SetTrackStart(123456789);
    element.SetTrackLength(-5);
    Bytes data(static_cast<std::size_t>(externBytes));
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7);
    element.SetExternData(data.data(), externBytes);

    CVXMemoryStream stream;
    ASSERT_TRUE(element.WriteToStream(&stream));
    EXPECT_EQ(stream.GetLength(), CElementObject::kBlockBytes + externBytes);
    stream.Seek(0, VX_SEEK_BEGIN);
    CElementObject back;
    ASSERT_TRUE(back.ReadFromStream(&stream));
    EXPECT_EQ(back.GetReserved1(), 0xFEEDBEEF);
    EXPECT_EQ(back.GetReserved2(), nullptr);  // a pointer is never persisted
    EXPECT_EQ(back.GetTrackStart(), 123456789);
    EXPECT_EQ(back.GetTrackLength(), -5);
    Bytes got(data.size() + 1);
    EXPECT_EQ(back.GetExternData(got.data(), static_cast<std::int32_t>(got.size())), externBytes);
    got.resize(data.size());
    EXPECT_EQ(got, data);
  }
  EXPECT_EQ(CElementObject::kBlockBytes, 54);
}

TEST(ElementStream, FileRoundTrip) {
  const fs::path file = kScratch / "élément.bin";
  CElementObject element;
  element.SetTrackStart(42);
  element.SetExternData("xyz", 3);
  ASSERT_TRUE(element.WriteToFile(file.c_str()));
  EXPECT_EQ(fs::file_size(file), 57u);
  CElementObject back;
  ASSERT_TRUE(back.ReadFromFile(file.c_str()));
  EXPECT_EQ(back.GetTrackStart(), 42);
  EXPECT_EQ(back.GetExternLength(), 3);
  EXPECT_FALSE(back.ReadFromFile((kScratch / "missing").c_str()));
  EXPECT_FALSE(back.ReadFromFile(nullptr));
}

// A block that does not begin with the marker is left unread: the position is where it was and
// the element unchanged, also when fewer than 30 bytes are left.
TEST(ElementStream, WrongOrShortMarkerLeavesStreamAndElement) {
  Bytes wrongText = marker("Element Objecx");
  append(wrongText, 1, 26);
  Bytes noZero = marker("Element Object");
  noZero[28] = 'X';
  append(noZero, 1, 26);
  const Bytes full = marker();
  const Bytes shortMarker(full.begin(), full.begin() + 20);
  const Bytes clipMarker = marker("Clip Object");
  for (const Bytes& body : {wrongText, noZero, shortMarker, clipMarker, Bytes{}}) {
    Bytes all = {9, 9, 9, 9, 9};  // the block starts at offset 5
    all.insert(all.end(), body.begin(), body.end());
    CVXMemoryStream stream(all.data(), static_cast<std::int32_t>(all.size()));
    stream.Seek(5, VX_SEEK_BEGIN);
    CElementObject element;
    element.SetTrackStart(77);
    element.SetExternData("keep", 4);
    EXPECT_FALSE(element.ReadFromStream(&stream));
    EXPECT_EQ(stream.Tell(), 5);
    EXPECT_EQ(element.GetTrackStart(), 77);
    EXPECT_EQ(element.GetExternLength(), 4);
  }
  CElementObject element;
  EXPECT_FALSE(element.ReadFromStream(nullptr));
  EXPECT_FALSE(element.WriteToStream(nullptr));
}

// Short streams are read as far as they go; a length beyond the end never allocates its size.
TEST(ElementStream, ShortStreamsAndHostileLengths) {
  struct Case {
    const char* name;
    std::int64_t declared;  // extern length field; -1: the field is missing
    int following;          // bytes after it
    std::int32_t externAfter;
  };
  const Case cases[] = {
      {"no length field", -1, 0, 4},
      {"zero length frees", 0, 0, 0},
      {"negative length frees", 0xFFFFFFFF, 0, 0},
      {"absurd length", 0x7FFFFFF0, 5, 5},
      {"one byte short", 6, 5, 5},
      {"exact", 5, 5, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes block = marker();
    append(block, 7, 4);
    append(block, 1000, 8);
    append(block, 2000, 8);
    if (c.declared >= 0) append(block, static_cast<std::uint64_t>(c.declared), 4);
    block.insert(block.end(), static_cast<std::size_t>(c.following), 0xAB);
    CVXMemoryStream stream(block.data(), static_cast<std::int32_t>(block.size()));
    CElementObject element;
    element.SetExternData("keep", 4);
    EXPECT_TRUE(element.ReadFromStream(&stream));
    EXPECT_EQ(element.GetTrackLength(), 2000);
    EXPECT_EQ(element.GetExternLength(), c.externAfter);
  }
  // Only the reserved value is there: the track keeps its values.
  Bytes block = marker();
  append(block, 7, 4);
  CVXMemoryStream stream(block.data(), static_cast<std::int32_t>(block.size()));
  CElementObject element;
  element.SetTrackStart(5);
  EXPECT_TRUE(element.ReadFromStream(&stream));
  EXPECT_EQ(element.GetReserved1(), 7u);
  EXPECT_EQ(element.GetTrackStart(), 5);
  EXPECT_EQ(element.GetTrackLength(), CElementObject::kDefaultTrackLength);
}

TEST(Element, ConstructionAndCopyRules) {
  CElementObject plain;
  EXPECT_EQ(plain.GetElementType(), ELEMENT_OBJECT_NONE);
  EXPECT_EQ(plain.GetTrackLength(), 30'000'000);
  EXPECT_FALSE(plain.GetSelected());
  EXPECT_FALSE(plain.GetFocus());
  EXPECT_EQ(plain.GetCaption(), nullptr);
  EXPECT_EQ(plain.GetFilePath(), nullptr);
  EXPECT_TRUE(plain.Initialize());

  CElementObject fromNull(nullptr);
  EXPECT_EQ(fromNull.GetTrackLength(), 70'000'000);

  NamedElement source(ELEMENT_OBJECT_IMAGE, "a");
  source.SetReservedData(9, &plain);
  source.SetTrackStart(11);
  source.SetTrackLength(22);
  source.SetSelected(true);
  source.SetExternData("0123456789", 10);
  CElementObject copy(&source);
  EXPECT_EQ(copy.GetElementType(), ELEMENT_OBJECT_IMAGE);
  EXPECT_EQ(copy.GetReserved1(), 9u);
  EXPECT_EQ(copy.GetReserved2(), &plain);
  EXPECT_EQ(copy.GetTrackStart(), 11);
  EXPECT_EQ(copy.GetTrackLength(), 22);
  EXPECT_TRUE(copy.GetSelected());
  source.SetExternData("other", 5);  // the copy has its own block
  char buffer[16] = {};
  EXPECT_EQ(copy.GetExternData(buffer, 16), 10);
  EXPECT_EQ(std::string(buffer, 10), "0123456789");

  CElementObject assigned;
  assigned.SetExternData("mine", 4);
  assigned = source;
  EXPECT_EQ(assigned.GetTrackStart(), 11);
  EXPECT_TRUE(assigned.GetSelected());
  EXPECT_EQ(assigned.GetExternLength(), 4);  // extern data is not assigned
  CElementObject& self = assigned;
  assigned = self;
  EXPECT_EQ(assigned.GetExternLength(), 4);
}

TEST(Element, Accessors) {
  CElementObject e;
  e.SetTrackStart(100);
  e.SetTrackStart(-1);
  EXPECT_EQ(e.GetTrackStart(), 100);
  e.SetTrackLength(-3);
  EXPECT_EQ(e.GetTrackLength(), -3);

  EXPECT_FALSE(e.SetSelected(false));
  EXPECT_TRUE(e.SetSelected(true));
  EXPECT_FALSE(e.SetSelected(true));
  EXPECT_TRUE(e.GetSelected());
  EXPECT_TRUE(e.SetSelected(false));
  EXPECT_TRUE(e.SetFocus(true));
  EXPECT_FALSE(e.SetFocus(true));
  EXPECT_FALSE(e.UpdateCaption("x"));

  e.SetExternData("0123456789", 10);
  char four[4];
  EXPECT_EQ(e.GetExternData(four, 4), 4);
  EXPECT_EQ(std::string(four, 4), "0123");
  EXPECT_EQ(e.GetExternData(nullptr, 4), 0);
  // From its own block: a copy of a part of it.
  char own[10];
  e.GetExternData(own, 10);
  e.SetExternData(own + 2, 3);
  EXPECT_EQ(e.GetExternData(four, 4), 3);
  EXPECT_EQ(std::string(four, 3), "234");
  e.SetExternData("x", 0);
  EXPECT_EQ(e.GetExternLength(), 0);
  EXPECT_EQ(e.GetExternData(four, 4), 0);

  std::uint32_t value = 1;
  void* pointer = &value;
  e.SetReservedData(5, nullptr);
  EXPECT_TRUE(e.GetReservedData(&value, nullptr));
  EXPECT_EQ(value, 5u);
  EXPECT_TRUE(e.GetReservedData(nullptr, &pointer));
  EXPECT_EQ(pointer, nullptr);
}

TEST(Element, ElementEqualByKey) {
  auto make = [](std::int64_t start, std::int64_t length, std::uint32_t value, void* pointer) {
    auto e = std::make_unique<CElementObject>();
    e->SetTrackStart(start);
    e->SetTrackLength(length);
    e->SetReservedData(value, pointer);
    return e;
  };
  char objects[2];
  auto a = make(10, 5, 2, &objects[1]);
  auto b = make(10, 9, 0xFFFFFFFF, &objects[0]);
  auto c = make(3, 100, 2, &objects[1]);
  struct Case {
    CElementObject* x;
    CElementObject* y;
    CompareType type;
    int expected;
  };
  const Case cases[] = {
      {a.get(), b.get(), COMPARE_TRACK_START, -1},  // equal starts, then lengths
      {a.get(), c.get(), COMPARE_TRACK_START, 1},
      {a.get(), a.get(), COMPARE_TRACK_START, 0},
      {a.get(), c.get(), COMPARE_TRACK_LENGTH, -1},
      {a.get(), b.get(), COMPARE_RESERVED_VALUE, -1},  // unsigned
      {a.get(), c.get(), COMPARE_RESERVED_VALUE, 0},
      {a.get(), b.get(), COMPARE_RESERVED_POINTER, 1},
      {a.get(), b.get(), static_cast<CompareType>(7), 0},
      {a.get(), nullptr, COMPARE_TRACK_START, 0},
  };
  for (const Case& k : cases) EXPECT_EQ(k.x->ElementEqual(k.y, k.type), k.expected) << k.type;

  // Captions: case-insensitive, the difference of the first differing characters; a missing
  // caption is an empty one.
  NamedElement apple(ELEMENT_OBJECT_IMAGE, "Apple"), apricot(ELEMENT_OBJECT_IMAGE, "aPRICOT"),
      none(ELEMENT_OBJECT_IMAGE, ""), umlaut(ELEMENT_OBJECT_IMAGE, "ÄPFEL"),
      umlautLower(ELEMENT_OBJECT_IMAGE, "äpfel");
  EXPECT_EQ(apple.ElementEqual(&apricot, COMPARE_CAPTION), 'p' - 'r');
  EXPECT_EQ(apricot.ElementEqual(&apple, COMPARE_CAPTION), 'r' - 'p');
  EXPECT_EQ(apple.ElementEqual(&none, COMPARE_CAPTION), 'a');
  EXPECT_EQ(none.ElementEqual(&none, COMPARE_CAPTION), 0);
  EXPECT_EQ(umlaut.ElementEqual(&umlautLower, COMPARE_CAPTION), 0);
  CElementObject base;  // its caption is null
  EXPECT_EQ(base.ElementEqual(&apple, COMPARE_CAPTION), -'a');
}

// Sets a file's last-write time to a moment given in UTC.
void setModified(const fs::path& file, int year, int month, int day, int hour, int minute,
                 int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  const utimbuf times{timegm(&t), timegm(&t)};
  ASSERT_EQ(utime(file.c_str(), &times), 0);
}

// dated.jpg with its DateTimeOriginal text replaced, or its tag renamed so that only DateTime
// (2022:01:02 03:04:05) is left.
fs::path datedCopy(const char* name, const char* original) {
  Bytes bytes = testkit::ReadBytes(fs::path(GALLERIA_TEST_DATA) / "dated.jpg");
  const std::string from = "2021:05:06 07:08:09";
  auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
  EXPECT_NE(at, bytes.end());
  if (original != nullptr) {
    std::copy(original, original + from.size(), at);
  } else {
    const std::uint8_t tag[] = {0x03, 0x90, 0x02, 0x00};  // DateTimeOriginal, ASCII
    auto t = std::search(bytes.begin(), bytes.end(), std::begin(tag), std::end(tag));
    EXPECT_NE(t, bytes.end());
    *(t + 1) = 0x91;  // an unknown tag
  }
  const fs::path file = kScratch / name;
  writeBytes(file, bytes);
  return file;
}

TEST(FileProperties, SizeModificationKeyAndPictureDate) {
  const fs::path file = kScratch / "Größe 大小.bin";
  writeBytes(file, Bytes(123, 1));
  setModified(file, 2020, 3, 4, 5, 6, 7);
  EXPECT_EQ(GetObjectSize(file.c_str()), 123);
  EXPECT_EQ(GetModifyDate(file.c_str()),
            2020LL * 31536000 + 3 * 2592000 + 4 * 86400 + 5 * 3600 + 6 * 60 + 7);
  char text[32] = "untouched";
  GetModifyDateString(file.c_str(), text, sizeof text);
  EXPECT_STREQ(text, "2020:3:4 5:6:7");
  char small[5];
  GetModifyDateString(file.c_str(), small, sizeof small);
  EXPECT_STREQ(small, "2020");

  const char* missing = "/nonexistent/file.jpg";
  EXPECT_EQ(GetObjectSize(missing), 0);
  EXPECT_EQ(GetObjectSize(nullptr), 0);
  EXPECT_EQ(GetModifyDate(missing), 0);
  std::strcpy(text, "untouched");
  GetModifyDateString(missing, text, sizeof text);
  EXPECT_STREQ(text, "untouched");

  const std::string dated = (fs::path(GALLERIA_TEST_DATA) / "dated.jpg").string();
  EXPECT_EQ(GetTakeDateTime(dated.c_str()),
            ((((2021LL * 365 + 5 * 30 + 6) * 24 + 7) * 60 + 8) * 60) + 9);
  EXPECT_TRUE(GetTakeDateTimeString(dated.c_str(), text, sizeof text));
  EXPECT_STREQ(text, "2021:05:06 07:08:09");
  // Only the DateTime tag (306): that one serves.
  const fs::path changedOnly = datedCopy("changed-only.jpg", nullptr);
  EXPECT_TRUE(GetTakeDateTimeString(changedOnly.c_str(), text, sizeof text));
  EXPECT_STREQ(text, "2022:01:02 03:04:05");
  // No EXIF data, a blank date, not a picture, no file.
  const std::string undated = (fs::path(GALLERIA_TEST_DATA) / "undated.png").string();
  const fs::path blank = datedCopy("blank.jpg", "    :  :     :  :  ");
  for (const std::string& f : {undated, blank.string(), file.string(), std::string(missing)}) {
    EXPECT_EQ(GetTakeDateTime(f.c_str()), 0) << f;
  }
  EXPECT_FALSE(GetTakeDateTimeString(undated.c_str(), text, sizeof text));
  EXPECT_FALSE(GetTakeDateTimeString(missing, text, sizeof text));
}

// Keys 3, 4 and 5: colours first, then size or modification key; for the picture date,
// non-images before images and images from the earliest date (no date counts as 0).
TEST(FileProperties, FileKeysOrderColoursAndImages) {
  const fs::path small = kScratch / "small.bin", big = kScratch / "big.bin";
  writeBytes(small, Bytes(10, 0));
  writeBytes(big, Bytes(20, 0));
  setModified(small, 2024, 1, 1, 0, 0, 0);
  setModified(big, 2023, 1, 1, 0, 0, 0);
  NamedElement colour(ELEMENT_OBJECT_COLOR, ""), colour2(ELEMENT_OBJECT_COLOR, "");
  NamedElement smallFile(ELEMENT_OBJECT_VIDEO, "", small.string());
  NamedElement bigFile(ELEMENT_OBJECT_VIDEO, "", big.string());
  EXPECT_EQ(smallFile.ElementEqual(&bigFile, COMPARE_FILE_SIZE), -1);
  EXPECT_EQ(bigFile.ElementEqual(&colour, COMPARE_FILE_SIZE), 1);
  EXPECT_EQ(colour.ElementEqual(&bigFile, COMPARE_FILE_SIZE), -1);
  EXPECT_EQ(colour.ElementEqual(&colour2, COMPARE_FILE_SIZE), 0);
  EXPECT_EQ(smallFile.ElementEqual(&bigFile, COMPARE_MODIFY_DATE), 1);

  const fs::path earlier = datedCopy("earlier.jpg", "2019:12:31 23:59:59");
  NamedElement photo2021(ELEMENT_OBJECT_IMAGE, "",
                         (fs::path(GALLERIA_TEST_DATA) / "dated.jpg").string());
  NamedElement photo2019(ELEMENT_OBJECT_IMAGE, "", earlier.string());
  NamedElement noDate(ELEMENT_OBJECT_IMAGE, "",
                      (fs::path(GALLERIA_TEST_DATA) / "undated.png").string());
  EXPECT_EQ(photo2019.ElementEqual(&photo2021, COMPARE_TAKE_DATE), -1);
  EXPECT_EQ(photo2021.ElementEqual(&photo2019, COMPARE_TAKE_DATE), 1);
  EXPECT_EQ(noDate.ElementEqual(&photo2019, COMPARE_TAKE_DATE), -1);
  EXPECT_EQ(smallFile.ElementEqual(&photo2019, COMPARE_TAKE_DATE), -1);  // not an image
  EXPECT_EQ(photo2019.ElementEqual(&smallFile, COMPARE_TAKE_DATE), 1);
  EXPECT_EQ(smallFile.ElementEqual(&bigFile, COMPARE_TAKE_DATE), 0);
  EXPECT_EQ(colour.ElementEqual(&smallFile, COMPARE_TAKE_DATE), -1);
}

}  // namespace
