#pragma once
// Reads and writes the bit-packed and byte-packed primitives of the SWF format on any byte
// stream. Bit fields are most significant bit first, packed without gaps, signed fields in two's
// complement. Reading past the end of the stream throws GalleriaError.

#include <cstdint>
#include <streambuf>
#include <string>
#include <string_view>

namespace galleria::swf {

// A screen rectangle; for the stage it is in twips (1/20 pixel).
struct TRect {
  std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TRect&) const = default;
};

struct recRect {
  std::int32_t Xmin = 0, Xmax = 0, Ymin = 0, Ymax = 0;
};
struct recRGB {
  std::uint8_t R = 0, G = 0, B = 0;
};
struct recRGBA {
  std::uint8_t R = 0, G = 0, B = 0, A = 0;
};
struct recMATRIX {
  bool hasScale = false, hasSkew = false;
  std::int32_t ScaleX = 0, ScaleY = 0, SkewX = 0, SkewY = 0, TranslateX = 0, TranslateY = 0;
  bool operator==(const recMATRIX&) const = default;
};
struct recColorTransform {
  std::int16_t addR = 0, addG = 0, addB = 0, addA = 0;
  std::int16_t multR = 0, multG = 0, multB = 0, multA = 0;
  bool hasADD = false, hasMULT = false, hasAlpha = false;
  bool operator==(const recColorTransform&) const = default;
};

// Bits needed for an unsigned value (0 for 0), and the signed field width for a set of values
// (0 when all are 0, else the unsigned count of the largest magnitude plus the sign bit).
int UnsignedBitCount(std::uint64_t value);
int SignedFieldWidth(std::initializer_list<std::int64_t> values);

class TBitsEngine {
 public:
  explicit TBitsEngine(std::streambuf& stream) : BitsStream(stream) {}

  // Writing.
  void WriteBits(std::uint32_t data, int size);
  void WriteBit(bool bit) { WriteBits(bit ? 1 : 0, 1); }
  void WriteByte(std::uint8_t byte);
  void Write2Byte(std::uint16_t word) { WriteBits(word, 16); }
  void WriteWord(std::uint16_t word);
  void WriteSwapWord(std::uint16_t word);
  void WriteDWord(std::uint32_t dword);
  void Write4byte(std::uint32_t dword) { WriteDWord(dword); }
  void WriteSingle(float value);  // 16.16 fixed point
  void WriteFloat(float value);   // IEEE single
  void WriteColor(const recRGB& color);
  void WriteColor(const recRGBA& color);
  void WriteRect(const recRect& rect);
  void WriteRect(const TRect& rect);  // normalised first
  void WriteMatrix(const recMATRIX& matrix);
  void WriteColorTransform(const recColorTransform& transform);
  void WriteString(std::string_view text, bool nullEnd);
  void WriteUTF8String(std::string_view text, std::size_t length, bool nullEnd);

  // Reading.
  std::uint32_t GetBits(int count);
  std::int32_t GetSBits(int count);
  std::uint8_t ReadByte();
  std::uint32_t ReadBytes(int count);  // up to 4 bytes, little-endian
  std::uint16_t ReadWord();
  std::uint16_t ReadSwapWord();
  std::uint32_t ReadDWord();
  float ReadSingle();
  float ReadFloat();
  double ReadDouble();
  float ReadFloat16();
  TRect ReadRect();
  recRGB ReadRGB();
  recRGBA ReadRGBA();
  recMATRIX ReadMatrix();
  recColorTransform ReadColorTransform(bool useAlpha);
  std::string ReadString(std::uint8_t length);
  std::string ReadString();
  std::string ReadLongString();

  // A writer pads pending bits with zeros to a byte and writes it; a reader drops them.
  void FlushLastByte(bool isWrite);

  std::streambuf& BitsStream;
  std::uint8_t LastByte = 0;
  std::uint8_t LastBitCount = 0;

 private:
  void PutRaw(std::uint8_t byte);
  std::uint8_t GetRaw();
};

}  // namespace galleria::swf
