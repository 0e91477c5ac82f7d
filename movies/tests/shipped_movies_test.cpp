// Reads the shipped movies, the template store and its catalogue back from the application folder
// as the program and the player movie will: every movie must be a well-formed scripted SWF, the
// player must state its own length (it finds the appended gallery there), and the store must hold
// each catalogued template movie exactly where the catalogue says.

#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "galleria/language.h"
#include "galleria/swf/swf_stream_reader.h"
#include "galleria/template_catalogue.h"
#include "movie_walk.h"

namespace fs = std::filesystem;
using namespace galleria::swf;
using namespace galleria::movies_test;

namespace {

constexpr std::uint64_t kBias = 515;
const fs::path kAppDir = GALLERIA_APP_DIR;
const fs::path kTemplateDir = GALLERIA_TEMPLATE_DIR;

// A movie whose script runs: header lengths agree, FileAttributes first with the script flag,
// bytecode and the class bound to the main timeline, at least one frame.
void CheckScriptedMovie(const std::string& bytes, const std::string& what) {
  SCOPED_TRACE(what);
  std::stringbuf in(bytes);
  TSWFStreamReader movie;
  movie.LoadFromStream(in);
  ASSERT_TRUE(movie.IsSWF());
  EXPECT_EQ(static_cast<std::size_t>(movie.SWFHeader.FileSize),
            static_cast<std::size_t>(movie.GetHeaderSize()) + movie.BodyStream().size())
      << "declared length is not the uncompressed length";
  // Sound.loadCompressedDataFromByteArray needs player version 11, file version 13.
  EXPECT_GE(movie.Version(), 13);
  EXPECT_EQ(movie.MovieRect().Left, 0);
  EXPECT_EQ(movie.MovieRect().Top, 0);
  EXPECT_GE(movie.Width(), 100);
  EXPECT_GE(movie.Height(), 100);
  EXPECT_GT(movie.FPS(), 0.0f);

  const std::vector<Tag> tags = SplitTags(movie.BodyStream());
  ASSERT_FALSE(tags.empty());
  EXPECT_EQ(tags.front().Code, 69) << "FileAttributes must come first";
  if (tags.front().Code == 69 && !tags.front().Payload.empty()) {
    EXPECT_TRUE(std::uint8_t(tags.front().Payload[0]) & 0x08) << "script flag not set";
  }
  int frames = 0, bytecode = 0;
  bool mainClass = false;
  for (const Tag& t : tags) {
    frames += t.Code == 1;
    bytecode += t.Code == 82 || t.Code == 72;
    // SymbolClass: a count, then (id, name) pairs; id 0 is the main timeline.
    if (t.Code == 76 && t.Payload.size() >= 4) {
      std::size_t at = 2;
      for (unsigned n = Byte(t.Payload, 0) | Byte(t.Payload, 1) << 8; n > 0; --n) {
        if (at + 2 > t.Payload.size()) break;
        mainClass |= (Byte(t.Payload, at) | Byte(t.Payload, at + 1) << 8) == 0;
        at = t.Payload.find('\0', at + 2);
        if (at == std::string::npos) break;
        ++at;
      }
    }
  }
  EXPECT_GE(frames, 1);
  EXPECT_EQ(frames, movie.FramesCount());
  EXPECT_GE(bytecode, 1) << "no bytecode";
  EXPECT_TRUE(mainClass) << "no class bound to the main timeline";
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
  for (int i = 0; i < 4; ++i) value = value << 8 | Byte(bytes, at + i);
  return value;
}

struct CatalogueEntry {
  std::string Id, Type;
  std::uint64_t Offset = 0, Size = 0;
  std::set<std::string> Offered;
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
    CatalogueEntry e;
    e.Id = t.child("TemplateID").text().get();
    e.Type = t.child("TemplateType").text().get();
    for (const char* option : {"mousedrag", "autocursor", "autoscroll", "usespotlight"}) {
      const std::string v = t.child(option).text().get();
      EXPECT_TRUE(v == "True" || v == "False") << option << " = " << v;
      if (v == "True") e.Offered.insert(option);
    }
    const std::uint64_t md5o = Decimal(t.child("MD5O").text().get());
    const std::uint64_t crts = Decimal(t.child("CRTS").text().get());
    EXPECT_GE(md5o, kBias);
    EXPECT_GT(crts, kBias);
    e.Offset = md5o - kBias;
    e.Size = crts - kBias;
    entries.push_back(e);
  }
  return entries;
}

TEST(ShippedMovies, PlayerAndDataBlockHeadAreScriptedMovies) {
  for (const char* name : {"libavformat-52.dll", "Res/BaseFlash.swf"})
    CheckScriptedMovie(ReadBytes(kAppDir / name), name);
}

TEST(ShippedMovies, PlayerStatesItsLengthOnDiskBeforeAndAfterTheStageRewrite) {
  // The player looks for the appended gallery right behind the length its header states; a
  // compressed player would send it scanning the whole file.
  const fs::path base = kAppDir / "libavformat-52.dll";
  const fs::path out = fs::path(testing::TempDir()) / "player_stage.swf";
  ChangeStageSize(base, out, 1920, 1080);
  for (const fs::path& file : {base, out}) {
    SCOPED_TRACE(file.string());
    const std::string bytes = ReadBytes(file);
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(bytes.substr(0, 3), "FWS");
    const std::uint32_t declared =
        Byte(bytes, 4) | Byte(bytes, 5) << 8 | Byte(bytes, 6) << 16 | Byte(bytes, 7) << 24;
    EXPECT_EQ(declared, bytes.size());
  }
  TSWFStreamReader rewritten(out);
  EXPECT_EQ(rewritten.Width(), 1920);
  EXPECT_EQ(rewritten.Height(), 1080);
  CheckScriptedMovie(ReadBytes(out), "rewritten player");
  fs::remove(out);
}

TEST(TemplateStore, PiecesFollowEachOtherAndHoldTheBuiltTemplateMovies) {
  const std::string store = ReadBytes(kAppDir / "libavcodec-52.dll");
  const std::vector<CatalogueEntry> entries = ReadCatalogue();
  ASSERT_GE(entries.size(), 3u);

  std::set<std::string> ids, types;
  std::uint64_t expectedOffset = 0;
  for (const CatalogueEntry& e : entries) {
    SCOPED_TRACE("template " + e.Id + " " + e.Type);
    EXPECT_TRUE(ids.insert(e.Id).second) << "TemplateID repeated";
    EXPECT_TRUE(types.insert(e.Type).second) << "TemplateType repeated";
    EXPECT_EQ(e.Offset, expectedOffset) << "gap or overlap before this piece";
    ASSERT_LE(e.Offset + 4 + e.Size, store.size()) << "span outside the store";
    EXPECT_EQ(BigEndian32(store, e.Offset), e.Size) << "length field differs from the catalogue";
    const std::string movie = store.substr(e.Offset + 4, e.Size);
    EXPECT_TRUE(movie == ReadBytes(kTemplateDir / (e.Type + ".swf")))
        << "the piece is not the template movie built for this type";
    CheckScriptedMovie(movie, e.Type);
    expectedOffset = e.Offset + 4 + e.Size;
  }
  EXPECT_EQ(expectedOffset, store.size()) << "bytes after the last piece";
}

TEST(TemplateStore, DefaultTemplateAndOfferedOptions) {
  // A new project takes template 0's span and the type "st_3d_Cool"; they must agree. Every
  // template offers the three scrolling actions and the spotlight, which each movie implements.
  const std::vector<CatalogueEntry> entries = ReadCatalogue();
  const auto zero = std::find_if(entries.begin(), entries.end(),
                                 [](const CatalogueEntry& e) { return e.Id == "0"; });
  ASSERT_NE(zero, entries.end());
  EXPECT_EQ(zero->Type, "st_3d_Cool");
  EXPECT_EQ(entries.front().Id, "0") << "the first entry is the default";
  for (const CatalogueEntry& e : entries)
    EXPECT_EQ(e.Offered,
              (std::set<std::string>{"mousedrag", "autocursor", "autoscroll", "usespotlight"}))
        << e.Type;
}

TEST(TemplateStore, EveryTemplateHasAPictureForTheTemplatePage) {
  for (const CatalogueEntry& e : ReadCatalogue()) {
    const std::string png = ReadBytes(kAppDir / "Res" / (e.Type + ".png"));
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8)) << e.Type;
  }
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
