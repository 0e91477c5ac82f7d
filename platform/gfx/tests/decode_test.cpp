#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <testkit/files.h>
#include <testkit/pixels.h>

#include "gfx/decode.h"
#include "gfx/encode.h"

namespace {

namespace fs = std::filesystem;

// The log goes to a folder of this run, so a test can read what decoding wrote.
const fs::path kLogHome = [] {
  fs::path home = fs::temp_directory_path() / ("gfx-decode-test-" + std::to_string(getpid()));
  fs::create_directories(home);
  setenv("XDG_STATE_HOME", home.c_str(), 1);
  return home;
}();

fs::path data(const char* name) {
  return fs::path(GALLERIA_TEST_DATA) / name;
}

std::string logText() {
  std::ifstream in(kLogHome / "galleria" / "galleria.log");
  return {std::istreambuf_iterator<char>(in), {}};
}

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF,
                        kWhite = 0xFFFFFFFF;

// The middle of each quarter of the picture: top-left, top-right, bottom-left, bottom-right.
std::vector<std::uint32_t> quarters(const gfx::Picture& p) {
  std::vector<std::uint32_t> out;
  for (int qy : {1, 3})
    for (int qx : {1, 3}) out.push_back(p.pixels[(p.height * qy / 4) * p.width + p.width * qx / 4]);
  return out;
}

void expectQuarters(const gfx::Picture& p, std::vector<std::uint32_t> expected, int tolerance) {
  const auto got = quarters(p);
  for (int i = 0; i < 4; ++i)
    EXPECT_TRUE(testkit::PixelNear(got[i], expected[i], tolerance)) << "quarter " << i;
}

// Every reader gives the same upright 32 x 16 picture, opaque, from a file and from memory.
TEST(GfxDecode, EveryFormatGivesTheSameQuadrants) {
  struct Case {
    const char* file;
    gfx::PictureFormat format;
    int tolerance;
  };
  const Case cases[] = {
      {"quadrants.jpg", gfx::PictureFormat::Jpeg, 24},
      {"quadrants.png", gfx::PictureFormat::Png, 0},
      {"quadrants.bmp", gfx::PictureFormat::Bmp, 0},
      {"quadrants.tif", gfx::PictureFormat::Tiff, 0},
      {"quadrants.webp", gfx::PictureFormat::Webp, 0},
      {"quadrants.heic", gfx::PictureFormat::Heif, 40},
      {"quadrants.avif", gfx::PictureFormat::Heif, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    gfx::Picture fromFile;
    ASSERT_EQ(gfx::decodeFile(data(c.file), fromFile), gfx::DecodeStatus::Ok);
    EXPECT_EQ(fromFile.info.format, c.format);
    ASSERT_EQ(fromFile.width, 32);
    ASSERT_EQ(fromFile.height, 16);
    EXPECT_EQ(fromFile.pixels.size(), 32u * 16u);
    EXPECT_FALSE(fromFile.info.hasAlpha);
    EXPECT_EQ(fromFile.info.frameCount, 1);
    expectQuarters(fromFile, {kRed, kGreen, kBlue, kWhite}, c.tolerance);

    const auto bytes = testkit::ReadBytes(data(c.file));
    gfx::Picture fromMemory;
    ASSERT_EQ(gfx::decodeMemory(bytes.data(), bytes.size(), fromMemory), gfx::DecodeStatus::Ok);
    EXPECT_EQ(fromMemory.pixels, fromFile.pixels);
  }
}

// Orientation 6 with a JFIF density of 300 x 150 dpi and both EXIF dates; the test patches the
// orientation value to each of the eight and checks where the quarters end up, so mirrored
// orientations are covered too.
TEST(GfxDecode, ExifOrientationTurnsThePictureUpright) {
  auto bytes = testkit::ReadBytes(data("exif6.jpg"));
  const std::uint8_t tag[] = {0x12, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00};
  auto at = std::search(bytes.begin(), bytes.end(), std::begin(tag), std::end(tag));
  ASSERT_NE(at, bytes.end());
  std::uint8_t& value = *(at + 8);
  ASSERT_EQ(value, 6);

  const std::uint32_t R = kRed, G = kGreen, B = kBlue, W = kWhite;
  const std::vector<std::uint32_t> expected[9] = {
      {},           {R, G, B, W}, {G, R, W, B}, {W, B, G, R}, {B, W, R, G},
      {R, B, G, W}, {B, R, W, G}, {W, G, B, R}, {G, W, R, B},
  };
  for (int orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE("orientation " + std::to_string(orientation));
    value = static_cast<std::uint8_t>(orientation);
    gfx::Picture p;
    ASSERT_EQ(gfx::decodeMemory(bytes.data(), bytes.size(), p), gfx::DecodeStatus::Ok);
    const bool turned = orientation >= 5;
    EXPECT_EQ(p.width, turned ? 16 : 32);
    EXPECT_EQ(p.height, turned ? 32 : 16);
    EXPECT_EQ(p.info.width, p.width);
    EXPECT_EQ(p.info.orientation, orientation);
    EXPECT_NEAR(p.info.xDpi, turned ? 150.0 : 300.0, 0.01);
    EXPECT_NEAR(p.info.yDpi, turned ? 300.0 : 150.0, 0.01);
    EXPECT_EQ(p.info.dateTimeOriginal, "2021:05:06 07:08:09");
    EXPECT_EQ(p.info.dateTime, "2022:01:02 03:04:05");
    expectQuarters(p, expected[orientation], 24);
  }
}

TEST(GfxDecode, ProbeReadsTheHeaderOnly) {
  gfx::PictureInfo info;
  ASSERT_EQ(gfx::probeFile(data("exif6.jpg"), info), gfx::DecodeStatus::Ok);
  EXPECT_EQ(info.width, 16);
  EXPECT_EQ(info.height, 32);
  EXPECT_EQ(info.dateTimeOriginal, "2021:05:06 07:08:09");
  // No EXIF block, no density: no dates and the 96 dpi default.
  ASSERT_EQ(gfx::probeFile(data("quadrants.png"), info), gfx::DecodeStatus::Ok);
  EXPECT_EQ(info.width, 32);
  EXPECT_TRUE(info.dateTimeOriginal.empty());
  EXPECT_TRUE(info.dateTime.empty());
  EXPECT_EQ(info.orientation, 1);
  EXPECT_DOUBLE_EQ(info.xDpi, 96.0);
}

// Alpha stays as it is, not premultiplied: the half-transparent green keeps full green.
TEST(GfxDecode, AlphaIsKeptUnpremultiplied) {
  gfx::Picture p;
  ASSERT_EQ(gfx::decodeFile(data("alpha.png"), p), gfx::DecodeStatus::Ok);
  ASSERT_EQ(p.width, 4);
  ASSERT_EQ(p.height, 2);
  EXPECT_TRUE(p.info.hasAlpha);
  const std::vector<std::uint32_t> row = {0xFFFF0000, 0x8000FF00, 0x00000000, 0xFF090909};
  EXPECT_EQ(std::vector<std::uint32_t>(p.pixels.begin(), p.pixels.begin() + 4), row);
  EXPECT_EQ(std::vector<std::uint32_t>(p.pixels.begin() + 4, p.pixels.end()), row);
  // pHYs of 2835 pixels a metre.
  EXPECT_NEAR(p.info.xDpi, 72.0, 0.01);
  // In memory: blue, green, red, alpha.
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(p.pixels.data()) + 4;
  EXPECT_EQ(bytes[0], 0x00);
  EXPECT_EQ(bytes[1], 0xFF);
  EXPECT_EQ(bytes[2], 0x00);
  EXPECT_EQ(bytes[3], 0x80);
}

TEST(GfxDecode, AnimatedGifFramesOneByOne) {
  const std::uint32_t colours[] = {kRed, kGreen, kBlue};
  for (int frame = 0; frame < 3; ++frame) {
    gfx::Picture p;
    gfx::DecodeOptions options;
    options.frame = frame;
    ASSERT_EQ(gfx::decodeFile(data("anim3.gif"), p, options), gfx::DecodeStatus::Ok);
    EXPECT_EQ(p.info.frameCount, 3);
    ASSERT_EQ(p.info.frameDelays.size(), 3u);
    EXPECT_EQ(p.info.frameDelays[0], 200);
    ASSERT_EQ(p.width, 8);
    ASSERT_EQ(p.height, 8);
    // a 3-3-2 palette
    EXPECT_TRUE(testkit::PixelNear(p.pixels[27], colours[frame], 4)) << "frame " << frame;
  }
  gfx::Picture p;
  gfx::DecodeOptions beyond;
  beyond.frame = 3;
  EXPECT_EQ(gfx::decodeFile(data("anim3.gif"), p, beyond), gfx::DecodeStatus::Corrupt);
  EXPECT_TRUE(p.empty());
  beyond.frame = 1;  // a still picture has frame 0 only
  EXPECT_EQ(gfx::decodeFile(data("quadrants.jpg"), p, beyond), gfx::DecodeStatus::Corrupt);
}

// A camera-sized JPEG made here; the thumbnail path fits it into the box without enlarging
// small pictures and turns rotated ones upright first.
TEST(GfxDecode, ShrinkOnLoadFitsTheBox) {
  const int w = 4000, h = 3000;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      pixels[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | (x < w / 2 ? 0xFF0000u : 0xFFu);
  std::vector<std::uint8_t> jpeg;
  ASSERT_TRUE(gfx::encode({reinterpret_cast<std::uint8_t*>(pixels.data()), w, h, w * 4},
                          gfx::ImageFormat::Jpeg, 90, jpeg));

  struct Case {
    int fitW, fitH, w, h;
  };
  for (const Case c : {Case{400, 300, 400, 300}, Case{400, 400, 400, 300}, Case{120, 300, 120, 90},
                       Case{8000, 8000, 4000, 3000}}) {
    SCOPED_TRACE(std::to_string(c.fitW) + " x " + std::to_string(c.fitH));
    gfx::Picture p;
    gfx::DecodeOptions options;
    options.fitWidth = c.fitW;
    options.fitHeight = c.fitH;
    ASSERT_EQ(gfx::decodeMemory(jpeg.data(), jpeg.size(), p, options), gfx::DecodeStatus::Ok);
    EXPECT_EQ(p.width, c.w);
    EXPECT_EQ(p.height, c.h);
    EXPECT_EQ(p.info.width, 4000);
    EXPECT_EQ(p.info.height, 3000);
    EXPECT_TRUE(testkit::PixelNear(p.pixels[p.width / 4], kRed, 8));
    EXPECT_TRUE(testkit::PixelNear(p.pixels[p.width * 3 / 4], kBlue, 8));
  }

  gfx::Picture turned;
  gfx::DecodeOptions box;
  box.fitWidth = 8;
  box.fitHeight = 8;
  ASSERT_EQ(gfx::decodeFile(data("exif6.jpg"), turned, box), gfx::DecodeStatus::Ok);
  EXPECT_EQ(turned.width, 4);
  EXPECT_EQ(turned.height, 8);
  EXPECT_TRUE(testkit::PixelNear(turned.pixels[1 * 4 + 1], kBlue,
                                 40));  // top-left quarter of the upright one
}

// Bad input: the documented failure, nothing decoded, one log line each.
TEST(GfxDecode, BadInputFailsCleanly) {
  const auto good = testkit::ReadBytes(data("quadrants.jpg"));
  const std::vector<std::uint8_t> truncated(good.begin(), good.begin() + good.size() / 2);
  const std::vector<std::uint8_t> garbage = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
  // A BMP header that claims 40000 x 40000 at 32 bits in 54 bytes.
  std::vector<std::uint8_t> bmpBomb(54, 0);
  bmpBomb[0] = 'B';
  bmpBomb[1] = 'M';
  bmpBomb[10] = 54;
  bmpBomb[14] = 40;
  const std::uint32_t side = 40000;
  std::memcpy(&bmpBomb[18], &side, 4);
  std::memcpy(&bmpBomb[22], &side, 4);
  bmpBomb[26] = 1;
  bmpBomb[28] = 32;

  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
    gfx::DecodeStatus status;
  };
  const Case cases[] = {
      {"empty", {}, gfx::DecodeStatus::Corrupt},
      {"truncated JPEG", truncated, gfx::DecodeStatus::Corrupt},
      {"not a picture", garbage, gfx::DecodeStatus::Unsupported},
      {"30000 x 30000 PNG", testkit::ReadBytes(data("bomb.png")), gfx::DecodeStatus::TooLarge},
      {"40000 x 40000 BMP", bmpBomb, gfx::DecodeStatus::TooLarge},
      {"EMF", testkit::ReadBytes(data("header.emf")), gfx::DecodeStatus::Unsupported},
      {"WMF", testkit::ReadBytes(data("header.wmf")), gfx::DecodeStatus::Unsupported},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    gfx::Picture p;
    p.pixels.assign(3, 7);  // a reused picture is emptied
    EXPECT_EQ(gfx::decodeMemory(c.bytes.data(), c.bytes.size(), p), c.status);
    EXPECT_TRUE(p.empty());
    EXPECT_EQ(p.width, 0);
    gfx::DecodeOptions thumbnail;  // the shrink-on-load path fails the same way
    thumbnail.fitWidth = 8;
    thumbnail.fitHeight = 8;
    EXPECT_EQ(gfx::decodeMemory(c.bytes.data(), c.bytes.size(), p, thumbnail), c.status);
    EXPECT_TRUE(p.empty());
    gfx::PictureInfo info;
    EXPECT_EQ(gfx::probeMemory(c.bytes.data(), c.bytes.size(), info), c.status);
  }
  gfx::Picture p;
  EXPECT_EQ(gfx::decodeFile(data("no such file.jpg"), p), gfx::DecodeStatus::NotFound);
  EXPECT_EQ(gfx::decodeFile(GALLERIA_TEST_DATA, p), gfx::DecodeStatus::NotFound);  // a folder
  EXPECT_EQ(gfx::decodeFile(data("header.emf"), p), gfx::DecodeStatus::Unsupported);
  // Files are read by the reader as far as it needs: a truncated one fails the same way.
  const fs::path cut = kLogHome / "cut.jpg";
  std::ofstream(cut, std::ios::binary)
      .write(reinterpret_cast<const char*>(truncated.data()), truncated.size());
  EXPECT_EQ(gfx::decodeFile(cut, p), gfx::DecodeStatus::Corrupt);
  EXPECT_TRUE(p.empty());

  const std::string log = logText();
  EXPECT_NE(log.find("EMF pictures have no reader"), std::string::npos) << log;
  EXPECT_NE(log.find("WMF pictures have no reader"), std::string::npos);
  EXPECT_NE(log.find("picture too large: 30000 x 30000"), std::string::npos);
  EXPECT_NE(log.find("no such file.jpg: cannot read the file"), std::string::npos);
}

// UTF-8 names with characters outside ASCII are ordinary paths.
TEST(GfxDecode, NonAsciiPath) {
  const fs::path copy = kLogHome / "Fotos Grüße 写真.png";
  fs::copy_file(data("quadrants.png"), copy, fs::copy_options::overwrite_existing);
  gfx::Picture p;
  EXPECT_EQ(gfx::decodeFile(copy, p), gfx::DecodeStatus::Ok);
  EXPECT_EQ(p.width, 32);
}

}  // namespace
