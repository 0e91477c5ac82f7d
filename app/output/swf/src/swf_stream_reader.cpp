#include "galleria/swf/swf_stream_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <system_error>

#include "galleria/error.h"

namespace fs = std::filesystem;

namespace galleria::swf {
namespace {

constexpr std::size_t kChunk = 64 * 1024;

std::string ReadAll(std::streambuf& stream) {
  std::string bytes;
  char buffer[kChunk];
  for (std::streamsize n; (n = stream.sgetn(buffer, sizeof buffer)) > 0;)
    bytes.append(buffer, static_cast<std::size_t>(n));
  return bytes;
}

// Inflates at most `limit` bytes; the declared size of a movie is never trusted for allocation.
std::string Inflate(const std::string& compressed, std::size_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw GalleriaError("Cannot start decompressing the movie");
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  z.avail_in = static_cast<uInt>(compressed.size());
  std::string out;
  char buffer[kChunk];
  int status = Z_OK;
  while (out.size() < limit && status == Z_OK) {
    const std::size_t room = std::min(sizeof buffer, limit - out.size());
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = static_cast<uInt>(room);
    status = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, room - z.avail_out);
  }
  inflateEnd(&z);
  if (status != Z_OK && status != Z_STREAM_END)
    throw GalleriaError("The compressed movie is corrupt");
  return out;
}

}  // namespace

void TSWFStreamReader::LoadFromFile(const fs::path& file) {
  std::filebuf in;
  if (!in.open(file, std::ios::in | std::ios::binary))
    throw GalleriaError("Cannot open movie " + file.string());
  LoadFromStream(in);
}

void TSWFStreamReader::LoadFromStream(std::streambuf& stream) {
  const std::string bytes = ReadAll(stream);
  if (bytes.size() < 4) {
    isSWF_ = false;
    return;
  }
  const std::string sign = bytes.substr(0, 3);
  if (sign != "FWS" && sign != "CWS") {
    isSWF_ = false;
    return;
  }
  if (bytes.size() < 8) throw GalleriaError("Unexpected end of movie data");

  TSWFHeader header = SWFHeader;
  std::copy_n(bytes.begin(), 3, header.SIGN.begin());
  header.Version = static_cast<std::uint8_t>(bytes[3]);
  std::uint32_t fileSize = 0;
  for (int i = 0; i < 4; ++i)
    fileSize |= std::uint32_t{static_cast<std::uint8_t>(bytes[4 + i])} << (8 * i);
  header.FileSize = static_cast<std::int32_t>(fileSize);

  const bool compressed = sign == "CWS";
  std::stringbuf rest(compressed ? Inflate(bytes.substr(8), fileSize > 8 ? fileSize - 8 : 0)
                                 : bytes.substr(8));
  TBitsEngine bits(rest);
  std::swap(header, SWFHeader);
  try {
    ReadHeaderRest(bits);
  } catch (...) {
    std::swap(header, SWFHeader);
    throw;
  }
  body_ = ReadAll(rest);
  sign_ = sign;
  compressed_ = compressed;
  isSWF_ = true;
}

void TSWFStreamReader::ReadHeaderRest(TBitsEngine& bits) {
  SWFHeader.MovieRect = bits.ReadRect();
  const std::uint8_t fraction = bits.ReadByte();
  const std::uint8_t whole = bits.ReadByte();
  SWFHeader.FPS = static_cast<std::uint16_t>((whole << 8) | fraction);
  SWFHeader.FramesCount = bits.ReadWord();
}

void TSWFStreamReader::WriteHeaderRest(TBitsEngine& bits) {
  bits.WriteRect(SWFHeader.MovieRect);
  bits.WriteWord(SWFHeader.FPS);
  bits.WriteWord(SWFHeader.FramesCount);
}

int TSWFStreamReader::GetHeaderSize() const {
  const TRect& r = SWFHeader.MovieRect;
  const int nbits = SignedFieldWidth({r.Left, r.Right, r.Top, r.Bottom});
  return (nbits * 4 + 5 + 7) / 8 + 12;
}

void TSWFStreamReader::SaveToFile(const fs::path& file) {
  std::error_code ec;
  fs::remove(file, ec);
  std::filebuf out;
  if (!out.open(file, std::ios::out | std::ios::binary | std::ios::trunc))
    throw GalleriaError("Cannot write movie " + file.string());
  SaveToStream(out);
  if (!out.close()) throw GalleriaError("Cannot write movie " + file.string());
}

void TSWFStreamReader::SaveToStream(std::streambuf& stream) {
  SWFHeader.FileSize =
      static_cast<std::int32_t>(body_.size() + static_cast<std::size_t>(GetHeaderSize()));
  SWFHeader.SIGN = compressed_ ? std::array{'C', 'W', 'S'} : std::array{'F', 'W', 'S'};
  if (compressed_) SetVersion(SWFHeader.Version);

  TBitsEngine fixed(stream);
  for (char c : SWFHeader.SIGN) fixed.WriteByte(static_cast<std::uint8_t>(c));
  fixed.WriteByte(SWFHeader.Version);
  fixed.WriteDWord(static_cast<std::uint32_t>(SWFHeader.FileSize));

  if (!compressed_) {
    WriteHeaderRest(fixed);
    if (stream.sputn(body_.data(), static_cast<std::streamsize>(body_.size())) !=
        static_cast<std::streamsize>(body_.size()))
      throw GalleriaError("Cannot write movie data");
    return;
  }

  std::stringbuf headerRest;
  TBitsEngine bits(headerRest);
  WriteHeaderRest(bits);
  const std::string head = headerRest.str();

  z_stream z{};
  if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK)
    throw GalleriaError("Cannot start compressing the movie");
  char buffer[kChunk];
  const auto pump = [&](const char* data, std::size_t size, int flush) {
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z.avail_in = static_cast<uInt>(size);
    do {
      z.next_out = reinterpret_cast<Bytef*>(buffer);
      z.avail_out = sizeof buffer;
      deflate(&z, flush);
      const auto produced = static_cast<std::streamsize>(sizeof buffer - z.avail_out);
      if (stream.sputn(buffer, produced) != produced) {
        deflateEnd(&z);
        throw GalleriaError("Cannot write movie data");
      }
    } while (z.avail_out == 0);
  };
  pump(head.data(), head.size(), Z_NO_FLUSH);
  for (std::size_t done = 0; done < body_.size();) {
    const std::size_t n = std::min(kChunk, body_.size() - done);
    pump(body_.data() + done, n, Z_NO_FLUSH);
    done += n;
    if (OnProgress) OnProgress(static_cast<int>(std::lround(done * 100.0 / body_.size())), 2);
  }
  pump(nullptr, 0, Z_FINISH);
  deflateEnd(&z);
}

void TSWFStreamReader::SetCompressed(bool compressed) {
  compressed_ = compressed;
  if (compressed) SetVersion(SWFHeader.Version);
}

void TSWFStreamReader::SetVersion(std::uint8_t version) {
  SWFHeader.Version = compressed_ ? std::max<std::uint8_t>(version, 6) : version;
}

std::int32_t TSWFStreamReader::Width() const {
  return (SWFHeader.MovieRect.Right - SWFHeader.MovieRect.Left) / 20;
}

std::int32_t TSWFStreamReader::Height() const {
  return (SWFHeader.MovieRect.Bottom - SWFHeader.MovieRect.Top) / 20;
}

namespace {

std::int32_t EdgeInTwips(std::int32_t start, std::int32_t pixels) {
  const std::int64_t edge = std::int64_t{start} + std::int64_t{pixels} * 20;
  if (edge < INT32_MIN || edge > INT32_MAX) throw GalleriaError("Stage size out of range");
  return static_cast<std::int32_t>(edge);
}

}  // namespace

void TSWFStreamReader::SetWidth(std::int32_t pixels) {
  SWFHeader.MovieRect.Right = EdgeInTwips(SWFHeader.MovieRect.Left, pixels);
}

void TSWFStreamReader::SetHeight(std::int32_t pixels) {
  SWFHeader.MovieRect.Bottom = EdgeInTwips(SWFHeader.MovieRect.Top, pixels);
}

float TSWFStreamReader::FPS() const {
  return static_cast<float>(SWFHeader.FPS >> 8) + static_cast<float>(SWFHeader.FPS & 0xFF) / 256.0f;
}

void TSWFStreamReader::SetFPS(float fps) {
  const float whole = std::floor(fps);
  const long fraction = std::lround((fps - whole) * 256.0f);
  SWFHeader.FPS = static_cast<std::uint16_t>((static_cast<int>(whole) << 8) + fraction);
}

void ChangeStageSize(const fs::path& baseMovie, const fs::path& output, std::int32_t width,
                     std::int32_t height) {
  std::error_code ec;
  if (!fs::exists(baseMovie, ec)) throw GalleriaError(baseMovie.string() + " do not exists.");
  TSWFStreamReader movie(baseMovie);
  if (!movie.IsSWF()) throw GalleriaError(baseMovie.string() + " is not a movie.");
  movie.SetWidth(width);
  movie.SetHeight(height);
  movie.SaveToFile(output);
}

}  // namespace galleria::swf
