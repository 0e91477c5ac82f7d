// Reads the stand-in preview shell back from the application folder: it must be a well-formed
// SWF that says which movie it is.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "galleria/swf/bits_engine.h"
#include "galleria/swf/swf_stream_reader.h"
#include "movie_walk.h"

namespace fs = std::filesystem;
using namespace galleria::swf;
using namespace galleria::movies_test;

namespace {

const fs::path kAppDir = GALLERIA_APP_DIR;

struct Point {
  std::int32_t X = 0, Y = 0;
  bool operator==(const Point&) const = default;
};

// Walks a DefineShape: one solid fill, no lines, and an outline of straight edges that returns to
// where it started and stays inside the declared bounds.
void CheckShape(const std::string& payload, const TRect& stage) {
  std::stringbuf in(payload);
  TBitsEngine bits(in);
  bits.ReadWord();  // character id
  const TRect bounds = bits.ReadRect();
  EXPECT_TRUE(bounds.Left >= stage.Left && bounds.Right <= stage.Right && bounds.Top >= stage.Top &&
              bounds.Bottom <= stage.Bottom && bounds.Left < bounds.Right &&
              bounds.Top < bounds.Bottom)
      << "shape bounds outside the stage or empty";
  ASSERT_EQ(bits.ReadByte(), 1) << "fill style count";
  ASSERT_EQ(bits.ReadByte(), 0x00) << "solid fill";
  bits.ReadRGB();
  ASSERT_EQ(bits.ReadByte(), 0) << "line style count";
  const int fillBits = static_cast<int>(bits.GetBits(4));
  const int lineBits = static_cast<int>(bits.GetBits(4));

  Point pen, start;
  int edges = 0;
  bool filled = false;
  const auto inside = [&bounds](const Point& p) {
    return p.X >= bounds.Left && p.X <= bounds.Right && p.Y >= bounds.Top && p.Y <= bounds.Bottom;
  };
  for (int guard = 0; guard < 1000; ++guard) {
    if (bits.GetBits(1) == 0) {  // style change or end
      const std::uint32_t flags = bits.GetBits(5);
      if (flags == 0) break;
      ASSERT_EQ(flags & 0x10, 0u) << "new style arrays are not expected";
      if (flags & 0x01) {
        const int n = static_cast<int>(bits.GetBits(5));
        pen = start = {bits.GetSBits(n), bits.GetSBits(n)};
      }
      if (flags & 0x02) filled |= bits.GetBits(fillBits) != 0;
      if (flags & 0x04) filled |= bits.GetBits(fillBits) != 0;
      if (flags & 0x08) bits.GetBits(lineBits);
      continue;
    }
    ASSERT_EQ(bits.GetBits(1), 1u) << "curved edges are not expected";
    const int n = static_cast<int>(bits.GetBits(4)) + 2;
    if (bits.GetBits(1)) {
      pen.X += bits.GetSBits(n);
      pen.Y += bits.GetSBits(n);
    } else if (bits.GetBits(1)) {
      pen.Y += bits.GetSBits(n);
    } else {
      pen.X += bits.GetSBits(n);
    }
    EXPECT_TRUE(inside(pen)) << "edge " << edges << " leaves the bounds";
    ++edges;
  }
  bits.FlushLastByte(false);
  EXPECT_TRUE(filled) << "no fill style selected";
  EXPECT_GE(edges, 3);
  EXPECT_EQ(pen, start) << "outline is not closed";
  EXPECT_EQ(in.in_avail(), 0) << "bytes after the shape records";
}

struct MovieFacts {
  std::string Label;
  std::string Background;  // three bytes
};

// Loads a movie, checks its header and every tag it carries, and returns what tells it apart.
MovieFacts CheckMovie(const std::string& bytes, const std::string& what) {
  SCOPED_TRACE(what);
  std::stringbuf in(bytes);
  TSWFStreamReader movie;
  movie.LoadFromStream(in);
  EXPECT_TRUE(movie.IsSWF());
  EXPECT_EQ(static_cast<std::size_t>(movie.SWFHeader.FileSize),
            static_cast<std::size_t>(movie.GetHeaderSize()) + movie.BodyStream().size())
      << "declared length is not the uncompressed length";
  if (!movie.Compressed()) {
    EXPECT_EQ(static_cast<std::size_t>(movie.SWFHeader.FileSize), bytes.size());
  }
  EXPECT_GE(movie.Version(), 8);  // the first tag below is only defined from version 8 on
  EXPECT_EQ(movie.MovieRect().Left, 0);
  EXPECT_EQ(movie.MovieRect().Top, 0);
  EXPECT_GE(movie.Width(), 100);
  EXPECT_LE(movie.Width(), 4096);
  EXPECT_GE(movie.Height(), 100);
  EXPECT_LE(movie.Height(), 4096);
  EXPECT_GT(movie.FPS(), 0.0f);

  const std::vector<Tag> tags = SplitTags(movie.BodyStream());
  MovieFacts facts;
  int frames = 0;
  std::set<std::uint16_t> defined;
  for (std::size_t i = 0; i < tags.size(); ++i) {
    const Tag& t = tags[i];
    switch (t.Code) {
      case 69:
        EXPECT_EQ(i, 0u) << "FileAttributes must come first";
        EXPECT_EQ(t.Payload.size(), 4u);
        break;
      case 9:
        EXPECT_EQ(t.Payload.size(), 3u);
        facts.Background = t.Payload;
        break;
      case 2:
        defined.insert(static_cast<std::uint16_t>(std::uint8_t(t.Payload[0]) |
                                                  std::uint8_t(t.Payload[1]) << 8));
        CheckShape(t.Payload, movie.MovieRect());
        break;
      case 26: {
        if (t.Payload.size() < 5 || !(std::uint8_t(t.Payload[0]) & 0x02)) {
          ADD_FAILURE() << "placement without a character";
          break;
        }
        const auto id = static_cast<std::uint16_t>(std::uint8_t(t.Payload[3]) |
                                                   std::uint8_t(t.Payload[4]) << 8);
        EXPECT_TRUE(defined.count(id)) << "placed character " << id << " is not defined before";
        break;
      }
      case 43:
        if (t.Payload.empty() || t.Payload.back() != '\0') {
          ADD_FAILURE() << "frame label is not a terminated string";
          break;
        }
        facts.Label = t.Payload.substr(0, t.Payload.size() - 1);
        break;
      case 1:
        ++frames;
        break;
      case 0:
        break;
      default:
        ADD_FAILURE() << "unexpected tag " << t.Code;
    }
  }
  EXPECT_EQ(frames, movie.FramesCount());
  EXPECT_FALSE(facts.Background.empty()) << "no background colour";
  EXPECT_FALSE(defined.empty()) << "nothing to see on the stage";
  EXPECT_FALSE(facts.Label.empty()) << "no frame label";
  return facts;
}

TEST(StandinMovies, PreviewShellIsWellFormed) {
  const MovieFacts facts = CheckMovie(ReadBytes(kAppDir / "libavcodec.dll"), "libavcodec.dll");
  EXPECT_EQ(facts.Label, "PreviewShell");
}

}  // namespace
