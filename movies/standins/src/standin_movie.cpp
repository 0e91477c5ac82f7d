#include "standin_movie.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "galleria/swf/swf_stream_reader.h"

namespace galleria::standins {
namespace {

using swf::TBitsEngine;

constexpr std::uint8_t kSwfVersion = 10;
constexpr float kFrameRate = 24.0f;
constexpr std::int32_t kTwips = 20;

enum TagCode : std::uint16_t {
  kEnd = 0,
  kShowFrame = 1,
  kDefineShape = 2,
  kSetBackgroundColor = 9,
  kPlaceObject2 = 26,
  kFrameLabel = 43,
  kFileAttributes = 69,
};

class TagList {
 public:
  // Bits of a tag's payload are written with their own engine so that each payload ends on a
  // byte boundary before its length is known.
  template <class Fill>
  void Add(TagCode code, Fill&& fill) {
    std::stringbuf payload;
    TBitsEngine bits(payload);
    fill(bits);
    bits.FlushLastByte(true);
    Append(code, payload.str());
  }
  void Add(TagCode code) { Append(code, {}); }

  std::string Bytes() const { return body_.str(); }

 private:
  void Append(TagCode code, const std::string& payload) {
    TBitsEngine head(body_);
    const auto code6 = static_cast<std::uint16_t>(code << 6);
    if (payload.size() < 0x3F) {
      head.WriteWord(static_cast<std::uint16_t>(code6 | payload.size()));
    } else {
      head.WriteWord(static_cast<std::uint16_t>(code6 | 0x3F));
      head.WriteDWord(static_cast<std::uint32_t>(payload.size()));
    }
    body_.sputn(payload.data(), static_cast<std::streamsize>(payload.size()));
  }

  std::stringbuf body_;
};

// An edge of a shape outline along one axis.
void WriteAxisEdge(TBitsEngine& bits, bool vertical, std::int32_t delta) {
  const int width = std::max(swf::SignedFieldWidth({delta}), 2);
  if (width > 17) throw std::runtime_error("Shape edge too long for an SWF edge record");
  bits.WriteBits(0b11, 2);  // edge record, straight
  bits.WriteBits(static_cast<std::uint32_t>(width - 2), 4);
  bits.WriteBit(false);  // not a general line
  bits.WriteBit(vertical);
  bits.WriteBits(static_cast<std::uint32_t>(delta), width);
}

// A solid rectangle with no outline, drawn clockwise from its top-left corner.
void WriteRectangleShape(TBitsEngine& bits, std::uint16_t id, const swf::TRect& r,
                         const swf::recRGB& colour) {
  bits.WriteWord(id);
  bits.WriteRect(r);
  bits.WriteByte(1);  // one fill style: solid
  bits.WriteByte(0x00);
  bits.WriteColor(colour);
  bits.WriteByte(0);     // no line styles
  bits.WriteBits(1, 4);  // fill style index bits
  bits.WriteBits(0, 4);  // line style index bits

  const int moveBits = swf::SignedFieldWidth({r.Left, r.Top});
  bits.WriteBits(0b000101, 6);  // style change: fill style 1, move to
  bits.WriteBits(static_cast<std::uint32_t>(moveBits), 5);
  bits.WriteBits(static_cast<std::uint32_t>(r.Left), moveBits);
  bits.WriteBits(static_cast<std::uint32_t>(r.Top), moveBits);
  bits.WriteBits(1, 1);  // fill style 1 = the first style

  const std::int32_t w = r.Right - r.Left, h = r.Bottom - r.Top;
  WriteAxisEdge(bits, false, w);
  WriteAxisEdge(bits, true, h);
  WriteAxisEdge(bits, false, -w);
  WriteAxisEdge(bits, true, -h);
  bits.WriteBits(0, 6);  // end of shape
}

}  // namespace

std::string BuildMovie(const StandinMovie& movie) {
  const swf::TRect stage{0, 0, movie.Width * kTwips, movie.Height * kTwips};
  const swf::TRect panel{stage.Right / 4, stage.Bottom / 4, stage.Right * 3 / 4,
                         stage.Bottom * 3 / 4};
  constexpr std::uint16_t kPanelId = 1;

  TagList tags;
  tags.Add(kFileAttributes, [](TBitsEngine& b) { b.WriteDWord(0x08); });  // ActionScript 3
  tags.Add(kSetBackgroundColor, [&](TBitsEngine& b) { b.WriteColor(movie.Background); });
  tags.Add(kDefineShape,
           [&](TBitsEngine& b) { WriteRectangleShape(b, kPanelId, panel, movie.Panel); });
  tags.Add(kPlaceObject2, [&](TBitsEngine& b) {
    b.WriteByte(0x06);  // has character, has matrix
    b.WriteWord(1);     // depth
    b.WriteWord(kPanelId);
    b.WriteMatrix({});
  });
  tags.Add(kFrameLabel, [&](TBitsEngine& b) { b.WriteString(movie.Name, true); });
  tags.Add(kShowFrame);
  tags.Add(kEnd);

  swf::TSWFStreamReader writer;
  writer.SWFHeader.Version = kSwfVersion;
  writer.SWFHeader.MovieRect = stage;
  writer.SWFHeader.FramesCount = 1;
  writer.SetFPS(kFrameRate);
  writer.SetCompressed(movie.Compressed);
  writer.BodyStream() = tags.Bytes();

  std::stringbuf out;
  writer.SaveToStream(out);
  return out.str();
}

}  // namespace galleria::standins
