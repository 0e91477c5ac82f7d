#include "galleria/swf/swf_stream_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "galleria/error.h"

namespace fs = std::filesystem;
using namespace galleria;
using namespace galleria::swf;

namespace {

// A body of two tags (ShowFrame, End) and bytes that follow the last tag.
const std::string kBody("\x40\x00\x00\x00trailing", 12);

// An uncompressed movie of 0..19200 x 0..10800 twips at 24.5 fps with 1 frame, built by hand.
std::string HandMadeMovie() {
  std::string m = "FWS";
  m.push_back(9);
  const std::uint32_t size = 21 + static_cast<std::uint32_t>(kBody.size());
  for (int i = 0; i < 4; ++i) m.push_back(static_cast<char>(size >> (8 * i)));
  // RECT: nbits 16 = 10000, then 0, 19200, 0, 10800 in 16 bits each, padded: 69 bits, 9 bytes.
  m += std::string("\x80\x00\x02\x58\x00\x00\x01\x51\x80", 9);
  m += std::string("\x80\x18\x01\x00", 4);  // 24.5 fps, 1 frame
  return m + kBody;
}

std::string Compress(const std::string& movie) {
  uLongf size = compressBound(static_cast<uLong>(movie.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size,
           reinterpret_cast<const Bytef*>(movie.data()) + 8, static_cast<uLong>(movie.size() - 8));
  out.resize(size);
  return "CWS" + movie.substr(3, 5) + out;
}

std::string Decompressed(const std::string& cws) {
  std::string out(1 << 20, '\0');
  uLongf size = static_cast<uLongf>(out.size());
  EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(out.data()), &size,
                       reinterpret_cast<const Bytef*>(cws.data()) + 8,
                       static_cast<uLong>(cws.size() - 8)),
            Z_OK);
  out.resize(size);
  return "FWS" + cws.substr(3, 5) + out;
}

std::string Saved(TSWFStreamReader& movie) {
  std::stringbuf out;
  movie.SaveToStream(out);
  return out.str();
}

TSWFStreamReader Loaded(const std::string& bytes) {
  std::stringbuf in(bytes);
  TSWFStreamReader movie;
  movie.LoadFromStream(in);
  return movie;
}

}  // namespace

TEST(SWFStreamReader, UncompressedMovieRoundTripsByteForByte) {
  TSWFStreamReader movie = Loaded(HandMadeMovie());
  ASSERT_TRUE(movie.IsSWF());
  EXPECT_FALSE(movie.Compressed());
  EXPECT_EQ(movie.Width(), 960);
  EXPECT_EQ(movie.Height(), 540);
  EXPECT_EQ(movie.FPS(), 24.5f) << "the fraction of the frame rate is kept";
  EXPECT_EQ(movie.FramesCount(), 1);
  EXPECT_EQ(movie.GetHeaderSize(), 21);
  EXPECT_EQ(movie.BodyStream(), kBody) << "bytes after the last tag stay in the body";
  EXPECT_EQ(Saved(movie), HandMadeMovie());
}

TEST(SWFStreamReader, CompressedMovieGetsANewStageAndStaysCompressed) {
  TSWFStreamReader movie = Loaded(Compress(HandMadeMovie()));
  ASSERT_TRUE(movie.IsSWF());
  EXPECT_TRUE(movie.Compressed());
  EXPECT_EQ(movie.BodyStream(), kBody);
  movie.SetWidth(1920);
  movie.SetHeight(1080);
  EXPECT_EQ(movie.MovieRect(), (TRect{0, 0, 38400, 21600}));
  int last = -1;
  movie.OnProgress = [&](int percent, int stage) {
    EXPECT_GE(percent, last);
    EXPECT_EQ(stage, 2);
    last = percent;
  };
  const std::string saved = Saved(movie);
  EXPECT_EQ(last, 100);
  ASSERT_EQ(saved.substr(0, 3), "CWS");
  const std::string plain = Decompressed(saved);
  TSWFStreamReader back = Loaded(plain);
  EXPECT_EQ(back.Width(), 1920);
  EXPECT_EQ(back.Height(), 1080);
  EXPECT_EQ(back.SWFHeader.FileSize, static_cast<std::int32_t>(plain.size()));
  EXPECT_EQ(back.BodyStream(), kBody);
}

TEST(SWFStreamReader, CompressionRaisesTheVersion) {
  TSWFStreamReader movie = Loaded(HandMadeMovie());
  movie.SetVersion(4);
  EXPECT_EQ(movie.Version(), 4);
  movie.SetCompressed(true);
  EXPECT_EQ(movie.Version(), 6);
  movie.SetVersion(5);
  EXPECT_EQ(movie.Version(), 6);
}

TEST(SWFStreamReader, NotAMovieLeavesEverythingAsItWas) {
  TSWFStreamReader movie = Loaded(HandMadeMovie());
  for (const std::string& bytes :
       {std::string("FWS"), std::string("GIF89a-------"), std::string()}) {
    std::stringbuf in(bytes);
    movie.LoadFromStream(in);
    EXPECT_FALSE(movie.IsSWF());
    EXPECT_EQ(movie.Width(), 960);
    EXPECT_EQ(movie.BodyStream(), kBody);
  }
}

TEST(SWFStreamReader, BrokenMoviesThrowWithoutTrustingTheirSizes) {
  const std::string good = Compress(HandMadeMovie());
  std::string hugeDeclared = good;
  hugeDeclared[7] = '\x7F';  // claims almost 2 GB uncompressed
  TSWFStreamReader lying = Loaded(hugeDeclared);
  EXPECT_EQ(lying.BodyStream(), kBody) << "what is really there is read, nothing more";

  const std::string cases[] = {
      good.substr(0, good.size() - 6),        // compressed stream cut short
      good.substr(0, 8) + "not zlib at all",  // corrupt compressed data
      HandMadeMovie().substr(0, 12),          // header cut inside the RECT
      std::string("FWS\x09\x05\x00", 6),      // not even the fixed header
  };
  for (const std::string& bytes : cases) {
    TSWFStreamReader movie = Loaded(HandMadeMovie());
    std::stringbuf in(bytes);
    EXPECT_THROW(movie.LoadFromStream(in), GalleriaError);
    EXPECT_EQ(movie.Width(), 960) << "a failed load keeps the header";
  }
}

TEST(SWFStreamReader, ChangeStageSizeRewritesOnlyTheStage) {
  const fs::path dir = fs::temp_directory_path() / ("swf-test-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path base = dir / "base.swf";
  std::ofstream(base, std::ios::binary) << Compress(HandMadeMovie());
  std::ofstream(dir / "out.swf") << "old contents";

  ChangeStageSize(base, dir / "out.swf", 800, 600);
  TSWFStreamReader out(dir / "out.swf");
  EXPECT_TRUE(out.Compressed());
  EXPECT_EQ(out.Width(), 800);
  EXPECT_EQ(out.Height(), 600);
  EXPECT_EQ(out.FPS(), 24.5f);
  EXPECT_EQ(out.Version(), 9);
  EXPECT_EQ(out.BodyStream(), kBody);

  try {
    ChangeStageSize(dir / "missing.swf", dir / "x.swf", 1, 1);
    ADD_FAILURE();
  } catch (const GalleriaError& e) {
    EXPECT_EQ(std::string(e.what()), (dir / "missing.swf").string() + " do not exists.");
  }
  std::ofstream(dir / "text.swf") << "hello, not a movie";
  EXPECT_THROW(ChangeStageSize(dir / "text.swf", dir / "x.swf", 1, 1), GalleriaError);
  EXPECT_FALSE(fs::exists(dir / "x.swf"));
  EXPECT_THROW(TSWFStreamReader().SetWidth(200000000), GalleriaError);
  fs::remove_all(dir);
}
