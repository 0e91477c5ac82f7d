#pragma once
// Image objects: a picture in 32-bit ARGB (0xAARRGGBB, not premultiplied, rows top to bottom)
// with the drawing operations the document needs. COvraImage owns one implementation.

#include <cstdint>
#include <string>

#include <corekit/video_frame.h>

#include "picwork/picwork.h"

// The pixels of a locked image: writable 32-bit ARGB.
struct LockedPixels {
  std::uint8_t* pixels = nullptr;
  std::int32_t stride = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Pen patterns of DrawRect.
enum DashKind : std::int32_t { DASH_SOLID = 0, DASH_DOT = 1, DASH_DASH = 2, DASH_DASH_DOT = 3 };

class COvraImage;

// The operations of an image, in their slot order. Sizes and positions are pixels.
class COvraImageImp {
 public:
  virtual ~COvraImageImp() = default;
  // format 0: 32-bit ARGB (stride width * 4; the image uses the caller's pixels, which must
  // outlive it), 1: 24-bit RGB (stride width * 3), 2: 32-bit RGB; formats 1 and 2 are copied.
  virtual bool CreateFromBuffer(std::int32_t width, std::int32_t height, void* pixels,
                                std::int32_t format) = 0;
  // All zero (transparent black).
  virtual bool CreateBlank(std::int32_t width, std::int32_t height, std::int32_t format) = 0;
  // A copy of the frame's pixels (taken with its stride); fails without pixels or size.
  virtual bool CreateFromFrame(const tagVideoFrame* frame) = 0;
  // Decoded upright (EXIF orientation applied); fails when it cannot be decoded.
  virtual bool LoadFile(const char* path) = 0;
  virtual void GetSize(std::int32_t* width, std::int32_t* height) const = 0;
  virtual std::int32_t Width() const = 0;
  virtual std::int32_t Height() const = 0;
  // Takes the source's resolution, then draws it unscaled at (x, y), source over.
  virtual bool DrawAt(const COvraImage& source, std::int32_t x, std::int32_t y) = 0;
  // One-pixel outline covering columns x ... x + width and rows y ... y + height.
  virtual bool DrawRect(const OvraRectD& rect, std::int32_t dash, std::uint32_t color) = 0;
  virtual bool DrawScaled(const COvraImage& source, const OvraRectD& destination,
                          const OvraRectD& sourceRect, std::int32_t quality) = 0;
  virtual bool DrawScaledInto(const COvraImage& source, std::int32_t x, std::int32_t y,
                              std::int32_t width, std::int32_t height, std::int32_t quality) = 0;
  virtual bool DrawText(const std::u16string& text, const TextFontInfo& font, double x, double y,
                        bool framed) = 0;
  virtual bool MeasureText(const std::u16string& text, const TextFontInfo& font, float* width,
                           float* height) = 0;
  // Bit 0 mirrors left-right, bit 1 upside down; in place without a target, else the target is
  // made at this size and receives the flipped pixels.
  virtual bool Flip(std::int32_t flags, COvraImage* target) = 0;
  // Turn code 0 copies, 1 a quarter turn counter-clockwise, 3 clockwise, other a half turn.
  virtual bool Rotate(std::int32_t turn, COvraImage* target) = 0;
  virtual bool Lock(LockedPixels* locked) = 0;
  virtual bool Unlock(LockedPixels* locked) = 0;
  // Written under the type's extension (".bmp", ".jpeg", ".png").
  virtual bool Save(const char* path, std::int32_t type, std::int32_t quality) = 0;
  // The frame is resized to the image, cleared, and receives the image's pixels.
  virtual bool CopyToFrame(tagVideoFrame* frame) = 0;
  virtual bool Clear(std::uint32_t color) = 0;

  // Not slots: what the operations above need to read each other's pixels.
  virtual const std::uint32_t* Pixels() const = 0;
  virtual std::int32_t Stride() const = 0;  // bytes
  virtual double XDpi() const = 0;
  virtual double YDpi() const = 0;
  // The last failure of the graphics layer; reading it clears it.
  virtual std::int32_t TakeStatus() = 0;
};

// An image and its one implementation (made by the library), destroyed together.
class COvraImage {
 public:
  COvraImage();
  ~COvraImage();
  COvraImage(const COvraImage&) = delete;
  COvraImage& operator=(const COvraImage&) = delete;

  COvraImageImp* Imp() const { return imp_; }

  // The implementation's operations (see COvraImageImp).
  bool CreateFromBuffer(std::int32_t width, std::int32_t height, void* pixels,
                        std::int32_t format) {
    return imp_->CreateFromBuffer(width, height, pixels, format);
  }
  bool CreateBlank(std::int32_t width, std::int32_t height, std::int32_t format) {
    return imp_->CreateBlank(width, height, format);
  }
  bool CreateFromFrame(const tagVideoFrame* frame) { return imp_->CreateFromFrame(frame); }
  bool LoadFile(const char* path) { return imp_->LoadFile(path); }
  void GetSize(std::int32_t* width, std::int32_t* height) const {
    return imp_->GetSize(width, height);
  }
  std::int32_t Width() const { return imp_->Width(); }
  std::int32_t Height() const { return imp_->Height(); }
  bool DrawAt(const COvraImage& source, std::int32_t x, std::int32_t y) {
    return imp_->DrawAt(source, x, y);
  }
  bool DrawRect(const OvraRectD& rect, std::int32_t dash, std::uint32_t color) {
    return imp_->DrawRect(rect, dash, color);
  }
  bool DrawScaled(const COvraImage& source, const OvraRectD& destination,
                  const OvraRectD& sourceRect, std::int32_t quality) {
    return imp_->DrawScaled(source, destination, sourceRect, quality);
  }
  bool DrawScaledInto(const COvraImage& source, std::int32_t x, std::int32_t y, std::int32_t width,
                      std::int32_t height, std::int32_t quality) {
    return imp_->DrawScaledInto(source, x, y, width, height, quality);
  }
  bool DrawText(const std::u16string& text, const TextFontInfo& font, double x, double y,
                bool framed) {
    return imp_->DrawText(text, font, x, y, framed);
  }
  bool MeasureText(const std::u16string& text, const TextFontInfo& font, float* width,
                   float* height) {
    return imp_->MeasureText(text, font, width, height);
  }
  bool Flip(std::int32_t flags, COvraImage* target) { return imp_->Flip(flags, target); }
  bool Rotate(std::int32_t turn, COvraImage* target) { return imp_->Rotate(turn, target); }
  bool Lock(LockedPixels* locked) { return imp_->Lock(locked); }
  bool Unlock(LockedPixels* locked) { return imp_->Unlock(locked); }
  bool Save(const char* path, std::int32_t type, std::int32_t quality) {
    return imp_->Save(path, type, quality);
  }
  bool CopyToFrame(tagVideoFrame* frame) { return imp_->CopyToFrame(frame); }
  bool Clear(std::uint32_t color) { return imp_->Clear(color); }
  const std::uint32_t* Pixels() const { return imp_->Pixels(); }
  std::int32_t Stride() const { return imp_->Stride(); }
  double XDpi() const { return imp_->XDpi(); }
  double YDpi() const { return imp_->YDpi(); }
  std::int32_t TakeStatus() { return imp_->TakeStatus(); }

 private:
  COvraImageImp* imp_;
};
