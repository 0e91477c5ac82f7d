// Effects against pixels worked out by hand from the effect formulas, plus the catalogue, the
// copy of id -1 and the refusals of malformed input.
//
// Frames are written top row first, as they lie in memory; effect row y = 0 is the LAST row in
// memory, so every position-dependent expectation below is stated in those coordinates.

#include <pixfx/pixfx.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr std::uint32_t Px(int r, int g, int b, int a = 255) {
  return static_cast<std::uint32_t>(a) << 24 | static_cast<std::uint32_t>(r) << 16 |
         static_cast<std::uint32_t>(g) << 8 | static_cast<std::uint32_t>(b);
}
constexpr std::uint32_t Gray(int v, int a = 255) {
  return Px(v, v, v, a);
}

std::string Hex(std::uint32_t v) {
  char s[16];
  std::snprintf(s, sizeof s, "%08X", v);
  return s;
}

// A frame with its own buffer; rows are given and read back in memory order (top row first).
// pad adds bytes after every row; a negative stride addresses the rows backwards from the end
// of the buffer, as bottom-up bitmaps do.
class TestFrame {
 public:
  static constexpr std::uint8_t kPadByte = 0xA5;

  TestFrame(int w, int h, const std::vector<std::uint32_t>& rows, int pad = 0,
            bool backwards = false)
      : abs_stride_(w * 4 + pad), buffer_(static_cast<std::size_t>(abs_stride_) * h, kPadByte) {
    frame_.width = w;
    frame_.height = h;
    frame_.stride = backwards ? -abs_stride_ : abs_stride_;
    frame_.size = static_cast<std::int32_t>(buffer_.size());
    frame_.pixels =
        backwards ? buffer_.data() + static_cast<std::size_t>(h - 1) * abs_stride_ : buffer_.data();
    for (int r = 0; r < h; ++r) std::memcpy(Row(r), &rows[static_cast<std::size_t>(r) * w], w * 4);
  }

  tagVideoFrame* get() { return &frame_; }
  std::vector<std::uint32_t> Pixels() {
    std::vector<std::uint32_t> out(static_cast<std::size_t>(frame_.width) * frame_.height);
    for (int r = 0; r < frame_.height; ++r) {
      std::memcpy(&out[static_cast<std::size_t>(r) * frame_.width], Row(r), frame_.width * 4);
    }
    return out;
  }
  bool PaddingIntact() {
    for (int r = 0; r < frame_.height; ++r) {
      for (int i = frame_.width * 4; i < abs_stride_; ++i) {
        if (Row(r)[i] != kPadByte) return false;
      }
    }
    return true;
  }

 private:
  std::uint8_t* Row(int r) {
    return frame_.pixels + static_cast<std::ptrdiff_t>(r) * frame_.stride;
  }

  int abs_stride_;
  std::vector<std::uint8_t> buffer_;
  tagVideoFrame frame_{};
};

struct EffectCase {
  const char* name;
  FilterEntry entry;
  int w, h;
  std::vector<std::uint32_t> in;
  std::vector<std::uint32_t> out;
};

// Channel-table effects are checked on one probe frame whose 12 channel values cover the
// ranges where the tables bend; the expectation lists what each value maps to.
constexpr int kProbe[12] = {0, 1, 3, 32, 64, 100, 127, 128, 192, 200, 254, 255};
constexpr int kProbeAlpha[4] = {0xFF, 0x80, 0x00, 0x3C};

std::vector<std::uint32_t> ProbePixels(const int (&v)[12]) {
  std::vector<std::uint32_t> px;
  for (int i = 0; i < 4; ++i)
    px.push_back(Px(v[3 * i + 2], v[3 * i + 1], v[3 * i], kProbeAlpha[i]));
  return px;
}

EffectCase TableCase(const char* name, int id, int p1, const int (&mapped)[12]) {
  return {name, {id, p1, 0, 0}, 4, 1, ProbePixels(kProbe), ProbePixels(mapped)};
}

// Pixels shared by several cases (b, g, r with their gray (30 r + 59 g + 11 b) / 100):
//   row 0: (r200 g100 b50) gray 124 | black gray 0 | white gray 255
//   row 1: (r10 g20 b30) gray 18    | (r128 g64 b32) gray 79, alpha 0x80 | (r90 g180 b45) gray 138,
//   alpha 0
const std::vector<std::uint32_t> kMixed = {Px(200, 100, 50),      Px(0, 0, 0),
                                           Px(255, 255, 255),     Px(10, 20, 30, 0x10),
                                           Px(128, 64, 32, 0x80), Px(90, 180, 45, 0)};

// Ramp for the wave: in effect coordinates blue = 10 x + 40 y + 5, green = 20 x + 5 y + 50,
// red 200, so a bilinear sample at (sx, sy) is blue 10 sx + 40 sy + 5, green 20 sx + 5 sy + 50.
std::vector<std::uint32_t> Ramp(int w, int h) {
  std::vector<std::uint32_t> px;
  for (int row = 0; row < h; ++row) {
    const int y = h - 1 - row;
    for (int x = 0; x < w; ++x) px.push_back(Px(200, 20 * x + 5 * y + 50, 10 * x + 40 * y + 5));
  }
  return px;
}

std::vector<std::uint32_t> WithAlpha(std::vector<std::uint32_t> px, int index, int alpha) {
  px[index] = (px[index] & 0x00FFFFFF) | static_cast<std::uint32_t>(alpha) << 24;
  return px;
}

std::vector<EffectCase> GoldenCases() {
  const std::vector<std::uint32_t> ramp4 = Ramp(4, 4);
  // Wave with wavelength 2 x 2 = 4 and amplitude 1 on a square 4 x 4 frame: centre (2, 2), axis
  // factors 1, m = sin(2 pi r / 4), source = (x + m, y + m) limited to 0 ... 3.
  //   r = 0 (2,2): m = 0, itself.  r = 1: m = 1, e.g. (2,1) -> (3,2): b 115 g 120.
  //   r = sqrt 2: m = sin(pi / sqrt 2) = 0.795693; (1,1) -> (1.7957, 1.7957): b 94.78 g 94.89.
  //   r = 2: m = sin(pi) ~ 1e-16, itself.  r = sqrt 5: m = sin(pi sqrt 5 / 2) = -0.362375;
  //   (1,0) -> (0.6376, 0): b 11.38 g 62.75; (3,0) -> (2.6376, 0): b 31.38 g 102.75.
  //   r = sqrt 8: m = -0.963903; (0,0) -> clamped (0, 0).
  // Written as memory rows, top row (y = 3) first.
  const std::vector<std::uint32_t> wave4 = {
      Px(200, 63, 110), Px(200, 100, 142), Px(200, 125, 155), Px(200, 125, 155),  // y = 3
      Px(200, 60, 85),  Px(200, 105, 145), Px(200, 100, 105), Px(200, 125, 155),  // y = 2
      Px(200, 53, 30),  Px(200, 94, 94),   Px(200, 120, 115), Px(200, 118, 106),  // y = 1
      Px(200, 50, 5),   Px(200, 62, 11),   Px(200, 90, 25),   Px(200, 102, 31)};  // y = 0
  // The same ramp with (1,1) at alpha 128 (memory index 9) and (2,2) at alpha 0 (index 6).
  // (2,2) samples only itself: alpha 0, so it turns white with alpha 0. (1,1) samples
  // (1,1) a128 b55, (2,1) a255 b65, (1,2) a255 b95, (2,2) a0 at f = 0.795693 both ways:
  // alpha = lerp(lerp(128, 255), lerp(255, 0)) = 88.25; blue = lerp of b x a / 88.25 = 78.49,
  // green (75, 95, 80, 100) gives 86.6. Others sample opaque pixels or give them weight 0.
  std::vector<std::uint32_t> waveAlpha = wave4;
  waveAlpha[6] = Px(255, 255, 255, 0);
  waveAlpha[9] = Px(200, 86, 78, 88);
  // Wave on 3 x 2: H < W, so dy is stretched by 3 / 2; the centre is (3 / 2, 2 / 2) = (1, 1).
  //   (0,0): dx -1, dy -1.5, r 1.8028, m 0.304868 -> (0.3049, 0.2032): b 16.18 g 57.11
  //   (1,0): dx 0, dy -1.5, r 1.5, m sin(0.75 pi) 0.707107 -> (1.7071, 0.4714): b 40.93 g 86.5
  //   (2,0): m 0.304868 -> (2 after limit, 0.2032): b 33.13 g 91.02
  //   (0,1) and (2,1): r 1, m 1 -> (1, 1) and (2, 1); (1,1): itself.
  const std::vector<std::uint32_t> wave32 = {Px(200, 75, 55), Px(200, 75, 55), Px(200, 95, 65),
                                             Px(200, 57, 16), Px(200, 86, 40), Px(200, 91, 33)};

  return {
      // 0 Gray: the gray of kMixed's pixels; alpha kept.
      {"gray",
       {kPixfxGray, 0, 0, 0},
       3,
       2,
       kMixed,
       {Gray(124), Gray(0), Gray(255), Gray(18, 0x10), Gray(79, 0x80), Gray(138, 0)}},
      // 1 Invert: 255 - each channel.
      {"invert",
       {kPixfxInvert, 0, 0, 0},
       3,
       2,
       kMixed,
       {Px(55, 155, 205), Px(255, 255, 255), Px(0, 0, 0), Px(245, 235, 225, 0x10),
        Px(127, 191, 223, 0x80), Px(165, 75, 210, 0)}},

      // 2 Brightness, b = p1 / 100 x 200 limited to 0 ... 200, minus 100.
      // p1 75, b 50: v + (255 - v) x 50 / 200, e.g. 1 -> 1 + 12700 / 200 = 64, 254 -> 254.
      TableCase("brightness 75", kPixfxBrightness, 75,
                {63, 64, 66, 87, 111, 138, 159, 159, 207, 213, 254, 255}),
      // p1 25, b -50: v + (-50 v) / 200 truncated toward zero: 3 -> 3 (-0.75 -> 0), 32 -> 24.
      TableCase("brightness 25", kPixfxBrightness, 25,
                {0, 1, 3, 24, 48, 75, 96, 96, 144, 150, 191, 192}),
      TableCase("brightness default", kPixfxBrightness, 50,
                {0, 1, 3, 32, 64, 100, 127, 128, 192, 200, 254, 255}),
      // p1 0, b -100: v - v / 2, 3 -> 2, 255 -> 128; INT_MIN is limited to the same.
      TableCase("brightness 0", kPixfxBrightness, 0,
                {0, 1, 2, 16, 32, 50, 64, 64, 96, 100, 127, 128}),
      TableCase("brightness INT_MIN", kPixfxBrightness, INT_MIN,
                {0, 1, 2, 16, 32, 50, 64, 64, 96, 100, 127, 128}),
      // p1 100, b 100: v + (255 - v) / 2, 0 -> 127; INT_MAX is limited to the same.
      TableCase("brightness 100", kPixfxBrightness, 100,
                {127, 128, 129, 143, 159, 177, 191, 191, 223, 227, 254, 255}),
      TableCase("brightness INT_MAX", kPixfxBrightness, INT_MAX,
                {127, 128, 129, 143, 159, 177, 191, 191, 223, 227, 254, 255}),

      // 3 Contrast, c = limited p1 / 100 x 200 - 100, e = c / 100.
      // p1 75: e 0.5, g = 1 / (1 - 0.5) = 2; 64: t 0.25098, m = 0.5 (0.50196)^2 = 0.125982,
      // x 255 = 32.13 -> 32; 192: u 0.24706, m = 1 - 0.5 (0.49412)^2 = 0.877924 -> 223.87.
      TableCase("contrast 75", kPixfxContrast, 75,
                {0, 0, 0, 8, 32, 78, 126, 128, 223, 231, 254, 255}),
      // p1 25: e -0.5, g 0.5; 64: 0.5 sqrt(0.50196) = 0.354246 -> 90.33; 128: u 0.498039,
      // 1 - 0.5 sqrt(0.996078) = 0.500982 -> 127.75.
      TableCase("contrast 25", kPixfxContrast, 25,
                {0, 11, 19, 63, 90, 112, 127, 127, 165, 171, 243, 255}),
      TableCase("contrast default", kPixfxContrast, 50,
                {0, 1, 3, 32, 64, 100, 127, 128, 192, 200, 254, 255}),
      // p1 0: e -1, g 0, m = 0.5 everywhere -> 127.5 -> 127; INT_MIN the same.
      TableCase("contrast INT_MIN", kPixfxContrast, INT_MIN,
                {127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127}),
      // p1 100: c 100, g 127: 127 -> 0.5 (0.996078)^127 = 0.303563 -> 77.41; 128 -> 177.59;
      // 192 -> 1 - 0.5 (0.49412)^127, 1 in double -> 255. INT_MAX the same.
      TableCase("contrast INT_MAX", kPixfxContrast, INT_MAX,
                {0, 0, 0, 0, 0, 0, 77, 177, 255, 255, 255, 255}),

      // 4 Gamma, gamma = p1 / 10 (at least 0.01), v' = round(v^(1/gamma) / (255^(1/gamma) / 255)).
      // p1 50: 255 (v / 255)^0.2; 1 -> 84.18, 3 -> 104.87, 32 -> 168.37, 254 -> 254.80.
      TableCase("gamma default", kPixfxGamma, 50,
                {0, 84, 105, 168, 193, 211, 222, 222, 241, 243, 255, 255}),
      TableCase("gamma 10 is identity", kPixfxGamma, 10,
                {0, 1, 3, 32, 64, 100, 127, 128, 192, 200, 254, 255}),
      // p1 0 and INT_MIN: gamma 0.01, 255 (v / 255)^100; 254 -> 255 x 0.675 = 172.14.
      TableCase("gamma 0", kPixfxGamma, 0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 172, 255}),
      TableCase("gamma INT_MIN", kPixfxGamma, INT_MIN, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 172, 255}),
      // INT_MAX: exponent ~ 4.7e-9, every non-zero value rounds to 255 (1 -> 254.999993).
      TableCase("gamma INT_MAX", kPixfxGamma, INT_MAX,
                {0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255}),

      // 11 Posterization, n = max(p1 / 100 x 20 + 2, 2) levels, step 255 / (n - 1).
      // p1 10: n 4, step 85; 64 / 85 = 0.75 -> 85, 127 -> 1.49 -> 85, 128 -> 1.51 -> 170.
      TableCase("posterize default", kPixfxPosterize, 10,
                {0, 0, 0, 0, 85, 85, 85, 170, 170, 170, 255, 255}),
      // p1 0 and INT_MIN: n 2, step 255: below 127.5 -> 0, above -> 255.
      TableCase("posterize 0", kPixfxPosterize, 0, {0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255}),
      TableCase("posterize INT_MIN", kPixfxPosterize, INT_MIN,
                {0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255}),
      // p1 100: n 22, step 12.142857; 32 -> round(2.635) = 3 -> 36.43 -> 36, 128 -> 11 -> 133.57.
      TableCase("posterize 100", kPixfxPosterize, 100,
                {0, 0, 0, 36, 61, 97, 121, 134, 194, 194, 255, 255}),
      // INT_MAX: so many levels that the step is below 1: every value keeps itself.
      TableCase("posterize INT_MAX", kPixfxPosterize, INT_MAX,
                {0, 1, 3, 32, 64, 100, 127, 128, 192, 200, 254, 255}),

      // 12 Solarization, t = p1 / 100 x 255 truncated: v < t keeps v, else 255 - v.
      // p1 10: t 25 (25.5); p1 50: t 127; p1 0: t 0, all inverted; p1 100: t 255, only 255 -> 0.
      TableCase("solarize default", kPixfxSolarize, 10,
                {0, 1, 3, 223, 191, 155, 128, 127, 63, 55, 1, 0}),
      TableCase("solarize 50", kPixfxSolarize, 50, {0, 1, 3, 32, 64, 100, 128, 127, 63, 55, 1, 0}),
      TableCase("solarize INT_MIN", kPixfxSolarize, INT_MIN,
                {255, 254, 252, 223, 191, 155, 128, 127, 63, 55, 1, 0}),
      TableCase("solarize INT_MAX", kPixfxSolarize, INT_MAX,
                {0, 1, 3, 32, 64, 100, 127, 128, 192, 200, 254, 0}),

      // 5 Sepia: tone (109, 90, 0) has lightness 0.2137, saturation 1, hue (90 / 109) / 6.
      // Gray i < 128: q = 2 i / 255, p = 0, so R_i = 2 i, G_i = 2 i x 90 / 109, B_i = 0;
      //   i 50: R 100 -> 100 / 255 x 50 = 19.6, G 82 -> 16.08;  i 100: R 200 -> 78.4, G 165
      //   -> 64.7.
      // Gray i >= 128: q = 1, p = 2 i / 255 - 1;  i 150: p 45/255, R 255 -> 150,
      //   G = 255 (p + (1 - p) x 90 / 109) = 218.4 -> 128.2, B 45 -> 26.5.
      // (Grays whose result sits on a rounding edge of the colour conversion are left out.)
      {"sepia",
       {kPixfxSepia, 0, 0, 0},
       4,
       2,
       {Gray(0), Gray(1), Gray(50), Gray(100, 0x20), Gray(127), Gray(150), Gray(254), Gray(255)},
       {Px(0, 0, 0), Px(0, 0, 0), Px(19, 16, 0), Px(78, 64, 0, 0x20), Px(126, 104, 0),
        Px(150, 128, 26), Px(254, 253, 252), Px(255, 255, 255)}},

      // 6 Embossment: d = (sum - right neighbour's sum) / 3 toward zero, v = d x level + 128.
      //   row 0: sums 60, 64, 200 -> d -1 (-4/3), -45 (-136/3), last column 128
      //   row 1: sums 270, 0, 3   -> d 90, -1, last column 128
      {"emboss 2",
       {kPixfxEmboss, 2, 0, 0},
       3,
       2,
       {Px(30, 20, 10, 0x10), Px(24, 20, 20), Px(0, 0, 200), Gray(90), Gray(0), Gray(1)},
       {Gray(126, 0x10), Gray(38), Gray(128), Gray(255), Gray(126), Gray(128)}},
      {"emboss -3",
       {kPixfxEmboss, -3, 0, 0},
       3,
       2,
       {Px(30, 20, 10, 0x10), Px(24, 20, 20), Px(0, 0, 200), Gray(90), Gray(0), Gray(1)},
       {Gray(131, 0x10), Gray(255), Gray(128), Gray(0), Gray(131), Gray(128)}},
      // The level is not limited: huge levels saturate, a zero difference still gives 128.
      {"emboss INT_MAX",
       {kPixfxEmboss, INT_MAX, 0, 0},
       3,
       2,
       {Px(30, 20, 10, 0x10), Px(24, 20, 20), Px(0, 0, 200), Gray(90), Gray(90), Gray(1)},
       {Gray(0, 0x10), Gray(0), Gray(128), Gray(128), Gray(255), Gray(128)}},
      {"emboss uniform",
       {kPixfxEmboss, 77, 0, 0},
       3,
       2,
       std::vector<std::uint32_t>(6, Px(9, 99, 199)),
       std::vector<std::uint32_t>(6, Gray(128))},
      {"emboss 1x1", {kPixfxEmboss, 5, 0, 0}, 1, 1, {Px(1, 2, 3)}, {Gray(128)}},

      // 7, 8 Flips; the middle column (row) of an odd size stays.
      {"flip horizontally",
       {kPixfxFlipHorizontal, 0, 0, 0},
       3,
       2,
       kMixed,
       {kMixed[2], kMixed[1], kMixed[0], kMixed[5], kMixed[4], kMixed[3]}},
      {"flip horizontally 1x1",
       {kPixfxFlipHorizontal, 0, 0, 0},
       1,
       1,
       {Px(1, 2, 3)},
       {Px(1, 2, 3)}},
      {"flip vertically",
       {kPixfxFlipVertical, 0, 0, 0},
       2,
       3,
       {Gray(1), Gray(2), Gray(3), Gray(4), Gray(5), Gray(6)},
       {Gray(5), Gray(6), Gray(3), Gray(4), Gray(1), Gray(2)}},
      {"flip vertically even",
       {kPixfxFlipVertical, 0, 0, 0},
       1,
       2,
       {Gray(1), Gray(2, 0)},
       {Gray(2, 0), Gray(1)}},

      // 9 3D grid, size 5 depth 20 on (r250 g10 b100): A(k) holds for k mod 5 in 1 ... 3.
      //   y = 1: (y - 1) mod 5 = 0 -> -20 for x = 1 ... 3
      //   y = 2: (x - 1) mod 5 = 0 at x = 1 -> +20; (x + 2) mod 5 = 0 at x = 3 -> -20
      //   y = 3: (y + 2) mod 5 = 0 -> +20 for x = 1 ... 3;   y = 0 and x = 0, 4: nothing
      // -20 gives (230, 0, 80), +20 gives (255, 30, 120), each channel limited.
      {"3d grid",
       {kPixfx3DGrid, 5, 20, 0},
       5,
       4,
       std::vector<std::uint32_t>(20, Px(250, 10, 100)),
       {Px(250, 10, 100), Px(255, 30, 120), Px(255, 30, 120), Px(255, 30, 120), Px(250, 10, 100),
        Px(250, 10, 100), Px(255, 30, 120), Px(250, 10, 100), Px(230, 0, 80),   Px(250, 10, 100),
        Px(250, 10, 100), Px(230, 0, 80),   Px(230, 0, 80),   Px(230, 0, 80),   Px(250, 10, 100),
        Px(250, 10, 100), Px(250, 10, 100), Px(250, 10, 100), Px(250, 10, 100), Px(250, 10, 100)}},
      // A depth beyond 255 saturates the same cells fully; a negative depth swaps the signs.
      {"3d grid INT_MIN depth",
       {kPixfx3DGrid, 5, INT_MIN, 0},
       5,
       4,
       std::vector<std::uint32_t>(20, Gray(100)),
       {Gray(100), Gray(0),   Gray(0),   Gray(0),   Gray(100), Gray(100), Gray(0),
        Gray(100), Gray(255), Gray(100), Gray(100), Gray(255), Gray(255), Gray(255),
        Gray(100), Gray(100), Gray(100), Gray(100), Gray(100), Gray(100)}},
      // Size 1 (and anything below, limited to 1): every remainder is 0, so no cell is raised.
      {"3d grid size 1",
       {kPixfx3DGrid, 1, 50, 0},
       5,
       4,
       std::vector<std::uint32_t>(20, Gray(100)),
       std::vector<std::uint32_t>(20, Gray(100))},
      {"3d grid size INT_MIN",
       {kPixfx3DGrid, INT_MIN, 50, 0},
       5,
       4,
       std::vector<std::uint32_t>(20, Gray(100)),
       std::vector<std::uint32_t>(20, Gray(100))},

      // 10 Noise; every case runs on a fresh thread, so the generator starts at seed 1 and
      // yields 41, 18467, 6334, 26500 | 19169, 15724, 11478, 29358 | ...
      // Level 100: pixel sums 51342, 75729, 85276, 50560 -> n x 127 = -95.27, 68.44, 132.53,
      // -100.52. The loop starts with y = 0, the last memory row, so it gets the first two.
      {"noise 100",
       {kPixfxNoise, 100, 0, 0},
       2,
       2,
       std::vector<std::uint32_t>(4, Px(200, 50, 100, 7)),
       {Px(255, 182, 232, 7), Px(100, 0, 0, 7), Px(105, 0, 5, 7), Px(255, 118, 168, 7)}},
      {"noise INT_MAX",
       {kPixfxNoise, INT_MAX, 0, 0},
       2,
       2,
       std::vector<std::uint32_t>(4, Px(200, 50, 100, 7)),
       {Px(255, 182, 232, 7), Px(100, 0, 0, 7), Px(105, 0, 5, 7), Px(255, 118, 168, 7)}},
      // Level 37: -95.27 x 0.37 = -35.25 -> -35, 68.44 x 0.37 = 25.32 -> 25 (truncated).
      {"noise 37", {kPixfxNoise, 37, 0, 0}, 2, 1, {Gray(100), Gray(100)}, {Gray(65), Gray(125)}},
      {"noise 0", {kPixfxNoise, 0, 0, 0}, 3, 2, kMixed, kMixed},
      {"noise INT_MIN", {kPixfxNoise, INT_MIN, 0, 0}, 3, 2, kMixed, kMixed},

      // 13 Threshold, t = p1 / 100 x 255 truncated (50 -> 127): white when gray > t.
      {"threshold 50",
       {kPixfxThreshold, 50, 0, 0},
       4,
       2,
       {Gray(127), Gray(128), Px(200, 100, 50), Px(90, 180, 45, 0), Px(10, 20, 30), Gray(0),
        Gray(255, 0x33), Px(128, 128, 127)},
       // the last: (30 x 128 + 59 x 128 + 11 x 127) / 100 = 127.89 -> 127, not above 127
       {Gray(0), Gray(255), Gray(0), Gray(255, 0), Gray(0), Gray(0), Gray(255, 0x33), Gray(0)}},
      // t 255: nothing exceeds it; t 0: everything but black does.
      {"threshold INT_MAX",
       {kPixfxThreshold, INT_MAX, 0, 0},
       2,
       1,
       {Gray(255), Gray(254)},
       {Gray(0), Gray(0)}},
      {"threshold INT_MIN",
       {kPixfxThreshold, INT_MIN, 0, 0},
       3,
       1,
       {Gray(0), Gray(1), Px(0, 0, 9)},
       {Gray(0), Gray(255), Gray(0)}},  // gray of blue 9 alone is 99 / 100 = 0

      // 14 Video: pattern [y mod 3][x mod 3] = {0,1,2}, {2,0,1}, {1,2,0} names the channel
      // (0 blue, 1 green, 2 red) that doubles. Memory row 0 is y = 2.
      {"video",
       {kPixfxVideo, 0, 0, 0},
       3,
       3,
       std::vector<std::uint32_t>(9, Gray(100)),
       {Px(100, 200, 100), Px(200, 100, 100), Px(100, 100, 200),    // y = 2: green, red, blue
        Px(200, 100, 100), Px(100, 100, 200), Px(100, 200, 100),    // y = 1: red, blue, green
        Px(100, 100, 200), Px(100, 200, 100), Px(200, 100, 100)}},  // y = 0: blue, green, red
      {"video saturates",
       {kPixfxVideo, 0, 0, 0},
       1,
       1,
       {Px(1, 2, 200, 0x44)},
       {Px(1, 2, 255, 0x44)}},

      // 15 Wave (see above); a wavelength and amplitude below 1 count as 1.
      {"wave", {kPixfxWave, 2, 1, 0}, 4, 4, ramp4, wave4},
      {"wave amplitude 0", {kPixfxWave, 2, 0, 0}, 4, 4, ramp4, wave4},
      {"wave alpha",
       {kPixfxWave, 2, 1, 0},
       4,
       4,
       WithAlpha(WithAlpha(ramp4, 9, 128), 6, 0),
       waveAlpha},
      {"wave 3x2", {kPixfxWave, 2, 1, 0}, 3, 2, Ramp(3, 2), wave32},
      {"wave 1x1", {kPixfxWave, 2, 1, 0}, 1, 1, {Px(1, 2, 3, 4)}, {Px(1, 2, 3, 4)}},

      // 16 Halftone: white when M[y mod 8][x mod 8] < gray / 4.
      // Gray 128 -> 32: y = 0 uses {0, 32, 8, 40}, y = 1 uses {48, 16, 56, 24}.
      {"halftone 128",
       {kPixfxHalftone, 0, 0, 0},
       4,
       2,
       std::vector<std::uint32_t>(8, Gray(128)),
       {Gray(0), Gray(255), Gray(0), Gray(255), Gray(255), Gray(0), Gray(255), Gray(0)}},
      // White -> 63: black only where M is 63, at y = 7 (memory row 0), x = 0.
      {"halftone white",
       {kPixfxHalftone, 0, 0, 0},
       1,
       8,
       std::vector<std::uint32_t>(8, Gray(255)),
       {Gray(0), Gray(255), Gray(255), Gray(255), Gray(255), Gray(255), Gray(255), Gray(255)}},
      {"halftone black",
       {kPixfxHalftone, 0, 0, 0},
       3,
       2,
       std::vector<std::uint32_t>(6, Gray(0)),
       std::vector<std::uint32_t>(6, Gray(0))},
  };
}

struct Layout {
  const char* name;
  int pad;
  bool backwards;
};
constexpr Layout kLayouts[] = {{"tight", 0, false}, {"padded", 12, false}, {"bottom-up", 8, true}};

TEST(PixfxGolden, EveryEffectGivesTheHandDerivedPixels) {
  for (const EffectCase& c : GoldenCases()) {
    ASSERT_EQ(c.in.size(), static_cast<std::size_t>(c.w * c.h)) << c.name;
    ASSERT_EQ(c.out.size(), c.in.size()) << c.name;
    for (const Layout& layout : kLayouts) {
      SCOPED_TRACE(std::string(c.name) + ", " + layout.name);
      TestFrame frame(c.w, c.h, c.in, layout.pad, layout.backwards);
      std::int32_t result = -1;
      // A fresh thread gives the noise generator its start state.
      std::thread([&] { result = OvraDoEffect(frame.get(), &c.entry, nullptr); }).join();
      EXPECT_EQ(result, 1);
      const std::vector<std::uint32_t> got = frame.Pixels();
      for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(Hex(got[i]), Hex(c.out[i])) << "memory row " << i / c.w << ", column " << i % c.w;
      }
      EXPECT_TRUE(frame.PaddingIntact());
    }
  }
}

TEST(PixfxGolden, FlippingTwiceRestoresTheFrame) {
  std::vector<std::uint32_t> px;
  for (int i = 0; i < 35; ++i) px.push_back(Px(i * 7 % 256, i * 13 % 256, i * 29 % 256, i));
  for (int id : {kPixfxFlipHorizontal, kPixfxFlipVertical}) {
    TestFrame frame(7, 5, px, 4);
    const FilterEntry e{id, 0, 0, 0};
    ASSERT_EQ(OvraDoEffect(frame.get(), &e, nullptr), 1);
    EXPECT_NE(frame.Pixels(), px);
    ASSERT_EQ(OvraDoEffect(frame.get(), &e, nullptr), 1);
    EXPECT_EQ(frame.Pixels(), px) << id;
  }
}

TEST(PixfxGolden, NoiseGeneratorRunsOnPerThreadAndIsNeverReseeded) {
  const FilterEntry e{kPixfxNoise, 100, 0, 0};
  std::vector<std::uint32_t> first, second, other;
  std::thread([&] {
    TestFrame a(2, 2, std::vector<std::uint32_t>(4, Gray(128)));
    TestFrame b(2, 2, std::vector<std::uint32_t>(4, Gray(128)));
    OvraDoEffect(a.get(), &e, nullptr);
    OvraDoEffect(b.get(), &e, nullptr);
    first = a.Pixels();
    second = b.Pixels();
  }).join();
  std::thread([&] {
    TestFrame c(2, 2, std::vector<std::uint32_t>(4, Gray(128)));
    OvraDoEffect(c.get(), &e, nullptr);
    other = c.Pixels();
  }).join();
  EXPECT_NE(first, second);  // the second call continues the sequence
  EXPECT_EQ(first, other);   // another thread starts from the same seed
  // The first pixel drawn (memory row 1, column 0) got the first four values: offset -95.
  EXPECT_EQ(Hex(first[2]), Hex(Gray(33)));
}

TEST(PixfxGolden, AbsurdParametersKeepOpaqueAlphaAndTheFrameBounds) {
  // Every id with extreme parameters on a frame of varied pixels: the call succeeds, alpha of an
  // opaque frame stays opaque (also for the wave, which writes whole pixels) and the padding
  // bytes around the rows are never written. The sanitizer build checks the arithmetic.
  std::vector<std::uint32_t> px;
  for (int i = 0; i < 12; ++i) px.push_back(Px(i * 23 % 256, i * 61 % 256, i * 97 % 256));
  const int extremes[] = {INT_MIN, -1, 0, 100, 101, 1000000, INT_MAX};
  for (int id = kPixfxGray; id <= kPixfxHalftone; ++id) {
    for (int p1 : extremes) {
      for (int p2 : extremes) {
        TestFrame frame(4, 3, px, 8);
        const FilterEntry e{id, p1, p2, INT_MIN};
        ASSERT_EQ(OvraDoEffect(frame.get(), &e, nullptr), 1) << id;
        for (std::uint32_t v : frame.Pixels())
          ASSERT_EQ(v >> 24, 0xFFu) << id << " " << p1 << " " << p2;
        ASSERT_TRUE(frame.PaddingIntact()) << id;
      }
    }
  }
}

struct RefusalCase {
  const char* name;
  int id;
  bool nullFrame, nullPixels;
  int w, h, stride, size;
  std::int32_t result;
};

TEST(PixfxRefusals, MalformedFramesAreRefusedAndLeftUntouched) {
  const RefusalCase cases[] = {
      {"null frame", kPixfxInvert, true, false, 2, 2, 8, 16, 0},
      {"null pixels", kPixfxInvert, false, true, 2, 2, 8, 16, 0},
      {"zero width", kPixfxInvert, false, false, 0, 2, 8, 16, 0},
      {"negative height", kPixfxInvert, false, false, 2, -2, 8, 16, 0},
      {"rows overlap", kPixfxInvert, false, false, 2, 2, 4, 16, 0},
      {"size short of the rows", kPixfxWave, false, false, 2, 2, 8, 15, 0},
      {"size unknown", kPixfxInvert, false, false, 2, 2, 8, 0, 1},
      {"last row needs no padding", kPixfxInvert, false, false, 2, 2, 12, 20, 1},
      {"unknown id", 99, false, false, 2, 2, 8, 16, 1},
      {"noise is applied though not offered", kPixfxNoise, false, false, 2, 2, 8, 16, 1},
      {"unknown id on a null frame", 17, true, false, 2, 2, 8, 16, 1},
      {"no effect", kPixfxNone, true, false, 2, 2, 8, 16, 1},
  };
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> buffer(24, 0x5A);
    tagVideoFrame frame{c.nullPixels ? nullptr : buffer.data(), c.w, c.h, c.stride, c.size, 0, 0};
    const FilterEntry e{c.id, 100, 0, 0};
    EXPECT_EQ(OvraDoEffect(c.nullFrame ? nullptr : &frame, &e, nullptr), c.result);
    if (c.result == 0 || c.id > kPixfxHalftone || c.id == kPixfxNone) {
      EXPECT_EQ(buffer, std::vector<std::uint8_t>(24, 0x5A));
    }
  }
  std::vector<std::uint8_t> buffer(16, 0x5A);
  tagVideoFrame frame{buffer.data(), 2, 2, 8, 16, 0, 0};
  EXPECT_EQ(OvraDoEffect(&frame, nullptr, nullptr), 0);
  EXPECT_EQ(OvraDoEffectEx(&frame, &frame, nullptr, nullptr), 0);
  EXPECT_EQ(buffer, std::vector<std::uint8_t>(16, 0x5A));
}

struct CopyCase {
  const char* name;
  int w2, h2, pad2;
  std::vector<std::uint32_t> expected;  // second frame after the copy, memory order
};

TEST(PixfxCopy, NoEffectCopiesRowsAsFarAsBothFramesReach) {
  // Source 3 x 2 (padded); untouched destination pixels stay 0x01010101.
  const std::vector<std::uint32_t> src = {Gray(1), Gray(2), Gray(3), Gray(4), Gray(5), Gray(6)};
  constexpr std::uint32_t o = 0x01010101;
  const CopyCase cases[] = {
      {"same size", 3, 2, 0, src},
      {"narrower and shorter", 2, 1, 4, {Gray(1), Gray(2)}},
      {"wider and taller",
       4,
       3,
       0,
       {Gray(1), Gray(2), Gray(3), o, Gray(4), Gray(5), Gray(6), o, o, o, o, o}},
  };
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(c.name);
    TestFrame first(3, 2, src, 16);
    TestFrame second(c.w2, c.h2, std::vector<std::uint32_t>(c.w2 * c.h2, o), c.pad2);
    const FilterEntry none{kPixfxNone, 0, 0, 0};
    EXPECT_EQ(OvraDoEffectEx(first.get(), second.get(), &none, nullptr), 1);
    EXPECT_EQ(second.Pixels(), c.expected);
    EXPECT_TRUE(second.PaddingIntact());
    EXPECT_EQ(first.Pixels(), src);
  }
  // Without a usable second frame nothing is copied; OvraDoEffect never copies.
  TestFrame first(3, 2, src);
  const FilterEntry none{kPixfxNone, 0, 0, 0};
  EXPECT_EQ(OvraDoEffectEx(first.get(), nullptr, &none, nullptr), 0);
  EXPECT_EQ(OvraDoEffect(first.get(), &none, nullptr), 1);
  // Other ids change the first frame only.
  TestFrame second(3, 2, std::vector<std::uint32_t>(6, o));
  const FilterEntry invert{kPixfxInvert, 0, 0, 0};
  EXPECT_EQ(OvraDoEffectEx(first.get(), second.get(), &invert, nullptr), 1);
  EXPECT_EQ(Hex(first.Pixels()[0]), Hex(Gray(254)));
  EXPECT_EQ(second.Pixels(), std::vector<std::uint32_t>(6, o));
}

struct Seen {
  std::vector<std::string> names;
  std::vector<int> ids;
  std::vector<bool> hasLister;
  int stopAfter = 1000;
};

std::uint8_t Collect(const EffectInfo* info, void* user) {
  auto* seen = static_cast<Seen*>(user);
  seen->names.push_back(info->name);
  seen->ids.push_back(info->id);
  seen->hasLister.push_back(info->paramLister != nullptr);
  EXPECT_EQ(info->reserved, 0);
  return static_cast<int>(seen->names.size()) < seen->stopAfter ? 1 : 0;
}

struct Param {
  int effect;
  std::string name;
  int value;
  bool operator==(const Param&) const = default;
};

std::uint8_t CollectParam(const EffectParamInfo* info, void* user) {
  static_cast<std::vector<Param>*>(user)->push_back(
      {info->effectId, info->name, info->defaultValue});
  return 0;  // the lister goes on regardless
}

TEST(PixfxCatalogue, OffersTheEffectsInOrderWithTheirParameters) {
  Seen seen;
  OvraEnumEffect(&Collect, &seen);
  const std::vector<std::string> names = {
      "Gray",          "Invert",       "Brightness",        "Contrast",        "Gamma",
      "Sepia",         "Embossment",   "Filp Horizontally", "Filp Vertically", "3DGrid",
      "Posterization", "Solarization", "Threshold",         "Video",           "Halftone"};
  EXPECT_EQ(seen.names, names);
  EXPECT_EQ(seen.ids, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 12, 13, 14, 16}));
  EXPECT_EQ(seen.hasLister, (std::vector<bool>{false, false, true, true, true, false, true, false,
                                               false, true, true, true, true, false, false}));

  // Every offered lister, asked for its own effect.
  std::vector<Param> params;
  EffectParamLister lister = nullptr;
  struct ListAll {
    std::vector<Param>* params;
    EffectParamLister* lister;
  } all{&params, &lister};
  OvraEnumEffect(
      [](const EffectInfo* info, void* user) -> std::uint8_t {
        auto* a = static_cast<ListAll*>(user);
        if (info->paramLister != nullptr) {
          const std::size_t before = a->params->size();
          const std::int32_t listed = info->paramLister(info->id, &CollectParam, a->params);
          EXPECT_EQ(listed, static_cast<std::int32_t>(a->params->size() - before));
          *a->lister = info->paramLister;
        }
        return 1;
      },
      &all);
  const std::vector<Param> expected = {
      {2, "Brightness", 50}, {3, "Contrast", 50},   {4, "Gamma", 50},
      {6, "Emboss", 5},      {9, "Size", 50},       {9, "Depth", 20},
      {11, "Level", 10},     {12, "Threshold", 10}, {13, "Level", 50}};
  EXPECT_EQ(params, expected);

  // The lister also knows the lists of effects that the catalogue does not connect to it.
  ASSERT_NE(lister, nullptr);
  params.clear();
  lister(kPixfxVideo, &CollectParam, &params);
  lister(kPixfxNoise, &CollectParam, &params);
  lister(kPixfxWave, &CollectParam, &params);
  EXPECT_EQ(params, (std::vector<Param>{{14, "Level", 0},
                                        {14, "Wavelength", 25},
                                        {14, "Amplitude", 30},
                                        {10, "Level", 50},
                                        {15, "Wavelength", 25},
                                        {15, "Amplitude", 30}}));
  params.clear();
  EXPECT_EQ(lister(kPixfxGray, &CollectParam, &params), 0);
  EXPECT_EQ(lister(12345, &CollectParam, &params), 0);
  EXPECT_EQ(lister(kPixfxBrightness, nullptr, &params), 0);
  EXPECT_TRUE(params.empty());
}

TEST(PixfxCatalogue, EnumerationStopsWhenTheCallbackSaysSo) {
  Seen seen;
  seen.stopAfter = 1;
  OvraEnumEffect(&Collect, &seen);
  EXPECT_EQ(seen.names, std::vector<std::string>{"Gray"});
  seen = Seen{};
  seen.stopAfter = 3;
  OvraEnumEffect(&Collect, &seen);
  EXPECT_EQ(seen.names.size(), 3u);
  OvraEnumEffect(nullptr, &seen);  // nothing to call: a no-op
  // The start marker can be released any number of times; the library keeps working.
  OvraEffectDestory();
  OvraEffectDestory();
  seen = Seen{};
  OvraEnumEffect(&Collect, &seen);
  EXPECT_EQ(seen.names.size(), 15u);
  OvraEffectDestory();
}

// Threads applying effects to their own frames share nothing but the start marker, which one of
// them keeps releasing while the others make it again; each must get the one-thread result.
TEST(PixfxStress, ThreadsApplyEffectsToTheirOwnFramesAtOnce) {
  std::vector<std::uint32_t> px;
  for (int i = 0; i < 48; ++i) px.push_back(Px(i * 5, 255 - i * 3, i * 11 % 256));
  const FilterEntry chain[] = {{kPixfxSepia, 0, 0, 0},
                               {kPixfxWave, 3, 2, 0},
                               {kPixfxContrast, 80, 0, 0},
                               {kPixfxEmboss, 3, 0, 0}};
  auto apply = [&] {
    TestFrame frame(8, 6, px);
    for (const FilterEntry& e : chain) OvraDoEffect(frame.get(), &e, nullptr);
    return frame.Pixels();
  };
  const std::vector<std::uint32_t> reference = apply();
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 200; ++round) {
        Seen seen;
        OvraEnumEffect(&Collect, &seen);
        if (seen.names.size() != 15 || apply() != reference) ++mismatches[t];
        if (t == 0) OvraEffectDestory();
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
