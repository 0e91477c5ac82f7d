#include "test_support.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gfx/encode.h>
#include <gfx/scaled_decode.h>
#include <picwork/picwork.h>

namespace picwork_test {
namespace {

// The log goes to a folder of this run, so that tests can read the lines written.
const fs::path kLogHome = [] {
  fs::path home = fs::temp_directory_path() / ("picwork-test-" + std::to_string(getpid()));
  fs::create_directories(home);
  setenv("XDG_STATE_HOME", home.c_str(), 1);
  return home;
}();

gfx::BitmapView ViewOf(const std::vector<std::uint32_t>& pixels, int w, int h) {
  return {reinterpret_cast<std::uint8_t*>(const_cast<std::uint32_t*>(pixels.data())), w, h, w * 4};
}

}  // namespace

TempDir::TempDir() {
  static int counter = 0;
  path_ = kLogHome / ("dir" + std::to_string(counter++));
  fs::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(path_, ec);
}

std::vector<std::uint32_t> Quadrants(int w, int h) {
  std::vector<std::uint32_t> p(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const bool right = x >= w / 2, bottom = y >= h / 2;
      p[static_cast<std::size_t>(y) * w + x] =
          bottom ? (right ? 0xFFFFFFFF : 0xFF0000FF) : (right ? 0xFF00FF00 : 0xFFFF0000);
    }
  return p;
}

std::vector<std::uint32_t> Rings(int w, int h) {
  std::vector<std::uint32_t> p(static_cast<std::size_t>(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const double dx = x - w / 2.0, dy = y - h / 2.0;
      const double r = std::sqrt(dx * dx + dy * dy);
      const int ring = static_cast<int>(127.5 + 127.5 * std::sin(r * r / (w * 8.0)));
      const int gx = x * 255 / w, gy = y * 255 / h;
      p[static_cast<std::size_t>(y) * w + x] =
          0xFF000000u | std::uint32_t(ring) << 16 | std::uint32_t(gx) << 8 | std::uint32_t(gy);
    }
  return p;
}

void WriteJpeg(const fs::path& file, const std::vector<std::uint32_t>& pixels, int w, int h,
               int quality) {
  // libjpeg directly: libvips' worker threads would stand in the thread checker's way.
  std::vector<std::uint8_t> bytes;
  ASSERT_TRUE(gfx::encodeJpeg(ViewOf(pixels, w, h), quality, 96, 96, bytes));
  WriteBytes(file, bytes);
}

void WritePng(const fs::path& file, const std::vector<std::uint32_t>& pixels, int w, int h) {
  ASSERT_TRUE(gfx::encodeToFile(ViewOf(pixels, w, h), gfx::ImageFormat::Png, 0, file));
}

void AddExifOrientation(const fs::path& jpeg, int orientation, bool bigEndian) {
  std::vector<std::uint8_t> bytes = testkit::ReadBytes(jpeg);
  ASSERT_GE(bytes.size(), 2u);
  auto u16 = [&](std::vector<std::uint8_t>& v, unsigned x) {
    if (bigEndian) {
      v.push_back(std::uint8_t(x >> 8));
      v.push_back(std::uint8_t(x));
    } else {
      v.push_back(std::uint8_t(x));
      v.push_back(std::uint8_t(x >> 8));
    }
  };
  auto u32 = [&](std::vector<std::uint8_t>& v, unsigned x) {
    if (bigEndian) {
      u16(v, x >> 16);
      u16(v, x & 0xFFFF);
    } else {
      u16(v, x & 0xFFFF);
      u16(v, x >> 16);
    }
  };
  std::vector<std::uint8_t> tiff = {std::uint8_t(bigEndian ? 'M' : 'I'),
                                    std::uint8_t(bigEndian ? 'M' : 'I')};
  u16(tiff, 42);
  u32(tiff, 8);
  u16(tiff, 1);            // one entry
  u16(tiff, 0x0112);       // Orientation
  u16(tiff, 3);            // SHORT
  u32(tiff, 1);            // one value
  u16(tiff, orientation);  // value, padded to four bytes
  u16(tiff, 0);
  u32(tiff, 0);  // no next IFD
  const std::size_t length = 2 + 6 + tiff.size();
  std::vector<std::uint8_t> app1 = {
      0xFF, 0xE1, std::uint8_t(length >> 8), std::uint8_t(length), 'E', 'x', 'i', 'f', 0, 0};
  for (std::uint8_t b : tiff) app1.push_back(b);
  bytes.insert(bytes.begin() + 2, app1.begin(), app1.end());
  WriteBytes(jpeg, bytes);
}

void WriteBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

gfx::Picture Decode(const fs::path& file) {
  gfx::Picture picture;
  EXPECT_EQ(gfx::decodeFile(file, picture), gfx::DecodeStatus::Ok) << file;
  return picture;
}

std::vector<std::uint32_t> QuarterMiddles(const gfx::Picture& p) {
  std::vector<std::uint32_t> out;
  for (int qy : {p.height / 4, p.height * 3 / 4})
    for (int qx : {p.width / 4, p.width * 3 / 4})
      out.push_back(p.pixels[static_cast<std::size_t>(qy) * p.width + qx]);
  return out;
}

double MeanDifference(const gfx::Picture& a, const gfx::Picture& b) {
  if (a.width != b.width || a.height != b.height || a.pixels.empty()) return 1e9;
  double sum = 0;
  for (std::size_t i = 0; i < a.pixels.size(); ++i)
    for (int shift = 0; shift < 32; shift += 8)
      sum += std::abs(int(a.pixels[i] >> shift & 0xFF) - int(b.pixels[i] >> shift & 0xFF));
  return sum / (a.pixels.size() * 4.0);
}

void ResetLogCallback() {
  OvraDeinitRetouch(OvraInitRetouch(nullptr, nullptr, nullptr, nullptr));
}

std::string LogText() {
  std::ifstream in(kLogHome / "galleria" / "galleria.log");
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace picwork_test

// Fontconfig keeps its configuration for the life of the process, where the leak checker sees
// blocks it never frees; nothing of ours is hidden by this.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
