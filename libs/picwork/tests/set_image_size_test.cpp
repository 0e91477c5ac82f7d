#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include <gfx/resample.h>
#include <picwork/picwork.h>

#include "test_support.h"

namespace {

using namespace picwork_test;

TEST(ScaleToFit, Table) {
  struct Case {
    int w, h, W, H, outW, outH;
  } cases[] = {
      {4000, 3000, 800, 600, 800, 600},  // same proportions
      {3000, 4000, 800, 600, 450, 600},  // taller than the box
      {1000, 500, 800, 600, 800, 400},   // wider than the box
      {801, 600, 800, 600, 800, 599},    // truncated, not rounded
      {640, 480, 800, 600, 640, 480},    // never enlarged
      {800, 600, 800, 600, 800, 600},    // exactly the box
      {5472, 3648, 1440, 1080, 1440, 960}, {3, 1000, 800, 600, 1, 600},
      {1000, 3, 800, 600, 800, 2},         {1000, 750, 0, 600, 0, 0},  // a zero box gives nothing
  };
  for (const Case& c : cases) {
    EXPECT_EQ(picwork::ScaleToFit(c.w, c.h, c.W, c.H), (picwork::Size{c.outW, c.outH}))
        << c.w << "x" << c.h << " into " << c.W << "x" << c.H;
  }
}

TEST(ExtensionRule, Table) {
  struct Case {
    const char* path;
    int type;
    const char* written;
  } cases[] = {
      {"/t/photo.jpg", IMAGE_FILE_JPEG, "/t/photo.jpeg"},
      {"/t/photo.JPEG", IMAGE_FILE_JPEG, "/t/photo.jpeg"},
      {"/t/photo.tar.gz", IMAGE_FILE_PNG, "/t/photo.tar.png"},
      {"/t/photo", IMAGE_FILE_BMP, "/t/photo.bmp"},
      {"photo.", IMAGE_FILE_PNG, "photo.png"},
      // A dot in a folder name belongs to the folder, not to the file.
      {"/t/2019.07/photo", IMAGE_FILE_JPEG, "/t/2019.07/photo.jpeg"},
      {"/t/x.y/.hidden", IMAGE_FILE_JPEG, "/t/x.y/.jpeg"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(picwork::PathWithExtension(c.path, c.type), c.written) << c.path;
  EXPECT_EQ(picwork::ExtensionOf(3), nullptr);
}

class SetImageSize : public ::testing::Test {
 protected:
  void SetUp() override { WriteJpeg(dir / "photo.jpg", Quadrants(1000, 750), 1000, 750); }
  TempDir dir;
};

TEST_F(SetImageSize, ShrinksIntoTheBoxAndWritesJpegUnderItsOwnExtension) {
  const fs::path source = dir / "photo.jpg";
  const fs::path asked = dir / "out.jpg";
  ASSERT_EQ(OvraSetImageSize(source.c_str(), asked.c_str(), 800, 600, IMAGE_FILE_JPEG, 80), 1);
  EXPECT_FALSE(fs::exists(asked));
  const gfx::Picture out = Decode(dir / "out.jpeg");
  EXPECT_EQ(out.info.format, gfx::PictureFormat::Jpeg);
  EXPECT_EQ(out.width, 800);
  EXPECT_EQ(out.height, 600);
  const std::vector<std::uint32_t> expected = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF};
  const std::vector<std::uint32_t> got = QuarterMiddles(out);
  for (int i = 0; i < 4; ++i) EXPECT_TRUE(testkit::PixelNear(got[i], expected[i], 8)) << i;
  // Nothing is left over from writing under a temporary name.
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 2);
}

TEST_F(SetImageSize, WithoutDestinationWritesBesideTheSourceUnderTheTypesExtension) {
  const fs::path source = dir / "photo.jpg";
  for (const char* destination : {static_cast<const char*>(nullptr), ""}) {
    fs::remove(dir / "photo.jpeg");
    ASSERT_EQ(OvraSetImageSize(source.c_str(), destination, 400, 400, IMAGE_FILE_JPEG, 80), 1);
    const gfx::Picture out = Decode(dir / "photo.jpeg");
    EXPECT_EQ(out.width, 400);
    EXPECT_EQ(out.height, 300);
  }
  // A source already named .jpeg is replaced in place.
  const fs::path jpeg = dir / "photo.jpeg";
  ASSERT_EQ(OvraSetImageSize(jpeg.c_str(), nullptr, 200, 200, IMAGE_FILE_JPEG, 80), 1);
  EXPECT_EQ(Decode(jpeg).width, 200);
}

TEST_F(SetImageSize, SmallPictureIsWrittenAgainAtItsSizeInEveryType) {
  const fs::path source = dir / "photo.jpg";
  struct Case {
    int type;
    const char* name;
    gfx::PictureFormat format;
  } cases[] = {{IMAGE_FILE_BMP, "copy.bmp", gfx::PictureFormat::Bmp},
               {IMAGE_FILE_JPEG, "copy.jpeg", gfx::PictureFormat::Jpeg},
               {IMAGE_FILE_PNG, "copy.png", gfx::PictureFormat::Png}};
  for (const Case& c : cases) {
    const fs::path asked = dir / "copy.out";
    ASSERT_EQ(OvraSetImageSize(source.c_str(), asked.c_str(), 5000, 5000, c.type, 80), 1);
    const gfx::Picture out = Decode(dir / c.name);
    EXPECT_EQ(out.info.format, c.format);
    EXPECT_EQ(out.width, 1000);
    EXPECT_EQ(out.height, 750);
  }
}

TEST_F(SetImageSize, FailuresReturnZeroAndWriteNothing) {
  const fs::path good = dir / "photo.jpg";
  fs::create_directory(dir / "taken.jpeg");
  WriteBytes(dir / "empty.jpg", {});
  WriteBytes(dir / "text.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'});
  std::vector<std::uint8_t> truncated = testkit::ReadBytes(good);
  truncated.resize(truncated.size() / 2);
  WriteBytes(dir / "truncated.jpg", truncated);
  std::vector<std::uint8_t> broken = testkit::ReadBytes(good);
  for (std::size_t i = broken.size() / 3; i < broken.size() - 2; i += 7) broken[i] = 0xFF;
  WriteBytes(dir / "broken.jpg", broken);
  // A small file whose frame header claims 60000 x 60000 pixels: refused before any decoding.
  std::vector<std::uint8_t> bomb = testkit::ReadBytes(good);
  for (std::size_t i = 2; i + 9 < bomb.size(); ++i) {
    if (bomb[i] == 0xFF && bomb[i + 1] == 0xC0) {
      bomb[i + 5] = bomb[i + 7] = 60000 >> 8;
      bomb[i + 6] = bomb[i + 8] = 60000 & 0xFF;
      break;
    }
  }
  WriteBytes(dir / "bomb.jpg", bomb);
  struct Case {
    const char* what;
    fs::path source;
    fs::path destination;
    int width, height, type;
  } cases[] = {
      {"missing source", dir / "none.jpg", dir / "o1.jpeg", 800, 600, 1},
      {"zero-byte source", dir / "empty.jpg", dir / "o2.jpeg", 800, 600, 1},
      {"not a picture", dir / "text.jpg", dir / "o3.jpeg", 800, 600, 1},
      {"truncated JPEG", dir / "truncated.jpg", dir / "o4.jpeg", 800, 600, 1},
      {"corrupt JPEG", dir / "broken.jpg", dir / "o5.jpeg", 800, 600, 1},
      {"60000 x 60000 header", dir / "bomb.jpg", dir / "o10.jpeg", 800, 600, 1},
      {"type 3", good, dir / "o6.jpeg", 800, 600, 3},
      {"type -1", good, dir / "o7.jpeg", 800, 600, -1},
      {"width 0", good, dir / "o8.jpeg", 0, 600, 1},
      {"negative box", good, dir / "o9.jpeg", -800, -600, 1},
      {"folder missing", good, dir / "nowhere" / "o.jpeg", 800, 600, 1},
      {"destination is a folder", good, dir / "taken.jpg", 800, 600, 1},
      {"parent is a file", good, dir / "photo.jpg" / "o.jpeg", 800, 600, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(
        OvraSetImageSize(c.source.c_str(), c.destination.c_str(), c.width, c.height, c.type, 80), 0)
        << c.what;
    EXPECT_FALSE(fs::is_regular_file(c.destination)) << c.what;
  }
  EXPECT_EQ(OvraSetImageSize(nullptr, (dir / "o.jpeg").c_str(), 800, 600, 1, 80), 0);
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++files;
  EXPECT_EQ(files, 7) << "only the sources remain";
  EXPECT_TRUE(fs::is_empty(dir / "taken.jpeg"));
}

TEST_F(SetImageSize, UnwritableFolderFails) {
  if (geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  const fs::path locked = dir / "locked";
  fs::create_directory(locked);
  fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
  const fs::path source = dir / "photo.jpg";
  EXPECT_EQ(OvraSetImageSize(source.c_str(), (locked / "o.jpeg").c_str(), 800, 600, 1, 80), 0);
  EXPECT_TRUE(fs::is_empty(locked));
}

TEST_F(SetImageSize, ZeroWidthLogsTheComputedSize) {
  const fs::path source = dir / "photo.jpg";
  const fs::path out = dir / "o.jpeg";
  ASSERT_EQ(OvraSetImageSize(source.c_str(), out.c_str(), 0, 600, IMAGE_FILE_JPEG, 80), 0);
  EXPECT_NE(LogText().find("Ovra Codecs:error size: 0x0"), std::string::npos);
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(SetImageSize, TransparentPngComesOutBlackInJpeg) {
  std::vector<std::uint32_t> pixels(200 * 100, 0x00FFFFFF);  // transparent white...
  for (int y = 0; y < 100; ++y)
    for (int x = 100; x < 200; ++x) pixels[y * 200 + x] = 0xFF00FF00;  // ...beside opaque green
  WritePng(dir / "alpha.png", pixels, 200, 100);
  const fs::path source = dir / "alpha.png";
  ASSERT_EQ(OvraSetImageSize(source.c_str(), (dir / "a.jpg").c_str(), 100, 100, 1, 90), 1);
  const gfx::Picture out = Decode(dir / "a.jpeg");
  ASSERT_EQ(out.width, 100);
  ASSERT_EQ(out.height, 50);
  EXPECT_TRUE(testkit::PixelNear(out.pixels[25 * 100 + 10], 0xFF000000, 6));
  EXPECT_TRUE(testkit::PixelNear(out.pixels[25 * 100 + 90], 0xFF00FF00, 6));
}

// EXIF orientations as the general decoder (libvips' autorot) shows them: the shrunk copy must
// be the same picture, upright, at the upright size.
TEST_F(SetImageSize, ExifOrientationIsApplied) {
  const int w = 400, h = 200;
  for (int orientation = 1; orientation <= 8; ++orientation) {
    for (bool bigEndian : {false, true}) {
      const fs::path source = dir / ("o" + std::to_string(orientation) + ".jpg");
      WriteJpeg(source, Quadrants(w, h), w, h);
      AddExifOrientation(source, orientation, bigEndian);
      const gfx::Picture reference = Decode(source);
      ASSERT_EQ(reference.info.orientation, orientation);
      const fs::path out = dir / "turned.jpeg";
      ASSERT_EQ(OvraSetImageSize(source.c_str(), out.c_str(), 100, 100, 1, 95), 1);
      const gfx::Picture got = Decode(out);
      const bool swap = orientation >= 5;
      EXPECT_EQ(got.width, swap ? 50 : 100) << orientation;
      EXPECT_EQ(got.height, swap ? 100 : 50) << orientation;
      const std::vector<std::uint32_t> a = QuarterMiddles(got), b = QuarterMiddles(reference);
      for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(testkit::PixelNear(a[i], b[i], 10))
            << "orientation " << orientation << " quarter " << i;
    }
  }
}

// Decoding reduced (DCT scaling) must give what the full decode and a cubic reduction give.
TEST_F(SetImageSize, ReducedDecodeMatchesTheFullDecode) {
  const int w = 2400, h = 1800;
  const fs::path source = dir / "rings.jpg";
  WriteJpeg(source, Rings(w, h), w, h, 95);
  for (const auto& box :
       {std::pair{800, 600}, std::pair{1000, 1000}, std::pair{300, 225}, std::pair{2399, 1800}}) {
    const fs::path out = dir / "r.bmp";
    ASSERT_EQ(
        OvraSetImageSize(source.c_str(), out.c_str(), box.first, box.second, IMAGE_FILE_BMP, 0), 1);
    const gfx::Picture got = Decode(out);
    const picwork::Size size = picwork::ScaleToFit(w, h, box.first, box.second);
    ASSERT_EQ(got.width, size.width);
    ASSERT_EQ(got.height, size.height);
    const gfx::Picture full = Decode(source);
    gfx::Picture reference;
    reference.width = size.width;
    reference.height = size.height;
    reference.pixels.resize(std::size_t(size.width) * size.height);
    ASSERT_TRUE(gfx::resample(const_cast<gfx::Picture&>(full).view(), reference.view()));
    EXPECT_LT(MeanDifference(got, reference), 2.0) << box.first << "x" << box.second;
  }
}

// The publish pipeline converts one photo per core at once (run under ThreadSanitizer too).
using SetImageSizeStress = SetImageSize;
TEST_F(SetImageSizeStress, ParallelConversionsMatchOneThreadByteForByte) {
  const int count = 4;
  std::vector<fs::path> sources;
  for (int i = 0; i < count; ++i) {
    sources.push_back(dir / ("p" + std::to_string(i) + ".jpg"));
    WriteJpeg(sources.back(), Rings(1200 + 160 * i, 900 + 40 * i), 1200 + 160 * i, 900 + 40 * i);
    if (i == 1) AddExifOrientation(sources.back(), 6);
  }
  auto convert = [&](int i, const char* tag) {
    const fs::path out = dir / ("p" + std::to_string(i) + tag + ".jpeg");
    return OvraSetImageSize(sources[i].c_str(), out.c_str(), 640, 480, 1, 80);
  };
  for (int i = 0; i < count; ++i) ASSERT_EQ(convert(i, "-serial"), 1);
  for (int round = 0; round < 3; ++round) {
    std::vector<std::thread> threads;
    std::vector<int> results(count);
    for (int i = 0; i < count; ++i)
      threads.emplace_back([&, i] { results[i] = convert(i, "-parallel"); });
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < count; ++i) {
      ASSERT_EQ(results[i], 1);
      EXPECT_EQ(testkit::ReadBytes(dir / ("p" + std::to_string(i) + "-serial.jpeg")),
                testkit::ReadBytes(dir / ("p" + std::to_string(i) + "-parallel.jpeg")))
          << i;
    }
  }
}

}  // namespace
