#include <gtest/gtest.h>
#include <vips/vips.h>

#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "gfx/encode.h"
#include "gfx/startup.h"

namespace {

// 4 x 3 picture with distinct colours and one half-transparent, one transparent pixel.
struct Picture {
  Picture() {
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x)
        pixels[y * 4 + x] = 0xFF000000u | (x * 60u) << 16 | (y * 100u) << 8 | (200u - x * 40u);
    pixels[5] = 0x80102030;
    pixels[6] = 0x00000000;
  }
  gfx::BitmapView view() { return {reinterpret_cast<std::uint8_t*>(pixels), 4, 3, 16}; }
  std::uint32_t pixels[12];
};

// Decodes with libvips and returns the pixels as 0xAARRGGBB (alpha 255 when there is none).
std::vector<std::uint32_t> decode(const std::vector<std::uint8_t>& bytes, int* width, int* height) {
  VipsImage* image = vips_image_new_from_buffer(bytes.data(), bytes.size(), "", nullptr);
  if (image == nullptr) return {};
  *width = image->Xsize;
  *height = image->Ysize;
  const int bands = image->Bands;
  std::size_t size = 0;
  auto* mem = static_cast<std::uint8_t*>(vips_image_write_to_memory(image, &size));
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i + bands <= size; i += bands) {
    const std::uint32_t a = bands == 4 ? mem[i + 3] : 255;
    out.push_back(a << 24 | mem[i] << 16 | mem[i + 1] << 8 | mem[i + 2]);
  }
  g_free(mem);
  g_object_unref(image);
  return out;
}

TEST(GfxEncode, MimeTypesNameTheFiveEncoders) {
  EXPECT_EQ(gfx::encoderForMime("image/jpeg"), gfx::ImageFormat::Jpeg);
  EXPECT_EQ(gfx::encoderForMime("image/bmp"), gfx::ImageFormat::Bmp);
  EXPECT_EQ(gfx::encoderForMime("image/gif"), gfx::ImageFormat::Gif);
  EXPECT_EQ(gfx::encoderForMime("image/tiff"), gfx::ImageFormat::Tiff);
  EXPECT_EQ(gfx::encoderForMime("image/png"), gfx::ImageFormat::Png);
  EXPECT_FALSE(gfx::encoderForMime("image/webp"));
  EXPECT_FALSE(gfx::encoderForMime("IMAGE/PNG"));
}

// Lossless formats give back every pixel with its alpha (PNG, TIFF). GIF keeps only on/off
// transparency and a palette, which this picture fits into exactly for its opaque pixels.
TEST(GfxEncode, LosslessRoundTrips) {
  ASSERT_EQ(gfx::startup(), 0);
  Picture picture;
  for (auto format : {gfx::ImageFormat::Png, gfx::ImageFormat::Tiff, gfx::ImageFormat::Gif}) {
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(gfx::encode(picture.view(), format, 50, bytes)) << int(format);
    int w = 0, h = 0;
    const auto pixels = decode(bytes, &w, &h);
    ASSERT_EQ(w, 4);
    ASSERT_EQ(h, 3);
    ASSERT_EQ(pixels.size(), 12u);
    for (int i = 0; i < 12; ++i) {
      if (format == gfx::ImageFormat::Gif && (picture.pixels[i] >> 24) != 255) {
        continue;  // GIF's one-bit transparency is checked below
      }
      EXPECT_EQ(pixels[i], picture.pixels[i]) << "format " << int(format) << " pixel " << i;
    }
    if (format == gfx::ImageFormat::Gif) {
      EXPECT_EQ(pixels[6] >> 24, 0u);
    }
  }
}

TEST(GfxEncode, BmpKeepsPixelsAndAlphaForOtherReaders) {
  Picture picture;
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(gfx::encode(picture.view(), gfx::ImageFormat::Bmp, 0, bytes));
  ASSERT_EQ(bytes.size(), 14u + 108u + 48u);
  QImage image;
  ASSERT_TRUE(image.loadFromData(bytes.data(), static_cast<int>(bytes.size()), "BMP"));
  image = image.convertToFormat(QImage::Format_ARGB32);
  ASSERT_EQ(image.width(), 4);
  ASSERT_EQ(image.height(), 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(image.pixel(x, y), picture.pixels[y * 4 + x]);
    }
  }
}

TEST(GfxEncode, JpegQualityShowsInSizeAndColoursStayClose) {
  std::vector<std::uint32_t> big(64 * 64);
  for (int i = 0; i < 64 * 64; ++i)
    big[i] = 0xFF000000u | ((i * 2654435761u) & 0xFFFFFF) | 0x404040;
  gfx::BitmapView view{reinterpret_cast<std::uint8_t*>(big.data()), 64, 64, 256};
  std::vector<std::uint8_t> low, high;
  ASSERT_TRUE(gfx::encode(view, gfx::ImageFormat::Jpeg, 5, low));
  ASSERT_TRUE(gfx::encode(view, gfx::ImageFormat::Jpeg, 100, high));
  EXPECT_LT(low.size() * 2, high.size());
  ASSERT_GE(low.size(), 2u);
  EXPECT_EQ(low[0], 0xFF);
  EXPECT_EQ(low[1], 0xD8);

  std::vector<std::uint32_t> flat(16 * 16, 0xFF3366CC);
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(gfx::encode({reinterpret_cast<std::uint8_t*>(flat.data()), 16, 16, 64},
                          gfx::ImageFormat::Jpeg, 90, bytes));
  int w = 0, h = 0;
  const auto pixels = decode(bytes, &w, &h);
  ASSERT_EQ(pixels.size(), 256u);
  for (int shift : {0, 8, 16})
    EXPECT_NEAR((pixels[100] >> shift) & 0xFF, (0x3366CC >> shift) & 0xFF, 3);
}

TEST(GfxEncode, FilesAndFailures) {
  Picture picture;
  const auto dir = std::filesystem::temp_directory_path() / "gfx-encode-test-\xC3\xA9t\xC3\xA9";
  std::filesystem::create_directories(dir);
  const auto file = dir / "picture.png";
  ASSERT_TRUE(gfx::encodeToFile(picture.view(), gfx::ImageFormat::Png, 80, file));
  std::ifstream in(file, std::ios::binary);
  std::vector<std::uint8_t> onDisk((std::istreambuf_iterator<char>(in)), {});
  std::vector<std::uint8_t> inMemory;
  ASSERT_TRUE(gfx::encode(picture.view(), gfx::ImageFormat::Png, 80, inMemory));
  EXPECT_EQ(onDisk, inMemory);

  EXPECT_FALSE(gfx::encodeToFile(picture.view(), gfx::ImageFormat::Png, 80, dir / "no" / "x.png"));
  EXPECT_FALSE(gfx::encodeToFile(picture.view(), gfx::ImageFormat::Png, 80, ""));
  std::vector<std::uint8_t> bytes;
  EXPECT_FALSE(gfx::encode(gfx::BitmapView{}, gfx::ImageFormat::Jpeg, 80, bytes));
  std::filesystem::remove_all(dir);
}

}  // namespace
