#include "text_compare.h"

#include <cstdint>

namespace mediaitems {
namespace {

// The next code point; a broken sequence gives its first byte as it stands, so that every text
// still compares, and consistently.
char32_t next(const unsigned char*& p) {
  const unsigned char c = *p;
  int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
  if (c >= 0xF8) extra = 0;
  char32_t value = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
  for (int i = 1; i <= extra; ++i) {
    if ((p[i] & 0xC0) != 0x80) {
      ++p;
      return c;
    }
    value = value << 6 | (p[i] & 0x3F);
  }
  p += extra + 1;
  return value;
}

char32_t lower(char32_t c) {
  if (c >= U'A' && c <= U'Z') return c + 32;
  if ((c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
      (c >= 0x410 && c <= 0x42F))
    return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    // Latin Extended-A pairs upper/lower on even/odd code points, shifted by one after U+0138.
    const bool shifted = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    const bool upper = shifted ? (c % 2 == 1) : (c % 2 == 0);
    return upper ? c + 1 : c;
  }
  return c;
}

}  // namespace

int compareCaptions(const char* a, const char* b) {
  const auto* p = reinterpret_cast<const unsigned char*>(a ? a : "");
  const auto* q = reinterpret_cast<const unsigned char*>(b ? b : "");
  while (*p != 0 || *q != 0) {
    const char32_t x = *p ? lower(next(p)) : 0;
    const char32_t y = *q ? lower(next(q)) : 0;
    if (x != y) return static_cast<int>(x) - static_cast<int>(y);
  }
  return 0;
}

}  // namespace mediaitems
