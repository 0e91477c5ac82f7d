#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <corekit/memory_stream.h>
#include <picwork/edit_data.h>
#include <picwork/picwork.h>

namespace {

// The block written out field by field, as a reader of the format would lay it.
class Bytes {
 public:
  Bytes& u16text(const char* ascii) {  // UTF-16 with its zero
    for (const char* p = ascii;; ++p) {
      raw.push_back(static_cast<std::uint8_t>(*p));
      raw.push_back(0);
      if (*p == '\0') break;
    }
    return *this;
  }
  Bytes& i32(std::int32_t v) { return put(&v, 4); }
  Bytes& u32(std::uint32_t v) { return put(&v, 4); }
  Bytes& f32(float v) { return put(&v, 4); }
  Bytes& f64(double v) { return put(&v, 8); }
  Bytes& put(const void* p, std::size_t n) {
    const auto* b = static_cast<const std::uint8_t*>(p);
    raw.insert(raw.end(), b, b + n);
    return *this;
  }
  // A TextFontInfo: face name padded to 32 characters, size, colour, style, alignment.
  Bytes& font(const char* face, std::int32_t size, std::uint32_t color, std::int32_t style,
              std::int32_t alignment) {
    std::size_t n = std::strlen(face);
    for (std::size_t i = 0; i < 32; ++i) {
      raw.push_back(i < n ? static_cast<std::uint8_t>(face[i]) : 0);
      raw.push_back(0);
    }
    return i32(size).u32(color).i32(style).i32(alignment);
  }
  CVXMemoryStream stream() const {
    return CVXMemoryStream(raw.data(), static_cast<std::int32_t>(raw.size()));
  }
  std::vector<std::uint8_t> raw;
};

Bytes Header(const char* tag, int width, int height, double cx, double cy, double cw, double ch,
             int turn, int flip) {
  Bytes b;
  b.u16text(tag).i32(width).i32(height).f64(cx).f64(cy).f64(cw).f64(ch).i32(turn).i32(flip);
  return b;
}

// One text "Hi" and two filters.
Bytes SampleBlock() {
  Bytes b = Header("Image Data", 640, 480, 0.125, 0.25, 0.5, 0.75, 3, 1);
  b.i32(1);
  b.u16text("Image Text").i32(6).u16text("Hi");
  b.font("Arial", 24, 0x80FF0000, 1, 2);
  b.i32(1).f32(30.5f).f32(12.25f).f64(100.5).f64(-20.0).i32(7).i32(1).i32(2);
  b.i32(2).i32(1).i32(0).i32(0).i32(0).i32(2).i32(50).i32(-3).i32(9);
  return b;
}

std::vector<std::uint8_t> Contents(const CVXMemoryStream& s) {
  return {s.GetData(), s.GetData() + s.GetLength()};
}

TEST(EditData, ReadsEveryFieldOfAHandWrittenBlockAndWritesTheSameBytes) {
  const Bytes block = SampleBlock();
  CVXMemoryStream in = block.stream();
  EditData data;
  ASSERT_TRUE(picwork::ReadEditData(in, data));
  EXPECT_EQ(in.Tell(), in.GetLength());
  EXPECT_EQ(data.editWidth, 640);
  EXPECT_EQ(data.editHeight, 480);
  EXPECT_EQ(data.crop.x, 0.125);
  EXPECT_EQ(data.crop.y, 0.25);
  EXPECT_EQ(data.crop.width, 0.5);
  EXPECT_EQ(data.crop.height, 0.75);
  EXPECT_EQ(data.turn, 3);
  EXPECT_EQ(data.flip, 1);
  ASSERT_EQ(data.texts.size(), 1u);
  const EditTextRecord& t = data.texts[0];
  EXPECT_EQ(t.caption, u"Hi");
  EXPECT_EQ(std::u16string(t.font.faceName), u"Arial");
  EXPECT_EQ(t.font.size, 24);
  EXPECT_EQ(t.font.color, 0x80FF0000u);
  EXPECT_EQ(t.font.style, 1);
  EXPECT_EQ(t.font.alignment, 2);
  EXPECT_EQ(t.selected, 1);
  EXPECT_EQ(t.width, 30.5f);
  EXPECT_EQ(t.height, 12.25f);
  EXPECT_EQ(t.x, 100.5);
  EXPECT_EQ(t.y, -20.0);
  EXPECT_EQ(t.id, 7);
  EXPECT_EQ(t.turn, 1);
  EXPECT_EQ(t.flip, 2);
  ASSERT_EQ(data.filters.size(), 2u);
  EXPECT_EQ(data.filters[1].id, 2);
  EXPECT_EQ(data.filters[1].param1, 50);
  EXPECT_EQ(data.filters[1].param2, -3);
  EXPECT_EQ(data.filters[1].param3, 9);

  CVXMemoryStream out;
  ASSERT_TRUE(picwork::WriteEditData(out, data));
  EXPECT_EQ(Contents(out), block.raw);
}

TEST(EditData, EmptyEditsAreTheHeaderAndTwoZeroCounts) {
  CVXMemoryStream out;
  ASSERT_TRUE(picwork::WriteEditData(out, EditData{}));
  Bytes expected = Header("Image Data", 0, 0, 0, 0, 1, 1, 0, 0);
  expected.i32(0).i32(0);
  EXPECT_EQ(Contents(out), expected.raw);
  EXPECT_EQ(out.GetLength(), 22 + 8 + 32 + 8 + 4 + 4);
}

TEST(EditData, TagsAreComparedWithoutCase) {
  Bytes b = Header("iMAGE dATA", 10, 10, 0, 0, 1, 1, 0, 0);
  b.i32(1).u16text("IMAGE TEXT").i32(4).u16text("A").font("", 9, 0xFF000000, 0, 0);
  b.i32(0).f32(0).f32(0).f64(1).f64(2).i32(3).i32(0).i32(0).i32(0);
  CVXMemoryStream in = b.stream();
  EditData data;
  ASSERT_TRUE(picwork::ReadEditData(in, data));
  ASSERT_EQ(data.texts.size(), 1u);
  EXPECT_EQ(data.texts[0].caption, u"A");
  EXPECT_EQ(data.texts[0].id, 3);
}

TEST(EditData, BlockWithAnotherTagIsIgnoredAfterItsTag) {
  const Bytes b = Header("Image Date", 10, 10, 0.5, 0.5, 0.5, 0.5, 1, 1);
  CVXMemoryStream in = b.stream();
  EditData data;
  data.turn = 42;
  EXPECT_FALSE(picwork::ReadEditData(in, data));
  EXPECT_EQ(in.Tell(), 22);
  EXPECT_EQ(data.turn, 42);
}

TEST(EditData, TextWithAnotherTagIsLeftEmptyAndReadingGoesOnAfterItsTag) {
  Bytes b = Header("Image Data", 10, 10, 0, 0, 1, 1, 0, 0);
  b.i32(1).u16text("Image Txet");  // the record's body never comes: the filters follow
  b.i32(1).i32(1).i32(5).i32(6).i32(7);
  CVXMemoryStream in = b.stream();
  EditData data;
  ASSERT_TRUE(picwork::ReadEditData(in, data));
  ASSERT_EQ(data.texts.size(), 1u);
  EXPECT_TRUE(data.texts[0].caption.empty());
  EXPECT_EQ(data.texts[0].id, -1);
  ASSERT_EQ(data.filters.size(), 1u);
  EXPECT_EQ(data.filters[0].param3, 7);
}

TEST(EditData, HostileCountsAndLengthsStopAtTheEndOfTheStream) {
  struct Case {
    const char* what;
    Bytes bytes;
    std::size_t texts, filters;
  } cases[] = {
      {"text count near 2^31", Header("Image Data", 1, 1, 0, 0, 1, 1, 0, 0).i32(0x7FFFFFFF), 0, 0},
      {"caption longer than the stream",
       Header("Image Data", 1, 1, 0, 0, 1, 1, 0, 0).i32(1).u16text("Image Text").i32(0x7FFFFFF0), 0,
       0},
      {"negative caption length",
       Header("Image Data", 1, 1, 0, 0, 1, 1, 0, 0).i32(1).u16text("Image Text").i32(-2), 0, 0},
      {"odd caption length",
       Header("Image Data", 1, 1, 0, 0, 1, 1, 0, 0).i32(1).u16text("Image Text").i32(3).i32(0), 0,
       0},
      {"filter count near 2^31",
       Header("Image Data", 1, 1, 0, 0, 1, 1, 0, 0)
           .i32(0)
           .i32(0x7FFFFFFF)
           .i32(1)
           .i32(2)
           .i32(3)
           .i32(4),
       0, 1},
      {"cut inside the header", Header("Image Data", 1, 1, 0, 0, 1, 1, 0, 0), 0, 0},
  };
  for (Case& c : cases) {
    if (std::string(c.what) == "cut inside the header") c.bytes.raw.resize(40);
    CVXMemoryStream in = c.bytes.stream();
    EditData data;
    EXPECT_TRUE(picwork::ReadEditData(in, data)) << c.what;
    EXPECT_EQ(data.texts.size(), c.texts) << c.what;
    EXPECT_EQ(data.filters.size(), c.filters) << c.what;
  }
}

TEST(EditRect, NullStreamWholeImageBlockItsCropOtherTagUnchanged) {
  OvraRectD rect{9, 9, 9, 9};
  OvraGetImageEditRect(&rect, nullptr);
  EXPECT_EQ(rect.x, 0);
  EXPECT_EQ(rect.y, 0);
  EXPECT_EQ(rect.width, 1);
  EXPECT_EQ(rect.height, 1);

  CVXMemoryStream block = SampleBlock().stream();
  OvraGetImageEditRect(&rect, &block);
  EXPECT_EQ(rect.x, 0.125);
  EXPECT_EQ(rect.y, 0.25);
  EXPECT_EQ(rect.width, 0.5);
  EXPECT_EQ(rect.height, 0.75);
  EXPECT_EQ(block.Tell(), 22 + 8 + 32);

  CVXMemoryStream other = Header("Image Text", 1, 1, 0.9, 0.9, 0.1, 0.1, 0, 0).stream();
  OvraGetImageEditRect(&rect, &other);
  EXPECT_EQ(rect.x, 0.125);
  EXPECT_EQ(other.Tell(), 22);
}

}  // namespace
