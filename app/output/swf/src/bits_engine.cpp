#include "galleria/swf/bits_engine.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

#include "galleria/error.h"

namespace galleria::swf {

int UnsignedBitCount(std::uint64_t value) {
  return static_cast<int>(std::bit_width(value));
}

int SignedFieldWidth(std::initializer_list<std::int64_t> values) {
  std::uint64_t largest = 0;
  for (std::int64_t v : values)
    largest = std::max(largest, static_cast<std::uint64_t>(std::llabs(v)));
  return largest == 0 ? 0 : UnsignedBitCount(largest) + 1;
}

namespace {

// A width above what its length field can hold would silently corrupt the record.
int CheckedWidth(int width, int fieldBits) {
  if (width >= (1 << fieldBits) || width > 32)
    throw GalleriaError("Value too large for an SWF bit field");
  return width;
}

}  // namespace

void TBitsEngine::PutRaw(std::uint8_t byte) {
  if (BitsStream.sputc(static_cast<char>(byte)) == std::char_traits<char>::eof())
    throw GalleriaError("Cannot write movie data");
}

std::uint8_t TBitsEngine::GetRaw() {
  const auto c = BitsStream.sbumpc();
  if (c == std::char_traits<char>::eof()) throw GalleriaError("Unexpected end of movie data");
  return static_cast<std::uint8_t>(c);
}

void TBitsEngine::WriteBits(std::uint32_t data, int size) {
  if (size <= 0) return;
  size = std::min(size, 32);
  const std::uint64_t masked = size == 32 ? data : data & ((std::uint64_t{1} << size) - 1);
  const int total = LastBitCount + size;
  if (total <= 7) {
    LastByte = static_cast<std::uint8_t>((LastByte << size) | masked);
    LastBitCount = static_cast<std::uint8_t>(total);
    return;
  }
  const int bytes = total / 8;
  const int rest = total % 8;
  std::uint64_t out;
  if (rest > 0) {
    out = (std::uint64_t{LastByte} << (size - rest)) + (masked >> rest);
    LastByte = static_cast<std::uint8_t>(masked & ((1u << rest) - 1));
  } else {
    out = (std::uint64_t{LastByte} << size) + masked;
    LastByte = 0;
  }
  LastBitCount = static_cast<std::uint8_t>(rest);
  for (int i = bytes - 1; i >= 0; --i) PutRaw(static_cast<std::uint8_t>(out >> (8 * i)));
}

void TBitsEngine::WriteByte(std::uint8_t byte) {
  if (LastBitCount == 0)
    PutRaw(byte);
  else
    WriteBits(byte, 8);
}

void TBitsEngine::WriteWord(std::uint16_t word) {
  FlushLastByte(true);
  PutRaw(static_cast<std::uint8_t>(word));
  PutRaw(static_cast<std::uint8_t>(word >> 8));
}

void TBitsEngine::WriteSwapWord(std::uint16_t word) {
  FlushLastByte(true);
  PutRaw(static_cast<std::uint8_t>(word >> 8));
  PutRaw(static_cast<std::uint8_t>(word));
}

void TBitsEngine::WriteDWord(std::uint32_t dword) {
  FlushLastByte(true);
  for (int i = 0; i < 4; ++i) PutRaw(static_cast<std::uint8_t>(dword >> (8 * i)));
}

void TBitsEngine::WriteSingle(float value) {
  WriteDWord(static_cast<std::uint32_t>(static_cast<std::int32_t>(std::trunc(value * 65536.0))));
}

void TBitsEngine::WriteFloat(float value) {
  WriteDWord(std::bit_cast<std::uint32_t>(value));
}

void TBitsEngine::WriteColor(const recRGB& color) {
  for (std::uint8_t b : {color.R, color.G, color.B}) PutRaw(b);
}

void TBitsEngine::WriteColor(const recRGBA& color) {
  for (std::uint8_t b : {color.R, color.G, color.B, color.A}) PutRaw(b);
}

void TBitsEngine::WriteRect(const recRect& rect) {
  const int nbits = CheckedWidth(SignedFieldWidth({rect.Xmin, rect.Xmax, rect.Ymin, rect.Ymax}), 5);
  WriteBits(static_cast<std::uint32_t>(nbits), 5);
  for (std::int32_t v : {rect.Xmin, rect.Xmax, rect.Ymin, rect.Ymax})
    WriteBits(static_cast<std::uint32_t>(v), nbits);
  FlushLastByte(true);
}

void TBitsEngine::WriteRect(const TRect& rect) {
  WriteRect(recRect{std::min(rect.Left, rect.Right), std::max(rect.Left, rect.Right),
                    std::min(rect.Top, rect.Bottom), std::max(rect.Top, rect.Bottom)});
}

void TBitsEngine::WriteMatrix(const recMATRIX& m) {
  const auto pair = [this](std::int32_t a, std::int32_t b) {
    const int width = CheckedWidth(SignedFieldWidth({a, b}), 5);
    WriteBits(static_cast<std::uint32_t>(width), 5);
    WriteBits(static_cast<std::uint32_t>(a), width);
    WriteBits(static_cast<std::uint32_t>(b), width);
  };
  WriteBit(m.hasScale);
  if (m.hasScale) pair(m.ScaleX, m.ScaleY);
  WriteBit(m.hasSkew);
  if (m.hasSkew) pair(m.SkewY, m.SkewX);
  pair(m.TranslateX, m.TranslateY);
  FlushLastByte(true);
}

void TBitsEngine::WriteColorTransform(const recColorTransform& t) {
  WriteBit(t.hasADD);
  WriteBit(t.hasMULT);
  if (t.hasADD || t.hasMULT) {
    const auto width = [&t](std::int16_t r, std::int16_t g, std::int16_t b, std::int16_t a) {
      return t.hasAlpha ? SignedFieldWidth({r, g, b, a}) : SignedFieldWidth({r, g, b});
    };
    const int nbits = CheckedWidth(
        std::max(width(t.addR, t.addG, t.addB, t.addA), width(t.multR, t.multG, t.multB, t.multA)),
        4);
    WriteBits(static_cast<std::uint32_t>(nbits), 4);
    const auto terms = [&](std::int16_t r, std::int16_t g, std::int16_t b, std::int16_t a) {
      for (std::int16_t v : {r, g, b}) WriteBits(static_cast<std::uint32_t>(v), nbits);
      if (t.hasAlpha) WriteBits(static_cast<std::uint32_t>(a), nbits);
    };
    if (t.hasMULT) terms(t.multR, t.multG, t.multB, t.multA);
    if (t.hasADD) terms(t.addR, t.addG, t.addB, t.addA);
  }
  FlushLastByte(true);
}

void TBitsEngine::WriteString(std::string_view text, bool nullEnd) {
  for (char c : text) WriteByte(static_cast<std::uint8_t>(c));
  if (nullEnd) WriteByte(0);
}

void TBitsEngine::WriteUTF8String(std::string_view text, std::size_t length, bool nullEnd) {
  WriteString(text.substr(0, length), nullEnd);
}

std::uint32_t TBitsEngine::GetBits(int count) {
  if (count < 1) return 0;
  count = std::min(count, 32);
  std::uint64_t result = 0;
  while (count > LastBitCount) {
    result |= std::uint64_t{LastByte} << (count - LastBitCount);
    count -= LastBitCount;
    LastByte = GetRaw();
    LastBitCount = 8;
  }
  result |= static_cast<std::uint64_t>(LastByte >> (LastBitCount - count));
  LastBitCount = static_cast<std::uint8_t>(LastBitCount - count);
  LastByte &= static_cast<std::uint8_t>((1u << LastBitCount) - 1);
  return static_cast<std::uint32_t>(result);
}

std::int32_t TBitsEngine::GetSBits(int count) {
  const std::uint32_t bits = GetBits(count);
  if (count < 1 || count >= 32) return static_cast<std::int32_t>(bits);
  const std::uint32_t sign = 1u << (count - 1);
  return static_cast<std::int32_t>((bits ^ sign) - sign);
}

std::uint8_t TBitsEngine::ReadByte() {
  return GetRaw();
}

std::uint32_t TBitsEngine::ReadBytes(int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < std::min(count, 4); ++i) value |= std::uint32_t{GetRaw()} << (8 * i);
  return value;
}

std::uint16_t TBitsEngine::ReadWord() {
  return static_cast<std::uint16_t>(ReadBytes(2));
}

std::uint16_t TBitsEngine::ReadSwapWord() {
  const std::uint16_t high = GetRaw();
  return static_cast<std::uint16_t>((high << 8) | GetRaw());
}

std::uint32_t TBitsEngine::ReadDWord() {
  return ReadBytes(4);
}

float TBitsEngine::ReadSingle() {
  return static_cast<float>(static_cast<std::int32_t>(ReadDWord()) / 65536.0);
}

float TBitsEngine::ReadFloat() {
  return std::bit_cast<float>(ReadDWord());
}

double TBitsEngine::ReadDouble() {
  const std::uint64_t high = ReadDWord();
  const std::uint64_t low = ReadDWord();
  return std::bit_cast<double>((high << 32) | low);
}

float TBitsEngine::ReadFloat16() {
  // IEEE half precision: sign, 5 exponent bits (bias 15), 10 mantissa bits.
  const std::uint16_t h = ReadWord();
  const int exponent = (h >> 10) & 0x1F;
  const int mantissa = h & 0x3FF;
  float magnitude;
  if (exponent == 0)
    magnitude = std::ldexp(static_cast<float>(mantissa), -24);
  else if (exponent == 31)
    magnitude = mantissa ? NAN : INFINITY;
  else
    magnitude = std::ldexp(static_cast<float>(mantissa | 0x400), exponent - 25);
  return (h & 0x8000) ? -magnitude : magnitude;
}

TRect TBitsEngine::ReadRect() {
  const int nbits = static_cast<int>(GetBits(5));
  TRect rect;
  rect.Left = GetSBits(nbits);
  rect.Right = GetSBits(nbits);
  rect.Top = GetSBits(nbits);
  rect.Bottom = GetSBits(nbits);
  FlushLastByte(false);
  return rect;
}

recRGB TBitsEngine::ReadRGB() {
  recRGB c;
  c.R = GetRaw();
  c.G = GetRaw();
  c.B = GetRaw();
  return c;
}

recRGBA TBitsEngine::ReadRGBA() {
  const recRGB c = ReadRGB();
  return {c.R, c.G, c.B, GetRaw()};
}

recMATRIX TBitsEngine::ReadMatrix() {
  recMATRIX m;
  const auto pair = [this](std::int32_t& a, std::int32_t& b) {
    const int width = static_cast<int>(GetBits(5));
    a = GetSBits(width);
    b = GetSBits(width);
  };
  m.hasScale = GetBits(1) != 0;
  if (m.hasScale) pair(m.ScaleX, m.ScaleY);
  m.hasSkew = GetBits(1) != 0;
  if (m.hasSkew) pair(m.SkewY, m.SkewX);
  pair(m.TranslateX, m.TranslateY);
  FlushLastByte(false);
  return m;
}

recColorTransform TBitsEngine::ReadColorTransform(bool useAlpha) {
  recColorTransform t;
  t.hasAlpha = useAlpha;
  t.hasADD = GetBits(1) != 0;
  t.hasMULT = GetBits(1) != 0;
  if (t.hasADD || t.hasMULT) {
    const int nbits = static_cast<int>(GetBits(4));
    const auto terms = [&](std::int16_t& r, std::int16_t& g, std::int16_t& b, std::int16_t& a) {
      for (std::int16_t* v : {&r, &g, &b}) *v = static_cast<std::int16_t>(GetSBits(nbits));
      if (useAlpha) a = static_cast<std::int16_t>(GetSBits(nbits));
    };
    if (t.hasMULT) terms(t.multR, t.multG, t.multB, t.multA);
    if (t.hasADD) terms(t.addR, t.addG, t.addB, t.addA);
  }
  FlushLastByte(false);
  return t;
}

std::string TBitsEngine::ReadString(std::uint8_t length) {
  std::string text(length, '\0');
  for (char& c : text) c = static_cast<char>(GetRaw());
  return text;
}

std::string TBitsEngine::ReadString() {
  std::string text;
  for (std::uint8_t c = GetRaw(); c != 0; c = GetRaw()) text.push_back(static_cast<char>(c));
  return text;
}

std::string TBitsEngine::ReadLongString() {
  const std::uint16_t length = ReadSwapWord();
  std::string text(length, '\0');
  if (length > 0 && BitsStream.sgetn(text.data(), length) != length)
    throw GalleriaError("Unexpected end of movie data");
  return text;
}

void TBitsEngine::FlushLastByte(bool isWrite) {
  if (LastBitCount > 0 && isWrite)
    PutRaw(static_cast<std::uint8_t>(LastByte << (8 - LastBitCount)));
  LastByte = 0;
  LastBitCount = 0;
}

}  // namespace galleria::swf
