#include "bmp_writer.h"

#include <cstring>

namespace gfx {
namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 108;  // BITMAPV4HEADER

void put16(std::uint8_t*& p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
  p += 2;
}

void put32(std::uint8_t*& p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) *p++ = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

bool writeBmp(const BitmapView& bitmap, std::vector<std::uint8_t>& out) {
  if (!bitmap.valid()) return false;
  const std::uint64_t rowBytes = static_cast<std::uint64_t>(bitmap.width) * 4;
  const std::uint64_t imageBytes = rowBytes * static_cast<std::uint64_t>(bitmap.height);
  const std::uint64_t fileBytes = kFileHeaderSize + kInfoHeaderSize + imageBytes;
  if (fileBytes > 0x7FFFFFFF) return false;
  out.assign(fileBytes, 0);

  std::uint8_t* p = out.data();
  *p++ = 'B';
  *p++ = 'M';
  put32(p, static_cast<std::uint32_t>(fileBytes));
  put32(p, 0);  // reserved
  put32(p, kFileHeaderSize + kInfoHeaderSize);
  put32(p, kInfoHeaderSize);
  put32(p, static_cast<std::uint32_t>(bitmap.width));
  put32(p, static_cast<std::uint32_t>(bitmap.height));  // positive: bottom-up
  put16(p, 1);                                          // planes
  put16(p, 32);                                         // bits per pixel
  put32(p, 3);                                          // BI_BITFIELDS
  put32(p, static_cast<std::uint32_t>(imageBytes));
  put32(p, 2835);  // 72 dpi in pixels per metre
  put32(p, 2835);
  put32(p, 0);  // colours used
  put32(p, 0);  // important colours
  put32(p, 0x00FF0000);
  put32(p, 0x0000FF00);
  put32(p, 0x000000FF);
  put32(p, 0xFF000000);
  put32(p, 0x73524742);  // 'sRGB' colour space; the end points and gammas stay zero
  p = out.data() + kFileHeaderSize + kInfoHeaderSize;

  // The frame layout (B, G, R, A bytes) is exactly the BMP pixel layout; only rows flip.
  for (std::int32_t y = bitmap.height - 1; y >= 0; --y) {
    std::memcpy(p, bitmap.row(y), rowBytes);
    p += rowBytes;
  }
  return true;
}

}  // namespace gfx
