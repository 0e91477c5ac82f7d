#pragma once
// Fixtures shared by the picwork tests: pictures written at run time, pixel comparisons, the log.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gfx/decode.h>
#include <testkit/files.h>
#include <testkit/pixels.h>

namespace picwork_test {

namespace fs = std::filesystem;

// A folder of its own for each test, removed afterwards.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const fs::path& path() const { return path_; }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

// w x h, top-left quarter red, top-right green, bottom-left blue, bottom-right white, opaque.
std::vector<std::uint32_t> Quadrants(int w, int h);
// A smooth picture with detail at every scale (rings on a gradient).
std::vector<std::uint32_t> Rings(int w, int h);

void WriteJpeg(const fs::path& file, const std::vector<std::uint32_t>& pixels, int w, int h,
               int quality = 95);
void WritePng(const fs::path& file, const std::vector<std::uint32_t>& pixels, int w, int h);
// Inserts an EXIF block holding only an Orientation tag after the JPEG's start marker.
void AddExifOrientation(const fs::path& jpeg, int orientation, bool bigEndian = false);

void WriteBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes);

gfx::Picture Decode(const fs::path& file);
// Pixel at the middle of each quarter: top-left, top-right, bottom-left, bottom-right.
std::vector<std::uint32_t> QuarterMiddles(const gfx::Picture& p);
// Mean absolute difference per channel of two pictures of one size.
double MeanDifference(const gfx::Picture& a, const gfx::Picture& b);

// Drops the log callback a test set through OvraInitRetouch.
void ResetLogCallback();

// Everything the log file got since the test binary started.
std::string LogText();

}  // namespace picwork_test
