#include "embedded_movie.h"

#include <gtest/gtest.h>

using helpers::MovieSpan;

namespace {

std::string Le(std::uint32_t v) {
  return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
          static_cast<char>(v >> 24)};
}
std::string Be(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

}  // namespace

TEST(EmbeddedMovie, ProgramTrailerMustDescribeAMovieInsideTheFile) {
  const struct {
    std::string tail;
    std::uint64_t fileSize;
    std::optional<MovieSpan> span;
  } cases[] = {
      {Le(0xFA123456) + Le(1000), 5008, MovieSpan{4000, 1000}},
      {Le(0xFA123456) + Le(1000), 1008, MovieSpan{0, 1000}},
      {Le(0xFA123456) + Le(1001), 1008, std::nullopt},  // reaches before the file
      {Le(0xFA123457) + Le(1000), 5008, std::nullopt},  // not the trailer
      {Le(0xFA123456) + Le(0), 5008, std::nullopt},     // no movie
      {"short", 5, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(helpers::FindProgramMovie(c.tail, c.fileSize), c.span);
}

TEST(EmbeddedMovie, ScreenSaverPiecesMustLeadExactlyToTheEnd) {
  const std::uint64_t file = 200000 + 4 + 3000 + 4;
  ASSERT_EQ(helpers::ScreenSaverStubSize("xxxx" + Le(200000), file), 200000u);
  EXPECT_EQ(helpers::ScreenSaverStubSize("xxxx" + Le(300000), file), std::nullopt);
  EXPECT_EQ(helpers::FindScreenSaverMovie(200000, Be(3000), file), (MovieSpan{200004, 3000}));
  EXPECT_EQ(helpers::FindScreenSaverMovie(200000, Be(2999), file), std::nullopt);
  EXPECT_EQ(helpers::FindScreenSaverMovie(200000, Be(0xFFFFFFFF), file), std::nullopt);
  EXPECT_EQ(helpers::FindScreenSaverMovie(200000, "abc", file), std::nullopt);
}
