#include "galleria/utilities.h"

#include <gtest/gtest.h>

#include <fstream>

#include "scratch_folder.h"

namespace fs = std::filesystem;
using namespace galleria;

TEST(Utilities, DurationText) {
  const struct {
    std::int64_t seconds;
    const char* text;
  } cases[] = {
      {0, "00:00:00"},       {9, "00:00:09"},    {59, "00:00:59"},
      {61, "00:01:01"},      {3600, "01:00:00"}, {3599, "00:59:59"},
      {360000, "100:00:00"}, {-61, "-00:01:01"}, {INT64_MIN, "-2562047788015215:30:08"},
  };
  for (const auto& c : cases) EXPECT_EQ(DurationText(c.seconds), c.text) << c.seconds;
}

TEST(Utilities, ValidFileName) {
  const struct {
    std::string_view name;
    bool valid;
  } cases[] = {
      {"my gallery", true},
      {"caf\xc3\xa9 \xc3\xa0 la plage", true},
      {"a.b.c", true},
      {"", false},
      {"a:b", false},
      {"a/b", false},
      {"a\\b", false},
      {"a*", false},
      {"a?", false},
      {"\"q\"", false},
      {"<a>", false},
      {"a|b", false},
      {".", false},
      {"..", false},
      {std::string_view("a\0b", 3), false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsValidFileName(c.name), c.valid) << c.name;
}

TEST(Utilities, UniqueFileNameSkipsTakenNames) {
  ScratchFolder dir;
  const fs::path candidate = dir.path() / "a_OutPut.jpeg";
  EXPECT_EQ(UniqueFileName(candidate, "a_OutPut", ".jpeg"), candidate);
  std::ofstream(candidate) << "x";
  EXPECT_EQ(UniqueFileName(candidate, "a_OutPut", ".jpeg"), dir.path() / "a_OutPut(1).jpeg");
  std::ofstream(dir.path() / "a_OutPut(1).jpeg") << "x";
  EXPECT_EQ(UniqueFileName(candidate, "a_OutPut", ".jpeg"), dir.path() / "a_OutPut(2).jpeg");
  EXPECT_EQ(UniqueFileName(candidate, "a_OutPut", ".jpeg", {dir.path() / "a_OutPut(2).jpeg"}),
            dir.path() / "a_OutPut(3).jpeg")
      << "reserved names count as taken";
}

TEST(Utilities, FileSizeAndDeleteFolder) {
  ScratchFolder dir;
  EXPECT_EQ(FileSize(dir.path() / "missing"), -1);
  const fs::path tree = dir.path() / "tree";
  fs::create_directories(tree / "sub" / "deeper");
  std::ofstream(tree / "sub" / "deeper" / "f.bin") << std::string(1234, 'x');
  std::ofstream(tree / "top.txt") << "hello";
  fs::create_symlink(dir.path(), tree / "link-outside");
  EXPECT_EQ(FileSize(tree / "sub" / "deeper" / "f.bin"), 1234);

  EXPECT_TRUE(DeleteFolder(tree));
  EXPECT_FALSE(fs::exists(tree));
  EXPECT_TRUE(fs::exists(dir.path())) << "a link inside must not be followed";
  EXPECT_TRUE(DeleteFolder(tree)) << "an absent folder counts as deleted";
}

TEST(Utilities, ColourConversionsSwapRedAndBlue) {
  EXPECT_EQ(ColorToMovieColor(0x00112233, 0xFF), 0xFF332211u);
  EXPECT_EQ(ColorToMovieColor(0xAB112233, 0), 0x00332211u) << "the colour's top byte is not alpha";
  std::uint8_t alpha = 0;
  EXPECT_EQ(MovieColorToColor(0x80332211, alpha), 0x00112233u);
  EXPECT_EQ(alpha, 0x80);
  for (std::uint32_t colour : {0x0u, 0x00FFFFFFu, 0x00123456u, 0x00FF0000u}) {
    EXPECT_EQ(MovieColorToColor(ColorToMovieColor(colour, 0x7F), alpha), colour);
    EXPECT_EQ(alpha, 0x7F);
  }
}

TEST(Utilities, VersionComesFromTheBuildStamp) {
  EXPECT_EQ(ApplicationVersion(), GALLERIA_VERSION);
}

TEST(Utilities, PathBufferArrayKeepsLongPathsWhole) {
  PathBufferArray paths(3);
  ASSERT_EQ(paths.size(), 3u);
  const std::string longPath = "/" + std::string(300, 'd') + "/photo \xc3\xa9.jpg";
  paths[1] = longPath;
  const std::vector<const char*> view = paths.Pointers();
  ASSERT_EQ(view.size(), 3u);
  EXPECT_STREQ(view[0], "");
  EXPECT_EQ(std::string(view[1]), longPath);
  EXPECT_THROW(paths[3], std::out_of_range);
}
