// Reads the generated files back from the application folder as the program and the movies will:
// every movie must be a well-formed SWF, and the template store must hold each catalogue entry's
// movie exactly where the catalogue says.

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "galleria/language.h"
#include "galleria/swf/bits_engine.h"
#include "galleria/swf/swf_stream_reader.h"
#include "galleria/template_catalogue.h"

namespace fs = std::filesystem;
using namespace galleria::swf;

namespace {

constexpr std::uint64_t kBias = 515;
const fs::path kAppDir = GALLERIA_APP_DIR;

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  EXPECT_TRUE(in) << file;
  return {std::istreambuf_iterator<char>(in), {}};
}

struct Tag {
  std::uint16_t Code;
  std::string Payload;
};

// Splits a movie body into its tags; the body must end exactly after the End tag.
std::vector<Tag> SplitTags(const std::string& body) {
  std::vector<Tag> tags;
  std::size_t at = 0;
  while (true) {
    if (at + 2 > body.size()) {
      ADD_FAILURE() << "body ends inside a tag header at " << at;
      return tags;
    }
    const auto byte = [&](std::size_t i) { return std::uint32_t{std::uint8_t(body[i])}; };
    const std::uint32_t head = byte(at) | byte(at + 1) << 8;
    at += 2;
    std::uint64_t length = head & 0x3F;
    if (length == 0x3F) {
      if (at + 4 > body.size()) {
        ADD_FAILURE() << "body ends inside a long tag header";
        return tags;
      }
      length = byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24;
      at += 4;
    }
    if (at + length > body.size()) {
      ADD_FAILURE() << "tag " << (head >> 6) << " runs past the end of the body";
      return tags;
    }
    tags.push_back({static_cast<std::uint16_t>(head >> 6), body.substr(at, length)});
    at += length;
    if (tags.back().Code == 0) break;
  }
  EXPECT_EQ(at, body.size()) << "bytes after the End tag";
  return tags;
}

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

std::uint64_t Decimal(const std::string& text) {
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  EXPECT_TRUE(error == std::errc{} && end == text.data() + text.size() && !text.empty())
      << "not a decimal number: '" << text << "'";
  return value;
}

std::uint32_t BigEndian32(const std::string& bytes, std::uint64_t at) {
  std::uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | std::uint8_t(bytes[at + i]);
  return value;
}

struct CatalogueEntry {
  std::string Id, Type;
  std::uint64_t Offset = 0, Size = 0;
};

std::vector<CatalogueEntry> ReadCatalogue() {
  pugi::xml_document doc;
  const pugi::xml_parse_result parsed = doc.load_file((kAppDir / "Res/TemplateXML.xml").c_str());
  EXPECT_TRUE(parsed) << parsed.description();
  std::vector<CatalogueEntry> entries;
  for (pugi::xml_node t : doc.child("ProjName").child("Templates").children()) {
    std::set<std::string> names;
    for (pugi::xml_node field : t.children()) names.insert(field.name());
    EXPECT_EQ(names,
              (std::set<std::string>{"TemplateID", "TemplateType", "MD5O", "CRTS", "mousedrag",
                                     "autocursor", "autoscroll", "usespotlight"}));
    for (const char* option : {"mousedrag", "autocursor", "autoscroll", "usespotlight"}) {
      const std::string v = t.child(option).text().get();
      EXPECT_TRUE(v == "True" || v == "False") << option << " = " << v;
    }
    const std::uint64_t md5o = Decimal(t.child("MD5O").text().get());
    const std::uint64_t crts = Decimal(t.child("CRTS").text().get());
    EXPECT_GE(md5o, kBias);
    EXPECT_GT(crts, kBias);
    entries.push_back({t.child("TemplateID").text().get(), t.child("TemplateType").text().get(),
                       md5o - kBias, crts - kBias});
  }
  return entries;
}

TEST(StandinMovies, EachShippedMovieIsWellFormedAndTellsItselfApart) {
  std::set<std::string> labels, backgrounds;
  for (const char* name : {"Res/BaseFlash.swf", "libavformat-52.dll", "libavcodec.dll"}) {
    const MovieFacts facts = CheckMovie(ReadBytes(kAppDir / name), name);
    EXPECT_TRUE(labels.insert(facts.Label).second) << "label repeated: " << facts.Label;
    EXPECT_TRUE(backgrounds.insert(facts.Background).second) << name;
  }
  // Template movies are checked in the store walk; they must differ from these as well.
  const std::string store = ReadBytes(kAppDir / "libavcodec-52.dll");
  for (const CatalogueEntry& e : ReadCatalogue()) {
    if (e.Offset + 4 + e.Size > store.size()) continue;  // reported by the store walk
    const MovieFacts facts = CheckMovie(store.substr(e.Offset + 4, e.Size), e.Type);
    EXPECT_TRUE(labels.insert(facts.Label).second) << "label repeated: " << facts.Label;
    EXPECT_TRUE(backgrounds.insert(facts.Background).second) << e.Type;
  }
}

TEST(StandinMovies, BaseMovieStageCanBeRewritten) {
  const fs::path out = fs::path(testing::TempDir()) / "standin_stage.swf";
  ChangeStageSize(kAppDir / "libavformat-52.dll", out, 1280, 720);
  TSWFStreamReader rewritten(out);
  EXPECT_EQ(rewritten.Width(), 1280);
  EXPECT_EQ(rewritten.Height(), 720);
  CheckMovie(ReadBytes(out), "rewritten base movie");
  fs::remove(out);
}

TEST(TemplateStore, EveryCatalogueEntryPointsAtALengthPrefixedMovie) {
  const std::string store = ReadBytes(kAppDir / "libavcodec-52.dll");
  const std::vector<CatalogueEntry> entries = ReadCatalogue();
  ASSERT_GE(entries.size(), 2u);

  std::set<std::string> ids;
  std::map<std::uint64_t, std::uint64_t> spans;  // offset -> end
  for (const CatalogueEntry& e : entries) {
    SCOPED_TRACE("template " + e.Id + " " + e.Type);
    EXPECT_TRUE(ids.insert(e.Id).second) << "TemplateID repeated";
    ASSERT_LE(e.Offset + 4 + e.Size, store.size()) << "span outside the store";
    EXPECT_EQ(BigEndian32(store, e.Offset), e.Size) << "length field differs from the catalogue";
    const std::string movie = store.substr(e.Offset + 4, e.Size);
    TSWFStreamReader reader;
    std::stringbuf in(movie);
    reader.LoadFromStream(in);
    EXPECT_TRUE(reader.IsSWF());
    EXPECT_EQ(CheckMovie(movie, e.Type).Label, e.Type) << "movie is not the catalogued template";
    spans[e.Offset] = e.Offset + 4 + e.Size;
  }
  for (auto it = spans.begin(); std::next(it) != spans.end(); ++it)
    EXPECT_LE(it->second, std::next(it)->first) << "pieces overlap";
}

TEST(TemplateStore, TemplateZeroIsTheDefaultType) {
  // A new project takes template 0's span and the type "st_3d_Cool"; they must agree.
  const std::vector<CatalogueEntry> entries = ReadCatalogue();
  const auto zero = std::find_if(entries.begin(), entries.end(),
                                 [](const CatalogueEntry& e) { return e.Id == "0"; });
  ASSERT_NE(zero, entries.end());
  EXPECT_EQ(zero->Type, "st_3d_Cool");
}

// The program's own readers must take the shipped files as this walk does.
TEST(ShippedFiles, ProgramReadersAgreeWithTheWalk) {
  const galleria::TemplateCatalogue catalogue(kAppDir / "Res/TemplateXML.xml");
  ASSERT_TRUE(catalogue.Exists());
  const std::vector<CatalogueEntry> walked = ReadCatalogue();
  ASSERT_EQ(catalogue.Entries().size(), walked.size());
  for (std::size_t i = 0; i < walked.size(); ++i) {
    const galleria::TemplateEntry& e = catalogue.Entries()[i];
    EXPECT_EQ(std::to_string(e.id), walked[i].Id);
    EXPECT_EQ(e.type, walked[i].Type);
    EXPECT_EQ(e.offset, walked[i].Offset);
    EXPECT_EQ(e.size, walked[i].Size);
  }
  EXPECT_EQ(catalogue.TemplateTypeOf(0), "st_3d_Cool");

  ASSERT_TRUE(galleria::LoadLanguage(kAppDir / "language/language.xml"));
  EXPECT_EQ(galleria::LanguageName(), "english");
  EXPECT_EQ(galleria::LookupText("frm_template_scr"), "  Scrolling Action ");
  EXPECT_EQ(galleria::LookupText("msg_run_is_failed").front(), ' ');
  galleria::ReleaseLanguage();
}

}  // namespace
