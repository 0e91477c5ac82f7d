#include "galleria/publish/write_file.h"

#include <algorithm>
#include <system_error>
#include <vector>

#include "galleria/error.h"

namespace fs = std::filesystem;

namespace galleria::publish {
namespace {

constexpr std::uint64_t kMaxOffset = UINT32_MAX;

[[noreturn]] void FileNotFound(const fs::path& file) {
  throw GalleriaError("File Not Found " + file.string());
}

std::uint32_t Checked32(std::uint64_t value) {
  // Offsets and lengths are 32-bit fields in the layout; a larger value cannot be recorded.
  if (value > kMaxOffset) throw GalleriaError("The published movie would be larger than 4 GB");
  return static_cast<std::uint32_t>(value);
}

}  // namespace

TWriteFile::TWriteFile(const fs::path& baseFile, const fs::path& outFile) : outFile_(outFile) {
  std::error_code ec;
  if (outFile.has_parent_path()) fs::create_directories(outFile.parent_path(), ec);
  if (!fs::is_regular_file(baseFile, ec)) FileNotFound(baseFile);
  fs::copy_file(baseFile, outFile, fs::copy_options::overwrite_existing, ec);
  if (ec) throw GalleriaError("Cannot write " + outFile.string() + ": " + ec.message());
  fs::permissions(outFile,
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::others_read,
                  ec);
  out_.open(outFile, std::ios::in | std::ios::out | std::ios::binary);
  if (!out_) throw GalleriaError("Cannot write " + outFile.string());
}

TWriteFile::~TWriteFile() {
  if (out_.is_open()) out_.close();
}

std::uint32_t TWriteFile::EndOffset() {
  out_.seekp(0, std::ios::end);
  return Checked32(static_cast<std::uint64_t>(out_.tellp()));
}

void TWriteFile::Append(const char* data, std::size_t size) {
  out_.seekp(0, std::ios::end);
  if (!out_.write(data, static_cast<std::streamsize>(size)))
    throw GalleriaError("Cannot write " + outFile_.string());
}

void TWriteFile::AppendLength(std::uint32_t length) {
  const char bytes[4] = {static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                         static_cast<char>(length >> 8), static_cast<char>(length)};
  Append(bytes, sizeof bytes);
}

void TWriteFile::CopyFrom(std::istream& source, std::uint64_t size) {
  std::vector<char> buffer(1 << 20);
  for (std::uint64_t left = size; left > 0;) {
    const auto n = static_cast<std::streamsize>(std::min<std::uint64_t>(left, buffer.size()));
    if (!source.read(buffer.data(), n)) throw GalleriaError("A piece of the movie ends early");
    Append(buffer.data(), static_cast<std::size_t>(n));
    left -= static_cast<std::uint64_t>(n);
  }
}

void TWriteFile::WriteFlag() {
  Append("*****", 5);
}

TFileInfo TWriteFile::WriteFileData(const fs::path& file) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) FileNotFound(file);
  std::ifstream in(file, std::ios::binary);
  if (!in) FileNotFound(file);
  const std::uint32_t size = Checked32(fs::file_size(file, ec));
  TFileInfo info{size, EndOffset()};
  Checked32(std::uint64_t{info.szOffset} + 4 + size);
  AppendLength(size);
  CopyFrom(in, size);
  return info;
}

TFileInfo TWriteFile::WriteBufData(std::istream& source, std::uint64_t offset, std::uint64_t size) {
  TFileInfo info{Checked32(size), EndOffset()};
  Checked32(std::uint64_t{info.szOffset} + size);
  source.clear();
  if (!source.seekg(static_cast<std::streamoff>(offset)))
    throw GalleriaError("A piece of the movie ends early");
  CopyFrom(source, size);
  return info;
}

void TWriteFile::WriteFileSize(std::uint32_t size) {
  const char bytes[4] = {static_cast<char>(size), static_cast<char>(size >> 8),
                         static_cast<char>(size >> 16), static_cast<char>(size >> 24)};
  Append(bytes, sizeof bytes);
}

void TWriteFile::Close() {
  out_.flush();
  const bool ok = static_cast<bool>(out_);
  out_.close();
  if (!ok || out_.fail()) throw GalleriaError("Cannot write " + outFile_.string());
}

}  // namespace galleria::publish
