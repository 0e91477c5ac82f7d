#include <gtest/gtest.h>
#include <unistd.h>

#include <testkit/files.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "corekit/corekit.h"

namespace {

// The log goes to stderr as well, so that tests can see the allocation failure line.
const bool logToStderr = [] { return setenv("GALLERIA_LOG", "stderr", 1) == 0; }();

struct Frame : tagVideoFrame {
  Frame() : tagVideoFrame{} {}
  Frame(int w, int h, std::uint32_t fill) : tagVideoFrame{} {
    mallocFrame(this, w, h);
    fillFrame(this, fill);
  }
  ~Frame() { freeFrame(this); }
  std::uint32_t at(int x, int y) const {
    std::uint32_t v;
    std::memcpy(&v, pixels + y * stride + x * 4, 4);
    return v;
  }
  void set(int x, int y, std::uint32_t v) { std::memcpy(pixels + y * stride + x * 4, &v, 4); }
};

bool isCleared(const tagVideoFrame& f) {
  static const tagVideoFrame zero{};
  return std::memcmp(&f, &zero, sizeof f) == 0;
}

TEST(Frame, MallocSizesAndFailures) {
  Frame f;
  ASSERT_TRUE(mallocFrame(&f, 3, 2));
  EXPECT_EQ(f.stride, 12);
  EXPECT_EQ(f.size, 24);
  EXPECT_EQ(std::vector<std::uint8_t>(f.pixels, f.pixels + 24), std::vector<std::uint8_t>(24, 0));
  freeFrame(&f);
  EXPECT_TRUE(isCleared(f));

  const struct {
    int width, height;
    const char* logged;  // nullptr: no allocation is attempted, nothing is logged
  } failures[] = {
      {0, 5, nullptr},
      {5, 0, nullptr},
      {-3, 4, nullptr},
      {100000, 100000, "Failed to Malloc memory(40000000000)"},
      {65536, 8192, "Failed to Malloc memory(2147483648)"},  // one past the 32-bit size
      {46341, 46341, "Failed to Malloc memory(8589953124)"},
  };
  for (const auto& c : failures) {
    Frame g;
    g.width = 9;  // leftovers must be cleared
    g.startTime = 42;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(mallocFrame(&g, c.width, c.height)) << c.width << "x" << c.height;
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(isCleared(g)) << c.width << "x" << c.height;
    if (c.logged != nullptr) {
      EXPECT_NE(err.find(c.logged), std::string::npos) << err;
    } else {
      EXPECT_EQ(err.find("Failed to Malloc"), std::string::npos) << err;
    }
  }
}

TEST(Frame, ReallocKeepsOrMovesBytes) {
  Frame f(4, 2, 0);
  for (int i = 0; i < 8; ++i) f.set(i % 4, i / 4, 0x01010101u * i);
  f.startTime = 11;
  f.endTime = 22;
  std::uint8_t* const before = f.pixels;
  ASSERT_TRUE(reallocFrame(&f, 2, 4));
  EXPECT_EQ(f.pixels, before) << "same byte count: the buffer stays";
  EXPECT_EQ(f.stride, 8);
  EXPECT_EQ(f.width, 2);
  EXPECT_EQ(f.height, 4);
  EXPECT_EQ(f.at(1, 3), 0x07070707u);

  ASSERT_TRUE(reallocFrame(&f, 8, 8));
  EXPECT_EQ(f.size, 256);
  EXPECT_EQ(f.stride, 32);
  EXPECT_EQ(f.at(7, 0), 0x07070707u) << "old bytes kept up to the smaller size";
  EXPECT_EQ(f.startTime, 11);
  EXPECT_EQ(f.endTime, 22);

  // A frame that cannot grow is left exactly as it was, and the failure is reported.
  const tagVideoFrame snapshot = f;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(reallocFrame(&f, 100000, 100000));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Failed to Malloc memory("),
            std::string::npos);
  EXPECT_EQ(std::memcmp(&snapshot, &f, sizeof f), 0);
  EXPECT_EQ(f.at(7, 0), 0x07070707u);
  EXPECT_FALSE(reallocFrame(&f, 0, 3));

  Frame empty;
  ASSERT_TRUE(reallocFrame(&empty, 2, 3));
  EXPECT_EQ(empty.size, 24);
  EXPECT_EQ(empty.at(1, 2), 0u);
}

TEST(Frame, FillAndCopyHonourStrides) {
  // A 2 x 2 view with a stride of 3 pixels inside a padded buffer.
  std::vector<std::uint32_t> padded(6, 0xDEADBEEF);
  tagVideoFrame view{reinterpret_cast<std::uint8_t*>(padded.data()), 2, 2, 12, 24, 0, 0};
  ASSERT_TRUE(fillFrame(&view, 0xFF112233));
  EXPECT_EQ(padded, (std::vector<std::uint32_t>{0xFF112233, 0xFF112233, 0xDEADBEEF, 0xFF112233,
                                                0xFF112233, 0xDEADBEEF}));
  Frame none;
  EXPECT_TRUE(fillFrame(&none, 1)) << "an empty frame is filled trivially";

  Frame dst(2, 2, 0);
  padded[0] = 1;
  padded[4] = 4;
  ASSERT_TRUE(copyFrame(&dst, &view));
  EXPECT_EQ(dst.at(0, 0), 1u);
  EXPECT_EQ(dst.at(1, 1), 4u);
  EXPECT_EQ(padded[2], 0xDEADBEEF);

  // A bottom-up source: its first row lies last in memory.
  std::vector<std::uint32_t> flipped = {0xB0, 0xB1, 0xA0, 0xA1};
  tagVideoFrame up{reinterpret_cast<std::uint8_t*>(&flipped[2]), 2, 2, -8, 16, 0, 0};
  ASSERT_TRUE(copyFrame(&dst, &up));
  EXPECT_EQ(dst.at(0, 0), 0xA0u);
  EXPECT_EQ(dst.at(1, 1), 0xB1u);

  Frame wide(3, 2, 0x55);
  EXPECT_FALSE(copyFrame(&dst, &wide));
  EXPECT_EQ(dst.at(0, 0), 0xA0u) << "nothing copied";
  EXPECT_FALSE(copyFrame(&dst, &none));
  EXPECT_FALSE(copyFrame(&none, &dst));
}

TEST(Frame, BlendTouchesOnlyTheCoveredCorner) {
  Frame dst(4, 4, 0xFF0000FF);
  Frame src(2, 2, 0xFFFF0000);
  src.set(1, 0, 0x00FFFFFF);  // transparent: leaves dst
  src.set(0, 1, 0x80FF0000);  // half red over opaque blue, worked by hand: 0xFF80007F
  ASSERT_TRUE(blendFrame(&dst, &src));
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      std::uint32_t expected = 0xFF0000FF;
      if (x == 0 && y == 0) expected = 0xFFFF0000;
      if (x == 1 && y == 1) expected = 0xFFFF0000;
      if (x == 0 && y == 1) expected = 0xFF80007F;
      EXPECT_EQ(dst.at(x, y), expected) << x << "," << y;
    }
  }
  Frame big(6, 1, 0xFF00FF00);  // wider than dst: clipped
  ASSERT_TRUE(blendFrame(&dst, &big));
  EXPECT_EQ(dst.at(3, 0), 0xFF00FF00u);
  EXPECT_EQ(dst.at(3, 1), 0xFF0000FFu);
  Frame none;
  EXPECT_FALSE(blendFrame(&dst, &none));
  EXPECT_FALSE(blendFrame(&none, &src));
}

TEST(Frame, ResizeScalesWholeSourceOntoDestination) {
  Frame dst(3, 3, 0xFF0000FF);
  Frame red(1, 1, 0xFFFF0000);
  ASSERT_TRUE(resizeFrame(&dst, &red));
  for (int i = 0; i < 9; ++i) EXPECT_EQ(dst.at(i % 3, i / 3), 0xFFFF0000u);

  Frame half(2, 2, 0x80FF0000);
  Frame blue(5, 4, 0xFF0000FF);
  ASSERT_TRUE(resizeFrame(&blue, &half));
  EXPECT_EQ(blue.at(0, 0), 0xFF80007Fu) << "scaled source is composited source over";
  EXPECT_EQ(blue.at(4, 3), 0xFF80007Fu);

  // Shrinking a checkerboard by two averages it.
  Frame board(4, 4, 0xFF000000);
  for (int y = 0; y < 4; ++y)
    for (int x = (y % 2); x < 4; x += 2) board.set(x, y, 0xFFFFFFFF);
  Frame small(2, 2, 0);
  ASSERT_TRUE(resizeFrame(&small, &board));
  EXPECT_NEAR(static_cast<int>(small.at(1, 1) & 0xFF), 128, 3);
  Frame none;
  EXPECT_FALSE(resizeFrame(&small, &none));
}

class FrameFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("corekit-frames-\xE2\x9C\x93-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST_F(FrameFiles, SavesEveryEncoderToFileAndStream) {
  Frame f(8, 6, 0xFF336699);
  f.set(3, 3, 0x80FFFFFF);
  const struct {
    EncoderType type;
    std::vector<std::uint8_t> magic;
  } cases[] = {
      {ENCODER_JPEG, {0xFF, 0xD8, 0xFF}},   {ENCODER_BMP, {'B', 'M'}},
      {ENCODER_GIF, {'G', 'I', 'F', '8'}},  {ENCODER_TIFF, {'I', 'I', 42, 0}},
      {ENCODER_PNG, {0x89, 'P', 'N', 'G'}},
  };
  for (const auto& c : cases) {
    const auto file = dir_ / ("picture-" + std::to_string(c.type));
    ASSERT_TRUE(saveFrameToFile(&f, file.c_str(), c.type, 75)) << c.type;
    const auto onDisk = testkit::ReadBytes(file);
    ASSERT_GE(onDisk.size(), c.magic.size());
    EXPECT_TRUE(std::equal(c.magic.begin(), c.magic.end(), onDisk.begin())) << c.type;

    CVXMemoryStream stream("head", 4);
    stream.Seek(0, VX_SEEK_END);
    ASSERT_TRUE(saveFrameToStream(&f, &stream, c.type, 75)) << c.type;
    EXPECT_EQ(
        std::vector<std::uint8_t>(stream.GetData() + 4, stream.GetData() + stream.GetLength()),
        onDisk)
        << "the stream gets the same bytes at its position, type " << c.type;
    EXPECT_EQ(std::string(reinterpret_cast<char*>(stream.GetData()), 4), "head");
  }
}

TEST_F(FrameFiles, SaveFailures) {
  Frame f(2, 2, 0xFF000000);
  Frame none;
  CVXMemoryStream stream;
  const auto file = (dir_ / "x.png").string();
  EXPECT_FALSE(saveFrameToFile(&none, file.c_str(), ENCODER_PNG, 50));
  EXPECT_FALSE(saveFrameToFile(&f, nullptr, ENCODER_PNG, 50));
  EXPECT_FALSE(saveFrameToFile(&f, "", ENCODER_PNG, 50));
  EXPECT_FALSE(saveFrameToFile(&f, file.c_str(), static_cast<EncoderType>(5), 50));
  EXPECT_FALSE(saveFrameToFile(&f, (dir_ / "no" / "x.png").c_str(), ENCODER_PNG, 50));
  EXPECT_FALSE(saveFrameToStream(&f, nullptr, ENCODER_PNG, 50));
  EXPECT_FALSE(saveFrameToStream(&none, &stream, ENCODER_PNG, 50));
  EXPECT_FALSE(saveFrameToStream(&f, &stream, static_cast<EncoderType>(-1), 50));
  EXPECT_EQ(stream.GetLength(), 0);
  // Out-of-range qualities are clamped, not refused.
  EXPECT_TRUE(saveFrameToStream(&f, &stream, ENCODER_JPEG, -20));
  EXPECT_TRUE(saveFrameToStream(&f, &stream, ENCODER_JPEG, 500));
}

}  // namespace
