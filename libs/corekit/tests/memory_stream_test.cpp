#include <gtest/gtest.h>

#include <testkit/files.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <vector>

#include "corekit/memory_stream.h"

namespace {

std::vector<std::uint8_t> counting(int n) {
  std::vector<std::uint8_t> v(n);
  std::iota(v.begin(), v.end(), 1);
  return v;
}

// A private folder per test, removed afterwards; the name carries non-ASCII UTF-8.
class TempDir {
 public:
  TempDir() {
    path_ = std::filesystem::temp_directory_path() /
            ("corekit-\xC3\xA9t\xC3\xA9-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(path_);
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

TEST(MemoryStream, ConstructionStates) {
  const std::uint8_t bytes[3] = {7, 8, 9};
  CVXMemoryStream def, fromNull(nullptr, 10), fromZero(bytes, 0), fromNegative(bytes, -4),
      fromBytes(bytes, 3), fromMissing(std::filesystem::path("/nonexistent/corekit/file"));
  const struct {
    const char* name;
    CVXMemoryStream& s;
    std::int32_t capacity, length;
  } cases[] = {{"default", def, 32, 0},          {"null pointer", fromNull, 32, 0},
               {"count 0", fromZero, 32, 0},     {"negative count", fromNegative, 32, 0},
               {"three bytes", fromBytes, 3, 3}, {"missing file", fromMissing, 32, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(c.s.GetCapacity(), c.capacity) << c.name;
    EXPECT_EQ(c.s.GetLength(), c.length) << c.name;
    EXPECT_EQ(c.s.Tell(), 0) << c.name;
    EXPECT_NE(c.s.GetData(), nullptr) << c.name;
  }
  EXPECT_EQ(fromBytes.GetData()[2], 9);
  EXPECT_NE(fromBytes.GetData(), bytes) << "the bytes are copied";
}

TEST(MemoryStream, ShortTailReadsDeliverWhatRemains) {
  const std::uint8_t bytes[] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
  CVXMemoryStream s(bytes, 6);
  std::int32_t d = 0;
  ASSERT_TRUE(s.ReadDword(&d));
  EXPECT_EQ(d, 0x44332211);
  d = static_cast<std::int32_t>(0xAABBCCDD);
  ASSERT_TRUE(s.ReadDword(&d)) << "two bytes left is still success";
  EXPECT_EQ(static_cast<std::uint32_t>(d), 0xAABB6655u) << "low half filled, high half kept";
  EXPECT_EQ(s.Tell(), 6);
  EXPECT_FALSE(s.ReadDword(&d));
  EXPECT_EQ(static_cast<std::uint32_t>(d), 0xAABB6655u);

  s.Seek(5, VX_SEEK_BEGIN);
  std::int16_t w = 0x7F00;
  ASSERT_TRUE(s.ReadWord(&w));
  EXPECT_EQ(w, 0x7F66);
  EXPECT_FALSE(s.ReadWord(&w));
  std::uint8_t b = 0;
  EXPECT_FALSE(s.ReadByte(&b));
  s.Seek(0, VX_SEEK_BEGIN);
  ASSERT_TRUE(s.ReadByte(&b));
  EXPECT_EQ(b, 0x11);
}

TEST(MemoryStream, ReadCutsCountAndReportsFailureWithoutTouchingOutputs) {
  const auto bytes = counting(10);
  CVXMemoryStream s(bytes.data(), 10);
  s.Seek(7, VX_SEEK_BEGIN);
  std::uint8_t dest[10] = {};
  std::int32_t done = -1;
  ASSERT_TRUE(s.Read(dest, 10, &done));
  EXPECT_EQ(done, 3);
  EXPECT_EQ(dest[0], 8);
  EXPECT_EQ(dest[2], 10);
  EXPECT_EQ(dest[3], 0);
  EXPECT_EQ(s.Tell(), 10);

  done = -1;
  EXPECT_FALSE(s.Read(dest, 10, &done)) << "nothing left";
  EXPECT_EQ(done, -1);
  s.Seek(0, VX_SEEK_BEGIN);
  EXPECT_FALSE(s.Read(dest, 0, &done));
  EXPECT_FALSE(s.Read(dest, -5, &done));
  EXPECT_FALSE(s.Read(nullptr, 4, &done));
  EXPECT_EQ(done, -1);
  EXPECT_EQ(s.Tell(), 0);
  ASSERT_TRUE(s.Read(dest, 4));  // the out-count is optional
  EXPECT_EQ(s.Tell(), 4);
}

TEST(MemoryStream, SeekClampsAndNeverExtends) {
  const auto bytes = counting(20);
  CVXMemoryStream s(bytes.data(), 20);
  const struct {
    std::int32_t start, offset;
    VXSeekType origin;
    std::int32_t expected;
  } cases[] = {
      {0, 5, VX_SEEK_END, 15},
      {0, -5, VX_SEEK_END, 20},
      {0, 0, VX_SEEK_END, 20},
      {3, -1, VX_SEEK_BEGIN, 0},
      {3, 100, VX_SEEK_CURRENT, 20},
      {10, -4, VX_SEEK_CURRENT, 6},
      {10, -40, VX_SEEK_CURRENT, 0},
      {9, 5, static_cast<VXSeekType>(7), 9},
      {0, 12, VX_SEEK_BEGIN, 12},
      {0, 25, VX_SEEK_BEGIN, 20},
      {20, 0x7FFFFFFF, VX_SEEK_CURRENT, 20},  // no overflow of position + offset
      {0, static_cast<std::int32_t>(0x80000000), VX_SEEK_END, 20},
  };
  for (const auto& c : cases) {
    s.Seek(c.start, VX_SEEK_BEGIN);
    EXPECT_EQ(s.Seek(c.offset, c.origin), c.expected)
        << "from " << c.start << " by " << c.offset << " origin " << c.origin;
    EXPECT_EQ(s.Tell(), c.expected);
    EXPECT_EQ(s.GetLength(), 20);
  }
}

TEST(MemoryStream, GrowthPolicy) {
  CVXMemoryStream bytes;
  std::vector<std::int32_t> capacities;
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(bytes.WriteByte(static_cast<std::uint8_t>(i)));
    if (capacities.empty() || capacities.back() != bytes.GetCapacity()) {
      capacities.push_back(bytes.GetCapacity());
    }
  }
  EXPECT_EQ(capacities, (std::vector<std::int32_t>{32, 64, 128}));
  EXPECT_EQ(bytes.GetLength(), 100);
  EXPECT_EQ(bytes.GetData()[99], 99);

  const auto hundred = counting(100);
  CVXMemoryStream one;
  ASSERT_TRUE(one.Write(hundred.data(), 100));
  EXPECT_EQ(one.GetCapacity(), 2 * 32 + 100);

  // WriteDword at 18 of a 20-byte, 20-capacity stream: 2 overwritten, 2 appended.
  const auto twenty = counting(20);
  CVXMemoryStream s(twenty.data(), 20);
  s.Seek(18, VX_SEEK_BEGIN);
  ASSERT_TRUE(s.WriteDword(0x0D0C0B0A));
  EXPECT_EQ(s.GetLength(), 22);
  EXPECT_EQ(s.GetCapacity(), 2 * 20 + 2);
  EXPECT_EQ(s.Tell(), 22);
  EXPECT_EQ(std::vector<std::uint8_t>(s.GetData() + 16, s.GetData() + 22),
            (std::vector<std::uint8_t>{17, 18, 0x0A, 0x0B, 0x0C, 0x0D}));

  // A write inside the contents neither reallocates nor changes the length.
  const std::uint8_t* before = s.GetData();
  s.Seek(0, VX_SEEK_BEGIN);
  ASSERT_TRUE(s.WriteWord(0x0201));
  ASSERT_TRUE(s.Write(hundred.data(), 20));
  EXPECT_EQ(s.GetData(), before);
  EXPECT_EQ(s.GetLength(), 22);
  EXPECT_EQ(s.GetCapacity(), 42);
}

TEST(MemoryStream, WriteResultsAndByteOrder) {
  CVXMemoryStream s;
  std::int32_t done = -1;
  EXPECT_FALSE(s.Write(nullptr, 4, &done));
  EXPECT_EQ(done, -1);
  EXPECT_FALSE(s.Write("abc", -1, &done));
  ASSERT_TRUE(s.Write("abc", 0, &done));
  EXPECT_EQ(done, 0);
  ASSERT_TRUE(s.WriteWord(-2));
  ASSERT_TRUE(s.WriteDword(0x12345678));
  ASSERT_TRUE(s.Write("xyz", 3, &done));
  EXPECT_EQ(done, 3);
  EXPECT_EQ(std::vector<std::uint8_t>(s.GetData(), s.GetData() + s.GetLength()),
            (std::vector<std::uint8_t>{0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12, 'x', 'y', 'z'}));
  s.Seek(0, VX_SEEK_BEGIN);
  std::int16_t w = 0;
  std::int32_t d = 0;
  ASSERT_TRUE(s.ReadWord(&w) && s.ReadDword(&d));
  EXPECT_EQ(w, -2);
  EXPECT_EQ(d, 0x12345678);
}

// A stream cannot hold more than 2 GiB - 1; a write that would pass it fails and changes nothing.
TEST(MemoryStream, WriteThatCannotFitFails) {
  CVXMemoryStream s;
  ASSERT_TRUE(s.Write("ab", 2));
  const std::uint8_t big = 0;
  EXPECT_FALSE(s.Write(&big, 0x7FFFFFFF)) << "2 + 2^31 - 1 does not fit";
  EXPECT_EQ(s.GetLength(), 2);
  EXPECT_EQ(s.Tell(), 2);
  EXPECT_EQ(s.GetCapacity(), 32);
}

TEST(MemoryStream, FilesRoundTripWithUtf8Paths) {
  TempDir dir;
  const auto bytes = counting(200);
  CVXMemoryStream s(bytes.data(), 200);
  s.Seek(50, VX_SEEK_BEGIN);
  const auto file = dir / "fl\xC3\xBCgel.bin";
  ASSERT_TRUE(s.SaveToFile(file));
  EXPECT_EQ(s.Tell(), 50);
  EXPECT_EQ(testkit::ReadBytes(file), bytes);

  CVXMemoryStream loaded(file);
  EXPECT_EQ(loaded.GetLength(), 200);
  EXPECT_EQ(loaded.GetCapacity(), 200);
  EXPECT_EQ(loaded.Tell(), 0);
  EXPECT_EQ(std::vector<std::uint8_t>(loaded.GetData(), loaded.GetData() + 200), bytes);

  CVXMemoryStream empty;
  const auto emptyFile = dir / "empty";
  ASSERT_TRUE(empty.SaveToFile(emptyFile));
  EXPECT_TRUE(std::filesystem::exists(emptyFile));
  EXPECT_EQ(std::filesystem::file_size(emptyFile), 0u);
  EXPECT_FALSE(s.SaveToFile(dir / "missing-folder" / "x"));
  EXPECT_FALSE(s.SaveToFile(std::filesystem::path(dir / "")));  // a folder

  // An empty file gives capacity 0; appending must still make room.
  CVXMemoryStream fromEmpty(emptyFile);
  EXPECT_EQ(fromEmpty.GetCapacity(), 0);
  ASSERT_TRUE(fromEmpty.WriteByte(0x5A));
  ASSERT_TRUE(fromEmpty.WriteByte(0x5B));
  EXPECT_EQ(fromEmpty.GetLength(), 2);
  EXPECT_GE(fromEmpty.GetCapacity(), 2);
  EXPECT_EQ(fromEmpty.GetData()[1], 0x5B);

  // A folder opens on Linux but is no file: the stream is the default empty one.
  CVXMemoryStream fromFolder(dir / "");
  EXPECT_EQ(fromFolder.GetLength(), 0);
  EXPECT_EQ(fromFolder.GetCapacity(), 32);
}

TEST(MemoryStream, GetIStreamCopiesWholeContents) {
  const auto bytes = counting(40);
  CVXMemoryStream s(bytes.data(), 40);
  s.Seek(13, VX_SEEK_BEGIN);
  IVXStream* stream = nullptr;
  ASSERT_TRUE(s.GetIStream(&stream));
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(s.Tell(), 13) << "the memory stream is unchanged";
  EXPECT_EQ(stream->GetSize(), 40u);
  std::uint64_t pos = 0;
  ASSERT_TRUE(stream->Seek(0, IVXStream::kCurrent, &pos));
  EXPECT_EQ(pos, 40u) << "seek pointer after the written bytes";

  // The copy is its own: changing the memory stream does not reach it.
  s.GetData()[0] = 0xEE;
  ASSERT_TRUE(stream->Seek(0, IVXStream::kBegin, nullptr));
  std::uint8_t back[64] = {};
  std::uint32_t done = 0;
  ASSERT_TRUE(stream->Read(back, sizeof back, &done));
  EXPECT_EQ(done, 40u);
  EXPECT_EQ(std::vector<std::uint8_t>(back, back + 40), bytes);
  EXPECT_EQ(stream->Release(), 0u);

  CVXMemoryStream empty;
  ASSERT_TRUE(empty.GetIStream(&stream));
  EXPECT_EQ(stream->GetSize(), 0u);
  stream->Release();
  EXPECT_FALSE(empty.GetIStream(nullptr));
}

TEST(MemoryStream, StreamObjectSeeksWritesAndRefuses) {
  IVXStream* s = CreateVXStream();
  ASSERT_NE(s, nullptr);
  std::uint64_t pos = 0;
  ASSERT_TRUE(s->Write("abcd", 4, nullptr));
  ASSERT_TRUE(s->Seek(2, IVXStream::kEnd, &pos));  // past the end: the gap reads as zeros
  EXPECT_EQ(pos, 6u);
  ASSERT_TRUE(s->Write("z", 1, nullptr));
  EXPECT_EQ(s->GetSize(), 7u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(s->GetBuffer()), 7),
            std::string("abcd\0\0z", 7));
  EXPECT_FALSE(s->Seek(-8, IVXStream::kEnd, &pos)) << "before the start";
  EXPECT_EQ(pos, 6u);
  EXPECT_FALSE(s->Seek(0x80000000LL, IVXStream::kBegin, nullptr));
  EXPECT_FALSE(s->Write(nullptr, 3, nullptr));
  ASSERT_TRUE(s->SetSize(2));
  std::uint8_t buf[4];
  std::uint32_t done = 9;
  ASSERT_TRUE(s->Read(buf, 4, &done));  // pointer past the new end: nothing to read
  EXPECT_EQ(done, 0u);
  EXPECT_EQ(s->AddRef(), 2u);
  EXPECT_EQ(s->Release(), 1u);
  EXPECT_EQ(s->Release(), 0u);
}

TEST(MemoryStream, FreeThroughTheLibrary) {
  CKFreeMemoryStream(nullptr);
  auto* s = new CVXMemoryStream("abc", 3);
  CKFreeMemoryStream(s);  // runs the virtual destructor; ASan checks the rest
}

}  // namespace
