#include "galleria/publish/write_file.h"

#include <gtest/gtest.h>

#include <testkit/files.h>
#include <fstream>
#include <sstream>

#include "galleria/error.h"

namespace fs = std::filesystem;
using namespace galleria;
using namespace galleria::publish;

namespace {

struct WriteFile : ::testing::Test {
  WriteFile() {
    fs::remove_all(dir);
    fs::create_directories(dir);
    Put("base.bin", "BASE!");
    Put("a.jpg", "first photo");
    Put("empty.jpg", "");
  }
  ~WriteFile() override { fs::remove_all(dir); }
  void Put(const char* name, const std::string& bytes) {
    std::ofstream(dir / name, std::ios::binary) << bytes;
  }
  const fs::path dir = fs::temp_directory_path() / ("write-file-" + std::to_string(getpid()));
};

}  // namespace

TEST_F(WriteFile, AppendsPiecesBehindTheBaseCopy) {
  const fs::path out = dir / "sub" / "dir" / "out.dat";
  Put("store.bin", std::string("xx\x00\x00\x00\x03SWFyy", 11));
  std::ifstream store(dir / "store.bin", std::ios::binary);
  TWriteFile file(dir / "base.bin", out);
  const TFileInfo piece = file.WriteBufData(store, 2, 7);
  EXPECT_EQ(piece.szOffset, 5u);
  EXPECT_EQ(piece.szSize, 7u);
  file.WriteFlag();
  const TFileInfo photo = file.WriteFileData(dir / "a.jpg");
  EXPECT_EQ(photo.szOffset, 17u) << "the offset of the piece is that of its length field";
  EXPECT_EQ(photo.szSize, 11u);
  const TFileInfo empty = file.WriteFileData(dir / "empty.jpg");
  EXPECT_EQ(empty.szOffset, 32u);
  EXPECT_EQ(empty.szSize, 0u);
  file.WriteFileSize(200000);
  file.Close();
  EXPECT_EQ(testkit::ReadText(out), std::string("BASE!\x00\x00\x00\x03SWF*****\x00\x00\x00\x0b"
                                                "first photo\x00\x00\x00\x00\x40\x0d\x03\x00",
                                                40));
}

TEST_F(WriteFile, MissingFilesAndShortSourcesAreErrors) {
  try {
    TWriteFile file(dir / "nope.bin", dir / "out.dat");
    ADD_FAILURE();
  } catch (const GalleriaError& e) {
    EXPECT_EQ(std::string(e.what()), "File Not Found " + (dir / "nope.bin").string());
  }
  TWriteFile file(dir / "base.bin", dir / "out.dat");
  EXPECT_THROW(file.WriteFileData(dir / "missing.jpg"), GalleriaError);
  EXPECT_THROW(file.WriteFileData(dir), GalleriaError) << "a folder is not a piece";
  std::istringstream store("short");
  EXPECT_THROW(file.WriteBufData(store, 0, 515), GalleriaError);
  std::istringstream store2("short");
  EXPECT_THROW(file.WriteBufData(store2, 4294966781u, 515), GalleriaError)
      << "a span outside the store";
}
