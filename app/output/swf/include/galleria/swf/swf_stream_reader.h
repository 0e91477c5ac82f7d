#pragma once
// Splits an SWF movie into its header and its body, lets the caller change the header (stage
// size, frame rate, version, compression) and writes the movie back, recompressing it when asked.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <streambuf>
#include <string>

#include "galleria/swf/bits_engine.h"

namespace galleria::swf {

struct TSWFHeader {
  std::array<char, 3> SIGN{'F', 'W', 'S'};
  std::uint8_t Version = 9;
  std::int32_t FileSize = 0;  // of the whole movie uncompressed, header included
  TRect MovieRect;            // twips
  std::uint16_t FPS = 0;      // 8.8 fixed point
  std::uint16_t FramesCount = 0;
};

class TSWFStreamReader {
 public:
  // Called while compressing on save: percent of the body consumed, and the stage (always 2).
  using ProgressHandler = std::function<void(int percent, int stage)>;

  TSWFStreamReader() = default;
  explicit TSWFStreamReader(const std::filesystem::path& file) { LoadFromFile(file); }

  // A stream that does not start with "FWS" or "CWS" leaves the object as it was and IsSWF()
  // false. A movie that ends early or whose compressed body is corrupt throws GalleriaError.
  void LoadFromFile(const std::filesystem::path& file);
  void LoadFromStream(std::streambuf& stream);
  void SaveToFile(const std::filesystem::path& file);
  void SaveToStream(std::streambuf& stream);

  // Bytes of the header as it will be written for the current stage rectangle.
  int GetHeaderSize() const;

  bool IsSWF() const { return isSWF_; }
  const std::string& Sign() const { return sign_; }
  bool Compressed() const { return compressed_; }
  void SetCompressed(bool compressed);
  std::uint8_t Version() const { return SWFHeader.Version; }
  void SetVersion(std::uint8_t version);
  std::int32_t Width() const;  // pixels
  std::int32_t Height() const;
  void SetWidth(std::int32_t pixels);
  void SetHeight(std::int32_t pixels);
  float FPS() const;
  void SetFPS(float fps);
  const TRect& MovieRect() const { return SWFHeader.MovieRect; }
  std::uint16_t FramesCount() const { return SWFHeader.FramesCount; }

  // Everything after the header, uncompressed.
  std::string& BodyStream() { return body_; }

  TSWFHeader SWFHeader;
  ProgressHandler OnProgress;

 private:
  void ReadHeaderRest(TBitsEngine& bits);
  void WriteHeaderRest(TBitsEngine& bits);

  bool isSWF_ = false;
  bool compressed_ = false;
  std::string sign_;
  std::string body_;
};

// Writes `baseMovie` with a stage of width x height pixels to `output` (replaced when present);
// the body, version, frame rate and compression are carried over. Throws GalleriaError
// "<base> do not exists." for a missing base movie and when it is not a movie at all.
void ChangeStageSize(const std::filesystem::path& baseMovie, const std::filesystem::path& output,
                     std::int32_t width, std::int32_t height);

}  // namespace galleria::swf
