#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "corekit/memory_stream.h"
#include "corekit/resource_load.h"

namespace {

namespace fs = std::filesystem;

// Builds resource files by hand, field by field, exactly as the documented format says.
struct Image {
  std::vector<std::uint8_t> bytes;
  void u16(std::uint16_t v) {
    bytes.push_back(v & 0xFF);
    bytes.push_back(v >> 8);
  }
  void u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes.push_back((v >> (8 * i)) & 0xFF);
  }
  void text(const char* s) { bytes.insert(bytes.end(), s, s + std::strlen(s)); }
  void header(std::uint32_t count, std::uint16_t version = 1) {
    text("GRES");
    u16(version);
    u16(0);
    u32(count);
  }
  void entry(std::uint16_t id, std::uint32_t offset, std::uint32_t size) {
    u16(id);
    u16(0);
    u32(offset);
    u32(size);
  }
};

// Two resources: id 5 = "hello" at 36, id 9 = "abc" at 41.
Image twoResources() {
  Image im;
  im.header(2);
  im.entry(5, 36, 5);
  im.entry(9, 41, 3);
  im.text("helloabc");
  return im;
}

class ResourceFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("corekit-res-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    file_ = dir_ / "r\xC3\xA9sources2";
  }
  void TearDown() override { fs::remove_all(dir_); }
  void write(const std::vector<std::uint8_t>& bytes) {
    std::ofstream(file_, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  }
  std::vector<std::uint8_t> read() {
    std::ifstream in(file_, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static std::string load(CResourceLoad& r, std::uint32_t id) {
    void* block = nullptr;
    std::uint32_t size = 0;
    if (!r.LoadResource(id, &block, &size)) return "<fail>";
    std::string out(static_cast<const char*>(block), size);
    r.FreeResource(block);
    return out;
  }
  fs::path dir_, file_;
};

TEST_F(ResourceFile, LoadsHandWrittenFileByLow16BitsOfId) {
  write(twoResources().bytes);
  CResourceLoad r(file_);
  EXPECT_TRUE(r.IsLoaded());
  EXPECT_EQ(load(r, 5), "hello");
  EXPECT_EQ(load(r, 0x10005), "hello");
  EXPECT_EQ(load(r, 0xFFFF0009), "abc");

  void* block = reinterpret_cast<void*>(0x1);
  std::uint32_t size = 1234;
  EXPECT_FALSE(r.LoadResource(6, &block, &size));
  EXPECT_EQ(block, reinterpret_cast<void*>(0x1)) << "outs untouched when not found";
  EXPECT_EQ(size, 1234u);

  CVXMemoryStream s("XY", 2);
  s.Seek(1, VX_SEEK_BEGIN);
  ASSERT_TRUE(r.LoadResource(9, &s));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(s.GetData()), s.GetLength()), "Xabc");
  EXPECT_FALSE(r.LoadResource(9, static_cast<CVXMemoryStream*>(nullptr)));
  EXPECT_FALSE(r.LoadResource(6, &s));
  r.FreeResource(nullptr);
}

TEST_F(ResourceFile, EmptyResourceIsFoundButFails) {
  Image im;
  im.header(1);
  im.entry(3, 24, 0);
  write(im.bytes);
  CResourceLoad r(file_);
  void* block = reinterpret_cast<void*>(0x1);
  std::uint32_t size = 77;
  EXPECT_FALSE(r.LoadResource(3, &block, &size));
  EXPECT_EQ(size, 0u) << "found: the size is reported";
  EXPECT_EQ(block, nullptr);
}

TEST_F(ResourceFile, UpdateCreatesReplacesAndKeepsTheOthers) {
  CResourceLoad r(file_);
  EXPECT_FALSE(r.IsLoaded());
  EXPECT_EQ(load(r, 5), "<fail>");
  ASSERT_TRUE(r.UpdateResourceW(0x20005, "first", 5));
  EXPECT_FALSE(r.IsLoaded()) << "stays unloaded until the next load";
  CVXMemoryStream stream("stream data", 11);
  stream.Seek(4, VX_SEEK_BEGIN);  // the whole contents count, not the position
  ASSERT_TRUE(r.UpdateResourceW(2, &stream));
  ASSERT_TRUE(r.UpdateResourceW(5, "second!", 7));
  EXPECT_EQ(load(r, 5), "second!");
  EXPECT_TRUE(r.IsLoaded());
  EXPECT_EQ(load(r, 2), "stream data");

  // The file is in the documented layout, table sorted by id, data packed after it.
  Image expected;
  expected.header(2);
  expected.entry(2, 36, 11);
  expected.entry(5, 47, 7);
  expected.text("stream datasecond!");
  EXPECT_EQ(read(), expected.bytes);

  CVXMemoryStream empty;
  ASSERT_TRUE(r.UpdateResourceW(8, &empty));
  void* block = nullptr;
  std::uint32_t size = 0;
  ASSERT_TRUE(r.LoadResource(8, &block, &size));
  EXPECT_EQ(size, 1u) << "an empty stream is stored as one byte";
  r.FreeResource(block);

  EXPECT_FALSE(r.UpdateResourceW(1, nullptr, 4));
  EXPECT_FALSE(r.UpdateResourceW(1, "x", 0));
  EXPECT_FALSE(r.UpdateResourceW(1, static_cast<const CVXMemoryStream*>(nullptr)));

  // Another loader sees the new contents; no temporary files are left behind.
  CResourceLoad other(file_);
  EXPECT_EQ(load(other, 2), "stream data");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(ResourceFile, LoadRetriesAfterFailedLoad) {
  CResourceLoad r(file_);
  EXPECT_EQ(load(r, 5), "<fail>");
  write(twoResources().bytes);
  EXPECT_EQ(load(r, 5), "hello");
}

TEST_F(ResourceFile, UpdateLeavesForeignFileAlone) {
  const std::vector<std::uint8_t> foreign = {'M', 'Z', 0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  write(foreign);
  CResourceLoad r(file_);
  EXPECT_FALSE(r.UpdateResourceW(1, "data", 4));
  EXPECT_EQ(read(), foreign);
  CResourceLoad folder(dir_);
  EXPECT_FALSE(folder.UpdateResourceW(1, "data", 4));
}

// Hostile and broken files: every one is refused as a whole, both by the in-memory reader and
// by the loader.
TEST_F(ResourceFile, RefusesBrokenFiles) {
  struct Case {
    const char* name;
    Image image;
  };
  std::vector<Case> cases;
  auto add = [&](const char* name, auto build) {
    Image im;
    build(im);
    cases.push_back({name, im});
  };
  add("empty", [](Image&) {});
  add("short header", [](Image& im) { im.text("GRES\1"); });
  add("wrong magic", [](Image& im) {
    im = twoResources();
    im.bytes[0] = 'X';
  });
  add("newer version", [](Image& im) {
    im.header(1, 2);
    im.entry(1, 24, 1);
    im.text("z");
  });
  add("huge count", [](Image& im) {
    im.header(0xFFFFFFFF);
    im.entry(1, 24, 1);
  });
  add("table cut short", [](Image& im) {
    im.header(2);
    im.entry(1, 36, 1);
  });
  add("data inside the table", [](Image& im) {
    im.header(1);
    im.entry(1, 12, 4);
    im.text("abcd");
  });
  add("size past the end", [](Image& im) {
    im.header(1);
    im.entry(1, 24, 5);
    im.text("abcd");
  });
  add("offset plus size wraps", [](Image& im) {
    im.header(1);
    im.entry(1, 0xFFFFFFF0, 0x20);
    im.text("abcd");
  });
  add("overlapping data", [](Image& im) {
    im.header(2);
    im.entry(1, 36, 4);
    im.entry(2, 38, 4);
    im.text("abcdef");
  });
  add("duplicate id", [](Image& im) {
    im.header(2);
    im.entry(1, 36, 2);
    im.entry(1, 38, 2);
    im.text("abcd");
  });
  for (const auto& c : cases) {
    EXPECT_EQ(CKValidateResourceImage(c.image.bytes.data(), c.image.bytes.size()), -1) << c.name;
    write(c.image.bytes);
    CResourceLoad r(file_);
    EXPECT_FALSE(r.IsLoaded()) << c.name;
    EXPECT_EQ(load(r, 1), "<fail>") << c.name;
  }
  const Image good = twoResources();
  EXPECT_EQ(CKValidateResourceImage(good.bytes.data(), good.bytes.size()), 2);
  EXPECT_EQ(CKValidateResourceImage(nullptr, 10), -1);
}

}  // namespace
