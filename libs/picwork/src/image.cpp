// The image implementation over the platform graphics layer: pixels in memory, 32-bit ARGB.

#include "picwork/image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include <corekit/video_frame.h>
#include <gfx/decode.h>
#include <gfx/draw.h>
#include <gfx/resample.h>
#include <gfx/startup.h>
#include <gfx/text.h>

#include "save.h"
#include "text_util.h"

namespace picwork {
namespace {

// Status codes kept by an image for its last failure (the graphics layer's own are not numbers).
enum Status : std::int32_t { kOk = 0, kGenericError = 1, kInvalidParameter = 2, kOutOfMemory = 3 };

// Pictures we make ourselves are limited like decoded ones.
bool SizeAllowed(std::int32_t width, std::int32_t height) {
  return width > 0 && height > 0 && width <= gfx::kMaxPictureSide &&
         height <= gfx::kMaxPictureSide && std::int64_t{width} * height <= gfx::kMaxPicturePixels;
}

class CGfxImageImp final : public COvraImageImp {
 public:
  bool CreateFromBuffer(std::int32_t width, std::int32_t height, void* pixels,
                        std::int32_t format) override {
    if (pixels == nullptr || !SizeAllowed(width, height) || format < 0 || format > 2)
      return Fail(kInvalidParameter);
    if (format == 0) {
      Release();
      external_ = static_cast<std::uint32_t*>(pixels);
      width_ = width;
      height_ = height;
      return true;
    }
    if (!Allocate(width, height)) return false;
    const auto* in = static_cast<const std::uint8_t*>(pixels);
    const std::size_t inStride = static_cast<std::size_t>(width) * (format == 1 ? 3 : 4);
    for (std::int32_t y = 0; y < height; ++y) {
      const std::uint8_t* row = in + inStride * y;
      std::uint32_t* out = Row(y);
      for (std::int32_t x = 0; x < width; ++x, row += format == 1 ? 3 : 4)
        out[x] = 0xFF000000u | std::uint32_t(row[2]) << 16 | std::uint32_t(row[1]) << 8 | row[0];
    }
    return true;
  }

  bool CreateBlank(std::int32_t width, std::int32_t height, std::int32_t format) override {
    if (format < 0 || format > 2) return Fail(kInvalidParameter);
    return Allocate(width, height);
  }

  bool CreateFromFrame(const tagVideoFrame* frame) override {
    if (frame == nullptr || frame->pixels == nullptr || frame->width <= 0 || frame->height <= 0 ||
        std::abs(std::int64_t{frame->stride}) < std::int64_t{frame->width} * 4)
      return Fail(kInvalidParameter);
    if (!Allocate(frame->width, frame->height)) return false;
    const gfx::BitmapView in{frame->pixels, frame->width, frame->height, frame->stride};
    for (std::int32_t y = 0; y < height_; ++y)
      std::memcpy(Row(y), in.row(y), static_cast<std::size_t>(width_) * 4);
    return true;
  }

  bool LoadFile(const char* path) override {
    if (path == nullptr || *path == '\0') return Fail(kInvalidParameter);
    gfx::Picture picture;
    if (gfx::decodeFile(path, picture) != gfx::DecodeStatus::Ok) return Fail(kGenericError);
    Release();
    owned_ = std::move(picture.pixels);
    width_ = picture.width;
    height_ = picture.height;
    xDpi_ = picture.info.xDpi;
    yDpi_ = picture.info.yDpi;
    return true;
  }

  void GetSize(std::int32_t* width, std::int32_t* height) const override {
    if (width != nullptr) *width = width_;
    if (height != nullptr) *height = height_;
  }
  std::int32_t Width() const override { return width_; }
  std::int32_t Height() const override { return height_; }

  bool DrawAt(const COvraImage& source, std::int32_t x, std::int32_t y) override {
    if (!HasPixels() || source.Pixels() == nullptr) return Fail(kInvalidParameter);
    xDpi_ = source.XDpi();
    yDpi_ = source.YDpi();
    return gfx::blendOver(View(), ViewOf(source), x, y) || Fail(kGenericError);
  }

  bool DrawRect(const OvraRectD& rect, std::int32_t dash, std::uint32_t color) override {
    if (!HasPixels()) return Fail(kInvalidParameter);
    // Pen patterns in pen widths, as on/off runs.
    static const std::vector<int> patterns[] = {{1}, {1, 1}, {3, 1}, {3, 1, 1, 1}};
    const std::vector<int>& pattern = patterns[dash >= 0 && dash <= 3 ? dash : 0];
    int period = 0;
    for (int run : pattern) period += run;
    auto on = [&](int step) {
      step %= period;
      for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (step < pattern[i]) return i % 2 == 0;
        step -= pattern[i];
      }
      return true;
    };
    const auto left = static_cast<std::int32_t>(std::floor(rect.x));
    const auto top = static_cast<std::int32_t>(std::floor(rect.y));
    const auto right = static_cast<std::int32_t>(std::floor(rect.x + rect.width));
    const auto bottom = static_cast<std::int32_t>(std::floor(rect.y + rect.height));
    auto plot = [&](std::int32_t x, std::int32_t y) {
      if (x >= 0 && y >= 0 && x < width_ && y < height_)
        Row(y)[x] = gfx::blendPixel(Row(y)[x], color);
    };
    // Clockwise from the top-left corner, so the pattern runs on round the corners.
    int step = 0;
    for (std::int32_t x = left; x < right; ++x, ++step)
      if (on(step)) plot(x, top);
    for (std::int32_t y = top; y < bottom; ++y, ++step)
      if (on(step)) plot(right, y);
    for (std::int32_t x = right; x > left; --x, ++step)
      if (on(step)) plot(x, bottom);
    for (std::int32_t y = bottom; y > top; --y, ++step)
      if (on(step)) plot(left, y);
    if (right == left && bottom == top) plot(left, top);
    return true;
  }

  bool DrawScaled(const COvraImage& source, const OvraRectD& destination,
                  const OvraRectD& sourceRect, std::int32_t quality) override {
    if (!HasPixels() || source.Pixels() == nullptr) return Fail(kInvalidParameter);
    // Whole pixels of the source that the rectangle covers, clipped to it.
    const std::int32_t sx = std::max(0, static_cast<std::int32_t>(std::floor(sourceRect.x)));
    const std::int32_t sy = std::max(0, static_cast<std::int32_t>(std::floor(sourceRect.y)));
    const std::int32_t sw =
        std::min(source.Width() - sx, static_cast<std::int32_t>(std::lround(sourceRect.width)));
    const std::int32_t sh =
        std::min(source.Height() - sy, static_cast<std::int32_t>(std::lround(sourceRect.height)));
    if (sw <= 0 || sh <= 0) return Fail(kInvalidParameter);
    const gfx::BitmapView whole = ViewOf(source);
    const gfx::BitmapView part{whole.pixels + static_cast<std::ptrdiff_t>(sy) * whole.stride +
                                   static_cast<std::ptrdiff_t>(sx) * 4,
                               sw, sh, whole.stride};
    return DrawView(part, static_cast<std::int32_t>(std::lround(destination.x)),
                    static_cast<std::int32_t>(std::lround(destination.y)),
                    static_cast<std::int32_t>(std::lround(destination.width)),
                    static_cast<std::int32_t>(std::lround(destination.height)), quality);
  }

  bool DrawScaledInto(const COvraImage& source, std::int32_t x, std::int32_t y, std::int32_t width,
                      std::int32_t height, std::int32_t quality) override {
    if (!HasPixels() || source.Pixels() == nullptr) return Fail(kInvalidParameter);
    return DrawView(ViewOf(source), x, y, width, height, quality);
  }

  bool DrawText(const std::u16string& text, const TextFontInfo& font, double x, double y,
                bool framed) override {
    if (!HasPixels()) return Fail(kInvalidParameter);
    const std::string utf8 = ToUtf8(text);
    const gfx::Font f = FontOf(font);
    if (!gfx::drawText(View(), utf8, f, font.color, x, y)) return Fail(kGenericError);
    if (framed) {
      double w = 0, h = 0;
      gfx::measureText(utf8, f, w, h);
      DrawRect({x, y, w, h}, DASH_DOT, 0xFF0000FF);
    }
    return true;
  }

  bool MeasureText(const std::u16string& text, const TextFontInfo& font, float* width,
                   float* height) override {
    double w = 0, h = 0;
    if (!gfx::measureText(ToUtf8(text), FontOf(font), w, h)) return Fail(kGenericError);
    if (width != nullptr) *width = static_cast<float>(w);
    if (height != nullptr) *height = static_cast<float>(h);
    return true;
  }

  bool Flip(std::int32_t flags, COvraImage* target) override {
    if (!HasPixels()) return Fail(kInvalidParameter);
    CGfxImageImp* out = this;
    if (target != nullptr) {
      out = static_cast<CGfxImageImp*>(target->Imp());
      if (out != this) {
        if (!out->Reuse(width_, height_)) return false;
        out->xDpi_ = xDpi_;
        out->yDpi_ = yDpi_;
        for (std::int32_t y = 0; y < height_; ++y)
          std::memcpy(out->Row(y), Row(y), static_cast<std::size_t>(width_) * 4);
      }
    }
    if (flags & 1) {
      for (std::int32_t y = 0; y < height_; ++y) std::reverse(out->Row(y), out->Row(y) + width_);
    }
    if (flags & 2) {
      // Row swaps through the scratch row, grown when a wider image needs it.
      if (scratch_.size() < static_cast<std::size_t>(width_)) scratch_.resize(width_);
      const std::size_t bytes = static_cast<std::size_t>(width_) * 4;
      for (std::int32_t y = 0; y < height_ / 2; ++y) {
        std::uint32_t* a = out->Row(y);
        std::uint32_t* b = out->Row(height_ - 1 - y);
        std::memcpy(scratch_.data(), a, bytes);
        std::memcpy(a, b, bytes);
        std::memcpy(b, scratch_.data(), bytes);
      }
    }
    return true;
  }

  bool Rotate(std::int32_t turn, COvraImage* target) override {
    if (!HasPixels() || target == nullptr) return Fail(kInvalidParameter);
    auto* out = static_cast<CGfxImageImp*>(target->Imp());
    if (out == this) return Fail(kInvalidParameter);
    if (turn == 0) return Flip(0, target);
    if (turn != 1 && turn != 3) return Flip(3, target);
    if (!out->Reuse(height_, width_)) return false;
    out->xDpi_ = yDpi_;
    out->yDpi_ = xDpi_;
    for (std::int32_t i = 0; i < height_; ++i) {
      const std::uint32_t* row = Row(i);
      for (std::int32_t j = 0; j < width_; ++j) {
        if (turn == 1)
          out->Row(width_ - 1 - j)[i] = row[j];  // counter-clockwise
        else
          out->Row(j)[height_ - 1 - i] = row[j];  // clockwise
      }
    }
    return true;
  }

  bool Lock(LockedPixels* locked) override {
    if (locked == nullptr || !HasPixels()) return Fail(kInvalidParameter);
    locked->pixels = reinterpret_cast<std::uint8_t*>(Row(0));
    locked->stride = width_ * 4;
    locked->width = width_;
    locked->height = height_;
    return true;
  }

  bool Unlock(LockedPixels* locked) override {
    if (locked == nullptr) return Fail(kInvalidParameter);
    *locked = LockedPixels{};
    return true;
  }

  bool Save(const char* path, std::int32_t type, std::int32_t quality) override {
    if (!HasPixels() || path == nullptr) return Fail(kInvalidParameter);
    return SaveBitmap(View(), path, type, quality, xDpi_, yDpi_) || Fail(kGenericError);
  }

  bool CopyToFrame(tagVideoFrame* frame) override {
    if (!HasPixels() || frame == nullptr) return Fail(kInvalidParameter);
    if (!reallocFrame(frame, width_, height_)) return Fail(kOutOfMemory);
    const gfx::BitmapView out{frame->pixels, frame->width, frame->height, frame->stride};
    for (std::int32_t y = 0; y < height_; ++y) {
      std::memset(out.row(y), 0, static_cast<std::size_t>(width_) * 4);
    }
    return gfx::blendOver(out, View(), 0, 0) || Fail(kGenericError);
  }

  bool Clear(std::uint32_t color) override {
    if (!HasPixels()) return Fail(kInvalidParameter);
    for (std::int32_t y = 0; y < height_; ++y) std::fill_n(Row(y), width_, color);
    return true;
  }

  const std::uint32_t* Pixels() const override {
    return external_ != nullptr ? external_ : (owned_.empty() ? nullptr : owned_.data());
  }
  std::int32_t Stride() const override { return width_ * 4; }
  double XDpi() const override { return xDpi_; }
  double YDpi() const override { return yDpi_; }
  std::int32_t TakeStatus() override {
    const std::int32_t status = status_;
    status_ = kOk;
    return status;
  }

 private:
  bool Fail(Status status) {
    status_ = status;
    return false;
  }
  bool HasPixels() const { return Pixels() != nullptr; }
  std::uint32_t* Row(std::int32_t y) {
    return const_cast<std::uint32_t*>(Pixels()) + static_cast<std::size_t>(y) * width_;
  }
  gfx::BitmapView View() {
    return {reinterpret_cast<std::uint8_t*>(Row(0)), width_, height_, width_ * 4};
  }
  static gfx::BitmapView ViewOf(const COvraImage& image) {
    return {reinterpret_cast<std::uint8_t*>(const_cast<std::uint32_t*>(image.Pixels())),
            image.Width(), image.Height(), image.Stride()};
  }
  void Release() {
    owned_.clear();
    owned_.shrink_to_fit();
    external_ = nullptr;
    width_ = height_ = 0;
  }
  bool Allocate(std::int32_t width, std::int32_t height) {
    if (!SizeAllowed(width, height)) return Fail(kInvalidParameter);
    Release();
    try {
      owned_.assign(static_cast<std::size_t>(width) * height, 0u);
    } catch (const std::bad_alloc&) {
      return Fail(kOutOfMemory);
    }
    width_ = width;
    height_ = height;
    xDpi_ = yDpi_ = 96.0;
    return true;
  }
  // Keeps the pixels when the size is already right (a target reused render after render).
  bool Reuse(std::int32_t width, std::int32_t height) {
    if (HasPixels() && external_ == nullptr && width_ == width && height_ == height) return true;
    return Allocate(width, height);
  }
  bool DrawView(const gfx::BitmapView& source, std::int32_t x, std::int32_t y, std::int32_t width,
                std::int32_t height, std::int32_t quality) {
    if (width <= 0 || height <= 0) return Fail(kInvalidParameter);
    if (quality == SCALE_BICUBIC || quality == SCALE_HQ_BICUBIC) {
      std::vector<std::uint32_t> scaled;
      try {
        scaled.resize(static_cast<std::size_t>(width) * height);
      } catch (const std::bad_alloc&) {
        return Fail(kOutOfMemory);
      }
      const gfx::BitmapView view{reinterpret_cast<std::uint8_t*>(scaled.data()), width, height,
                                 width * 4};
      return (gfx::resample(source, view) && gfx::blendOver(View(), view, x, y)) ||
             Fail(kGenericError);
    }
    const gfx::Interpolation mode = quality == SCALE_NEAREST       ? gfx::Interpolation::Nearest
                                    : quality == SCALE_HQ_BILINEAR ? gfx::Interpolation::HighQuality
                                                                   : gfx::Interpolation::Bilinear;
    return gfx::drawScaled(View(), x, y, width, height, source, mode) || Fail(kGenericError);
  }

  std::vector<std::uint32_t> owned_;
  std::uint32_t* external_ = nullptr;  // the caller's pixels (CreateFromBuffer, format 0)
  std::int32_t width_ = 0, height_ = 0;
  double xDpi_ = 96.0, yDpi_ = 96.0;
  std::int32_t status_ = kOk;
  std::vector<std::uint32_t> scratch_;  // one row, for the upside-down flip
};

}  // namespace
}  // namespace picwork

COvraImage::COvraImage() : imp_(new picwork::CGfxImageImp) {
  gfx::startup();
}

COvraImage::~COvraImage() {
  delete imp_;
}
