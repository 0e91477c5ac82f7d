// The effects. Each class maps the chooser's 0 ... 100 parameters itself and limits them before
// any integer conversion, so that no parameter value can overflow or index out of a table.

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <numbers>
#include <vector>

#include <pixfx/pixfx.h>

#include "pix_base.h"

namespace pixfx {

bool MakeFrameView(const tagVideoFrame* frame, PixFrame& view) {
  if (frame == nullptr || frame->pixels == nullptr || frame->width <= 0 || frame->height <= 0) {
    return false;
  }
  const long long rowBytes = static_cast<long long>(frame->width) * 4;
  const long long stride = frame->stride;
  const long long absStride = stride < 0 ? -stride : stride;
  if (absStride < rowBytes) return false;
  // Frames made here state their size; a record whose size cannot hold its rows would make every
  // effect write past the buffer.
  if (frame->size > 0 && (frame->height - 1) * absStride + rowBytes > frame->size) return false;
  view.pixels = frame->pixels;
  view.width = frame->width;
  view.height = frame->height;
  view.stride = static_cast<std::ptrdiff_t>(stride);
  return true;
}

namespace {

// Parameters mapped as p / 100 x k, limited to lo ... hi and truncated.
int MapPercent(int p, double k, int lo, int hi) {
  return TruncateClamped(p / 100.0 * k, lo, hi);
}

class FCPixelGrayscale final : public CPixBase {
 public:
  void ProcessPixel(const PixFrame&, int, int, std::uint8_t* px) override {
    const auto g = static_cast<std::uint8_t>(Gray(px));
    px[kBlue] = px[kGreen] = px[kRed] = g;
  }
};

class FCPixelInvert final : public CPixBase {
 public:
  void ProcessPixel(const PixFrame&, int, int, std::uint8_t* px) override {
    px[kBlue] = static_cast<std::uint8_t>(255 - px[kBlue]);
    px[kGreen] = static_cast<std::uint8_t>(255 - px[kGreen]);
    px[kRed] = static_cast<std::uint8_t>(255 - px[kRed]);
  }
};

// Effects that map every channel value through one table, built once per call.
class FCPixelLUTRoutine : public CPixBase {
 public:
  bool Prepare(const PixFrame&) override {
    for (int v = 0; v < 256; ++v) table_[v] = static_cast<std::uint8_t>(Clamp255(MapValue(v)));
    return true;
  }
  void ProcessPixel(const PixFrame&, int, int, std::uint8_t* px) final {
    px[kBlue] = table_[px[kBlue]];
    px[kGreen] = table_[px[kGreen]];
    px[kRed] = table_[px[kRed]];
  }

 protected:
  virtual int MapValue(int v) const = 0;

 private:
  std::uint8_t table_[256] = {};
};

class FCPixelBrightness final : public FCPixelLUTRoutine {
 public:
  explicit FCPixelBrightness(int p1) : percent_(MapPercent(p1, 200, 0, 200) - 100) {}

 protected:
  int MapValue(int v) const override {
    return percent_ > 0 ? v + (255 - v) * percent_ / 200 : v + percent_ * v / 200;
  }

 private:
  int percent_;  // -100 ... 100
};

class FCPixelContrast final : public FCPixelLUTRoutine {
 public:
  explicit FCPixelContrast(int p1) {
    const int c = MapPercent(p1, 200, 0, 200) - 100;
    const double e = c / 100.0;  // a real factor in -1 ... 1
    if (e < 0) {
      power_ = 1 + e;
    } else {
      power_ = c == 100 ? 127 : 1 / (1 - e);
    }
  }

 protected:
  int MapValue(int v) const override {
    const double t = v / 255.0;
    double u = t <= 0.5 ? t : 1 - t;
    if (u < 0) u = 0;
    double m = 0.5 * std::pow(2 * u, power_);
    if (t > 0.5) m = 1 - m;
    return TruncateClamped(m * 255, 0, 255);
  }

 private:
  double power_ = 1;
};

class FCPixelGamma final : public FCPixelLUTRoutine {
 public:
  explicit FCPixelGamma(int p1) {
    double gamma = p1 / 10.0;
    if (gamma < 0.01) gamma = 0.01;
    power_ = 1 / gamma;
    scale_ = std::pow(255.0, power_) / 255;
  }

 protected:
  int MapValue(int v) const override {
    return TruncateClamped(std::round(std::pow(static_cast<double>(v), power_) / scale_), 0, 255);
  }

 private:
  double power_;
  double scale_;
};

class FCPixelPosterize final : public FCPixelLUTRoutine {
 public:
  // Beyond 256 levels the step is below one value and every value maps to itself, so the upper
  // limit changes no result while keeping the conversion defined.
  explicit FCPixelPosterize(int p1)
      : step_(255.0 / (TruncateClamped(p1 / 100.0 * 20 + 2, 2, 256) - 1)) {}

 protected:
  int MapValue(int v) const override {
    return TruncateClamped(std::round(std::round(v / step_) * step_), 0, 255);
  }

 private:
  double step_;
};

class FCPixelSolarize final : public FCPixelLUTRoutine {
 public:
  explicit FCPixelSolarize(int p1) : threshold_(MapPercent(p1, 255, 0, 255)) {}

 protected:
  int MapValue(int v) const override { return v < threshold_ ? v : 255 - v; }

 private:
  int threshold_;
};

// Sepia: a colour tone whose hue and saturation every gray level is painted in.
class FCPixelColorTone final : public CPixBase {
 public:
  FCPixelColorTone(int red, int green, int blue) : red_(red), green_(green), blue_(blue) {}

  bool Prepare(const PixFrame&) override {
    double h = 0, s = 0, l = 0;
    RgbToHsl(red_, green_, blue_, h, s, l);
    for (int i = 0; i < 256; ++i) {
      int rgb[3];
      HslToRgb(h, s, i / 255.0, rgb);
      red_table_[i] = static_cast<std::uint8_t>(TruncateClamped(rgb[0] / 255.0 * i, 0, 255));
      green_table_[i] = static_cast<std::uint8_t>(TruncateClamped(rgb[1] / 255.0 * i, 0, 255));
      blue_table_[i] = static_cast<std::uint8_t>(TruncateClamped(rgb[2] / 255.0 * i, 0, 255));
    }
    return true;
  }
  void ProcessPixel(const PixFrame&, int, int, std::uint8_t* px) override {
    const int g = Gray(px);
    px[kBlue] = blue_table_[g];
    px[kGreen] = green_table_[g];
    px[kRed] = red_table_[g];
  }

 private:
  static void RgbToHsl(int red, int green, int blue, double& h, double& s, double& l) {
    const double r = red / 255.0, g = green / 255.0, b = blue / 255.0;
    const double mx = std::fmax(r, std::fmax(g, b));
    const double mn = std::fmin(r, std::fmin(g, b));
    l = (mx + mn) / 2;
    if (mx == mn) {
      h = s = 0;
      return;
    }
    const double d = mx - mn;
    s = l < 0.5 ? d / (mx + mn) : d / (2 - mx - mn);
    if (mx == r) {
      h = (g - b) / d;
    } else if (mx == g) {
      h = (b - r) / d + 2;
    } else {
      h = (r - g) / d + 4;
    }
    h /= 6;
    if (h < 0) h += 1;
  }
  static double HueToChannel(double p, double q, double t) {
    if (t < 0) t += 1;
    if (t > 1) t -= 1;
    if (t < 1.0 / 6) return p + (q - p) * 6 * t;
    if (t < 1.0 / 2) return q;
    if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
    return p;
  }
  static void HslToRgb(double h, double s, double l, int rgb[3]) {
    double c[3];
    if (s == 0) {
      c[0] = c[1] = c[2] = l;
    } else {
      const double q = l < 0.5 ? l * (1 + s) : l + s - l * s;
      const double p = 2 * l - q;
      c[0] = HueToChannel(p, q, h + 1.0 / 3);
      c[1] = HueToChannel(p, q, h);
      c[2] = HueToChannel(p, q, h - 1.0 / 3);
    }
    for (int k = 0; k < 3; ++k) rgb[k] = TruncateClamped(c[k] * 255, 0, 255);
  }

  int red_, green_, blue_;
  std::uint8_t red_table_[256] = {};
  std::uint8_t green_table_[256] = {};
  std::uint8_t blue_table_[256] = {};
};

class FCPixelEmboss final : public CPixBase {
 public:
  explicit FCPixelEmboss(int level) : level_(level) {}
  void ProcessPixel(const PixFrame& frame, int x, int, std::uint8_t* px) override {
    int v = 128;
    if (x < frame.width - 1) {
      const std::uint8_t* right = px + 4;  // not yet processed: the loop runs left to right
      const int d =
          ((px[kBlue] + px[kGreen] + px[kRed]) - (right[kBlue] + right[kGreen] + right[kRed])) / 3;
      // The level is not limited, so the product is taken in 64 bits.
      v = Clamp255(static_cast<long long>(d) * level_ + 128);
    }
    px[kBlue] = px[kGreen] = px[kRed] = static_cast<std::uint8_t>(v);
  }

 private:
  int level_;
};

inline void SwapPixels(std::uint8_t* a, std::uint8_t* b) {
  std::uint32_t t;
  std::memcpy(&t, a, 4);
  std::memmove(a, b, 4);
  std::memcpy(b, &t, 4);
}

class FCPixelFlipHorizontal final : public CPixBase {
 public:
  void ProcessPixel(const PixFrame& frame, int x, int y, std::uint8_t* px) override {
    if (x < frame.width / 2) SwapPixels(px, frame.Pixel(frame.width - 1 - x, y));
  }
};

class FCPixelFlipVertical final : public CPixBase {
 public:
  void ProcessPixel(const PixFrame& frame, int x, int y, std::uint8_t* px) override {
    if (y < frame.height / 2) SwapPixels(px, frame.Pixel(x, frame.height - 1 - y));
  }
};

class FCPixel3DGrid final : public CPixBase {
 public:
  // Beyond +-255 every channel saturates anyway; the limit keeps the sum from overflowing.
  FCPixel3DGrid(int size, int depth)
      : size_(size < 1 ? 1 : size), depth_(depth < -255 ? -255 : (depth > 255 ? 255 : depth)) {}
  void ProcessPixel(const PixFrame&, int x, int y, std::uint8_t* px) override {
    const int s = size_;
    // C++ remainders follow the sign of the dividend, as the grid's row y - 1 = -1 expects.
    auto inside = [s](int k) { return k % s != 0 && (k + 1) % s != 0; };
    int offset = 0;
    if ((y - 1) % s == 0 && inside(x)) {
      offset = -depth_;
    } else if (((y + 2) % s == 0 && inside(x)) || ((x - 1) % s == 0 && inside(y))) {
      offset = depth_;
    } else if ((x + 2) % s == 0 && inside(y)) {
      offset = -depth_;
    }
    if (offset == 0) return;
    px[kBlue] = static_cast<std::uint8_t>(Clamp255(px[kBlue] + offset));
    px[kGreen] = static_cast<std::uint8_t>(Clamp255(px[kGreen] + offset));
    px[kRed] = static_cast<std::uint8_t>(Clamp255(px[kRed] + offset));
  }

 private:
  int size_;
  int depth_;
};

// One generator per thread, started at 1 and never reseeded, so that a thread's noise is
// reproducible and threads never share state.
thread_local std::uint32_t t_seed = 1;

inline int NextRandom() {
  t_seed = t_seed * 214013u + 2531011u;
  return static_cast<int>((t_seed >> 16) & 0x7FFF);
}

class FCPixelNoisify final : public CPixBase {
 public:
  explicit FCPixelNoisify(int level) : level_(level < 0 ? 0 : (level > 100 ? 100 : level)) {}
  void ProcessPixel(const PixFrame&, int, int, std::uint8_t* px) override {
    const int sum = NextRandom() + NextRandom() + NextRandom() + NextRandom();
    const double n = sum * 0.0000528596089837 - 3.46410161514;
    const int offset = static_cast<int>(n * level_ * 127 / 100);
    px[kBlue] = static_cast<std::uint8_t>(Clamp255(px[kBlue] + offset));
    px[kGreen] = static_cast<std::uint8_t>(Clamp255(px[kGreen] + offset));
    px[kRed] = static_cast<std::uint8_t>(Clamp255(px[kRed] + offset));
  }

 private:
  int level_;
};

class FCPixelThreshold final : public CPixBase {
 public:
  explicit FCPixelThreshold(int p1) : level_(MapPercent(p1, 255, 0, 255)) {}
  void ProcessPixel(const PixFrame&, int, int, std::uint8_t* px) override {
    const std::uint8_t v = Gray(px) > level_ ? 255 : 0;
    px[kBlue] = px[kGreen] = px[kRed] = v;
  }

 private:
  int level_;
};

class FCPixelVideo final : public CPixBase {
 public:
  void ProcessPixel(const PixFrame&, int x, int y, std::uint8_t* px) override {
    // Pattern kind 2, the one the effect id selects; each entry names the channel to brighten.
    static constexpr std::uint8_t kPattern[3][3] = {{0, 1, 2}, {2, 0, 1}, {1, 2, 0}};
    std::uint8_t& c = px[kPattern[y % 3][x % 3]];
    c = static_cast<std::uint8_t>(c >= 128 ? 255 : 2 * c);
  }
};

class FCPixelHalftoneM3 final : public CPixBase {
 public:
  void ProcessPixel(const PixFrame&, int x, int y, std::uint8_t* px) override {
    static constexpr std::uint8_t kBayer[8][8] = {
        {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
        {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
        {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
        {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};
    const std::uint8_t v = kBayer[y % 8][x % 8] < Gray(px) / 4 ? 255 : 0;
    px[kBlue] = px[kGreen] = px[kRed] = v;
  }
};

// Distortions: every pixel becomes a bilinear sample of an untouched copy of the frame.
class FCPixelBilinearDistord : public CPixBase {
 public:
  bool Prepare(const PixFrame& frame) override {
    try {
      copy_.resize(static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height));
    } catch (const std::bad_alloc&) {
      return false;
    }
    width_ = frame.width;
    height_ = frame.height;
    for (int y = 0; y < frame.height; ++y) {
      std::memcpy(&copy_[static_cast<std::size_t>(y) * frame.width], frame.Row(y),
                  static_cast<std::size_t>(frame.width) * 4);
    }
    return true;
  }
  void ProcessPixel(const PixFrame&, int x, int y, std::uint8_t* px) final {
    double sx = 0, sy = 0;
    SourcePoint(x, y, sx, sy);
    const std::uint32_t v = Sample(sx, sy);
    std::memcpy(px, &v, 4);
  }

 protected:
  virtual void SourcePoint(int x, int y, double& sx, double& sy) const = 0;

 private:
  static constexpr std::uint32_t kOutside = 0x00FFFFFF;  // white, alpha 0

  std::uint32_t At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return kOutside;
    return copy_[static_cast<std::size_t>(y) * width_ + x];
  }
  static int Channel(std::uint32_t p, int k) { return static_cast<int>((p >> (8 * k)) & 0xFF); }
  static double Lerp2(double v00, double v10, double v01, double v11, double fx, double fy) {
    const double top = v00 + (v10 - v00) * fx;
    const double bottom = v01 + (v11 - v01) * fx;
    return top + (bottom - top) * fy;
  }

  std::uint32_t Sample(double sx, double sy) const {
    // A point far outside (or not a number) has only outside neighbours; the guard also keeps
    // the conversions below defined.
    if (!(sx > -2 && sx < width_ + 1 && sy > -2 && sy < height_ + 1)) return kOutside;
    int ix = static_cast<int>(sx), iy = static_cast<int>(sy);
    ix -= ix > sx;  // floor for the negative side
    iy -= iy > sy;
    const double fx = sx - ix, fy = sy - iy;
    std::uint32_t p[4];
    if (ix >= 0 && iy >= 0 && ix + 1 < width_ && iy + 1 < height_) {
      const std::uint32_t* q = &copy_[static_cast<std::size_t>(iy) * width_ + ix];
      p[0] = q[0];
      p[1] = q[1];
      p[2] = q[width_];
      p[3] = q[width_ + 1];
    } else {
      p[0] = At(ix, iy);
      p[1] = At(ix + 1, iy);
      p[2] = At(ix, iy + 1);
      p[3] = At(ix + 1, iy + 1);
    }
    if (p[0] == p[1] && p[0] == p[2] && p[0] == p[3]) return p[0];
    auto lerp = [&](auto value) {
      return Lerp2(value(p[0]), value(p[1]), value(p[2]), value(p[3]), fx, fy);
    };
    std::uint32_t out = 0;
    if ((p[0] & p[1] & p[2] & p[3]) >> 24 == 0xFF) {
      for (int k = 0; k < 3; ++k) {
        const int c = TruncateClamped(lerp([k](std::uint32_t q) { return Channel(q, k); }), 0, 255);
        out |= static_cast<std::uint32_t>(c) << (8 * k);
      }
      return out | 0xFF000000u;
    }
    const double alpha = lerp([](std::uint32_t q) { return Channel(q, kAlpha); });
    const int a = TruncateClamped(alpha, 0, 255);
    if (a == 0) return kOutside;
    for (int k = 0; k < 3; ++k) {
      const double premultiplied =
          lerp([k](std::uint32_t q) { return Channel(q, k) * Channel(q, kAlpha); });
      out |= static_cast<std::uint32_t>(TruncateClamped(premultiplied / alpha, 0, 255)) << (8 * k);
    }
    return out | static_cast<std::uint32_t>(a) << 24;
  }

  std::vector<std::uint32_t> copy_;  // rows in effect order: index y * width + x
  int width_ = 0;
  int height_ = 0;
};

class FCPixelWave final : public FCPixelBilinearDistord {
 public:
  FCPixelWave(int p1, int p2) : wavelength_(2.0 * (p1 < 1 ? 1 : p1)), amplitude_(p2 < 1 ? 1 : p2) {}

  bool Prepare(const PixFrame& frame) override {
    const int w = frame.width, h = frame.height;
    // Stretch the shorter axis so that the rings are round on a non-square picture.
    factor_x_ = w < h ? static_cast<double>(h) / w : 1.0;
    factor_y_ = h < w ? static_cast<double>(w) / h : 1.0;
    centre_x_ = w / 2;
    centre_y_ = h / 2;
    max_x_ = w - 1;
    max_y_ = h - 1;
    return FCPixelBilinearDistord::Prepare(frame);
  }

 protected:
  void SourcePoint(int x, int y, double& sx, double& sy) const override {
    const double dx = factor_x_ * (x - centre_x_);
    const double dy = factor_y_ * (y - centre_y_);
    const double r = std::sqrt(dx * dx + dy * dy);
    const double m = std::sin(2 * std::numbers::pi * r / wavelength_ + kPhase);
    sx =
        std::clamp((m * amplitude_ + dx) / factor_x_ + centre_x_, 0.0, static_cast<double>(max_x_));
    sy =
        std::clamp((m * amplitude_ + dy) / factor_y_ + centre_y_, 0.0, static_cast<double>(max_y_));
  }

 private:
  static constexpr double kPhase = 0;
  double wavelength_;
  double amplitude_;
  double factor_x_ = 1, factor_y_ = 1;
  int centre_x_ = 0, centre_y_ = 0;
  int max_x_ = 0, max_y_ = 0;
};

template <class Effect, class... Args>
bool Run(const PixFrame& frame, Args... args) {
  Effect effect(args...);
  return RunEffect(effect, frame);
}

}  // namespace

bool IsKnownEffect(int id) {
  return id >= kPixfxGray && id <= kPixfxHalftone;
}

bool ApplyEffect(int id, int p1, int p2, const PixFrame& frame) {
  switch (id) {
    case kPixfxGray:
      return Run<FCPixelGrayscale>(frame);
    case kPixfxInvert:
      return Run<FCPixelInvert>(frame);
    case kPixfxBrightness:
      return Run<FCPixelBrightness>(frame, p1);
    case kPixfxContrast:
      return Run<FCPixelContrast>(frame, p1);
    case kPixfxGamma:
      return Run<FCPixelGamma>(frame, p1);
    case kPixfxSepia:
      return Run<FCPixelColorTone>(frame, 109, 90, 0);
    case kPixfxEmboss:
      return Run<FCPixelEmboss>(frame, p1);
    case kPixfxFlipHorizontal:
      return Run<FCPixelFlipHorizontal>(frame);
    case kPixfxFlipVertical:
      return Run<FCPixelFlipVertical>(frame);
    case kPixfx3DGrid:
      return Run<FCPixel3DGrid>(frame, p1, p2);
    case kPixfxNoise:
      return Run<FCPixelNoisify>(frame, p1);
    case kPixfxPosterize:
      return Run<FCPixelPosterize>(frame, p1);
    case kPixfxSolarize:
      return Run<FCPixelSolarize>(frame, p1);
    case kPixfxThreshold:
      return Run<FCPixelThreshold>(frame, p1);
    case kPixfxVideo:
      return Run<FCPixelVideo>(frame);
    case kPixfxWave:
      return Run<FCPixelWave>(frame, p1, p2);
    case kPixfxHalftone:
      return Run<FCPixelHalftoneM3>(frame);
    default:
      return true;
  }
}

}  // namespace pixfx
