#include "galleria/swf/bits_engine.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "galleria/error.h"

using namespace galleria;
using namespace galleria::swf;

namespace {

std::vector<int> Bytes(const std::stringbuf& buffer) {
  const std::string s = buffer.str();
  return {s.begin(), s.end()};
}

std::vector<int> Ints(std::initializer_list<int> values) {
  std::vector<int> out;
  for (int v : values) out.push_back(static_cast<int>(static_cast<signed char>(v)));
  return out;
}

std::stringbuf Source(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return std::stringbuf(s);
}

}  // namespace

TEST(BitsEngine, BitFieldsPackWithoutGapsAndFlushOnlyPendingBits) {
  std::stringbuf out;
  TBitsEngine bits(out);
  bits.WriteBits(0b10110, 5);
  bits.WriteBits(0b01100110011, 11);
  EXPECT_EQ(Bytes(out), Ints({0b10110011, 0b00110011}));
  bits.FlushLastByte(true);
  EXPECT_EQ(out.str().size(), 2u) << "nothing was pending";

  bits.WriteBits(0b101, 3);
  bits.WriteByte(0xFF);
  EXPECT_EQ(out.str().size(), 3u);
  EXPECT_EQ(bits.LastBitCount, 3) << "a byte after 3 pending bits keeps 3 pending";
  EXPECT_EQ(static_cast<unsigned char>(out.str()[2]), 0b10111111);

  bits.WriteWord(0x1234);  // pads the pending 111 first
  EXPECT_EQ(Bytes(out), Ints({0b10110011, 0b00110011, 0b10111111, 0b11100000, 0x34, 0x12}));
  bits.WriteSwapWord(0x1234);
  bits.WriteDWord(0xA1B2C3D4);
  bits.WriteSingle(-1.5f);
  const std::string s = out.str();
  EXPECT_EQ(s.substr(6), std::string("\x12\x34\xD4\xC3\xB2\xA1\x00\x80\xFE\xFF", 10));
}

TEST(BitsEngine, WritesAndReadsTheStageRect) {
  const std::vector<int> expected = Ints({0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00});
  std::stringbuf out;
  TBitsEngine writer(out);
  writer.WriteRect(TRect{0, 0, 11000, 8000});
  EXPECT_EQ(Bytes(out), expected);

  std::stringbuf swapped;
  TBitsEngine(swapped).WriteRect(TRect{11000, 8000, 0, 0});
  EXPECT_EQ(Bytes(swapped), expected) << "a screen rectangle is normalised";

  auto in = Source({0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00, 0x42});
  TBitsEngine reader(in);
  EXPECT_EQ(reader.ReadRect(), (TRect{0, 0, 11000, 8000}));
  EXPECT_EQ(reader.ReadByte(), 0x42) << "the reader stops right after the ninth byte";

  std::stringbuf zero;
  TBitsEngine(zero).WriteRect(recRect{});
  EXPECT_EQ(Bytes(zero), Ints({0}));

  std::stringbuf huge;
  EXPECT_THROW(TBitsEngine(huge).WriteRect(recRect{0, INT32_MAX, 0, 1}), GalleriaError)
      << "32-bit coordinates do not fit the 5-bit width";
}

TEST(BitsEngine, SignedBitsAndWidths) {
  auto in = Source({0b11111011, 0b11000000});
  TBitsEngine bits(in);
  EXPECT_EQ(bits.GetSBits(5), -1);
  EXPECT_EQ(bits.GetSBits(5), 0b01111);
  EXPECT_EQ(bits.GetBits(0), 0u);

  const struct {
    std::initializer_list<std::int64_t> values;
    int width;
  } cases[] = {{{0, 0}, 0},          {{1}, 2},     {{-1}, 2},        {{11000, 8000}, 15},
               {{19200, 10800}, 16}, {{-4, 3}, 4}, {{INT32_MAX}, 32}};
  for (const auto& c : cases) EXPECT_EQ(SignedFieldWidth(c.values), c.width);
}

TEST(BitsEngine, MatricesAndColourTransformsRoundTrip) {
  const recMATRIX matrices[] = {
      {},
      {true, false, 65536, -32768, 0, 0, 200, -100},
      {true, true, 1, 2, -3, 40000, 0, 0},
      {false, true, 0, 0, 5, -6, INT32_MIN / 4, 7},
  };
  for (const recMATRIX& m : matrices) {
    std::stringbuf buffer;
    TBitsEngine(buffer).WriteMatrix(m);
    TBitsEngine reader(buffer);
    EXPECT_EQ(reader.ReadMatrix(), m);
    EXPECT_EQ(buffer.in_avail(), 0);
  }
  std::stringbuf identity;
  TBitsEngine(identity).WriteMatrix(recMATRIX{});
  EXPECT_EQ(Bytes(identity), Ints({0})) << "no scale, no skew, a translate width of 0";

  recColorTransform t{10, -20, 30, 40, 256, 128, 0, -256, true, true, true};
  recColorTransform addOnly{-5, 5, 0, 99, 0, 0, 0, 0, true, false, false};
  addOnly.addA = 0;  // alpha terms are neither written nor read without alpha
  for (const recColorTransform& c : {t, addOnly, recColorTransform{}}) {
    std::stringbuf buffer;
    TBitsEngine(buffer).WriteColorTransform(c);
    TBitsEngine reader(buffer);
    EXPECT_EQ(reader.ReadColorTransform(c.hasAlpha), c);
  }
}

TEST(BitsEngine, StringsNumbersAndTheEnd) {
  std::stringbuf buffer;
  TBitsEngine w(buffer);
  w.WriteString("abc", true);
  w.WriteUTF8String("caf\xc3\xa9 long", 5, false);
  w.WriteSwapWord(0);
  w.WriteSwapWord(3);
  w.WriteString("xyz", false);
  w.WriteFloat(2.5f);
  w.WriteColor(recRGBA{1, 2, 3, 4});
  TBitsEngine r(buffer);
  EXPECT_EQ(r.ReadString(), "abc");
  EXPECT_EQ(r.ReadString(5), "caf\xc3\xa9");
  EXPECT_EQ(r.ReadLongString(), "") << "a zero length reads only the two length bytes";
  EXPECT_EQ(r.ReadLongString(), "xyz");
  EXPECT_EQ(r.ReadFloat(), 2.5f);
  const recRGBA c = r.ReadRGBA();
  EXPECT_EQ((std::vector<int>{c.R, c.G, c.B, c.A}), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_THROW(r.ReadByte(), GalleriaError);

  auto numbers = Source({0x00, 0x80, 0xFE, 0xFF,                          // 16.16 -1.5
                         0x00, 0x00, 0xF0, 0x3F, 0x00, 0x00, 0x00, 0x00,  // DOUBLE 1.0
                         0x00, 0x3C, 0x00, 0xC0, 0x00, 0x00,              // half 1.0, -2.0, 0
                         0x01, 0x02, 0x03});
  TBitsEngine n(numbers);
  EXPECT_EQ(n.ReadSingle(), -1.5f);
  EXPECT_EQ(n.ReadDouble(), 1.0);
  EXPECT_EQ(n.ReadFloat16(), 1.0f);
  EXPECT_EQ(n.ReadFloat16(), -2.0f);
  EXPECT_EQ(n.ReadFloat16(), 0.0f);
  EXPECT_EQ(n.ReadBytes(3), 0x030201u);
}
