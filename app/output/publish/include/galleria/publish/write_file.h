#pragma once
// Builds a file as a copy of a base file followed by appended pieces; both the data block of a
// published movie and the movie itself are made this way. Lengths are 32-bit big-endian.

#include <cstdint>
#include <filesystem>
#include <fstream>

namespace galleria::publish {

struct TFileInfo {
  std::uint32_t szSize = 0;    // payload bytes
  std::uint32_t szOffset = 0;  // where the piece begins (its length field, when it has one)
};

class TWriteFile {
 public:
  // Copies `baseFile` over `outFile` (creating its folder) and opens the copy for appending.
  // Throws GalleriaError "File Not Found <base>" when the base file does not exist.
  TWriteFile(const std::filesystem::path& baseFile, const std::filesystem::path& outFile);
  ~TWriteFile();
  TWriteFile(const TWriteFile&) = delete;
  TWriteFile& operator=(const TWriteFile&) = delete;

  // The five-byte marker "*****".
  void WriteFlag();
  // A big-endian length, then the whole file. Throws "File Not Found <file>" when it is missing.
  TFileInfo WriteFileData(const std::filesystem::path& file);
  // `size` bytes of `source` from `offset`, without a length field. Throws when the source does
  // not hold them all: a short piece would corrupt the movie.
  TFileInfo WriteBufData(std::istream& source, std::uint64_t offset, std::uint64_t size);
  // A 32-bit little-endian value.
  void WriteFileSize(std::uint32_t size);
  // Flushes and closes; throws when the data did not reach the disk. The destructor closes too
  // but cannot report.
  void Close();

  const std::filesystem::path& OutFile() const { return outFile_; }

 private:
  std::uint32_t EndOffset();
  void Append(const char* data, std::size_t size);
  void AppendLength(std::uint32_t length);
  void CopyFrom(std::istream& source, std::uint64_t size);

  std::filesystem::path outFile_;
  std::fstream out_;
};

}  // namespace galleria::publish
