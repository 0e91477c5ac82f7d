#pragma once
// An MP3 file written by LAME from interleaved 16-bit PCM.

#include "codecs-api/codecs.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

struct lame_global_struct;

struct OvraEncoder {
 public:
  explicit OvraEncoder(const OvraEncoderParams& params);  // throws CodecError
  ~OvraEncoder();
  OvraEncoder(const OvraEncoder&) = delete;
  OvraEncoder& operator=(const OvraEncoder&) = delete;

  void add(const void* pcm, std::int32_t bytes);
  void close();

 private:
  void write(const std::uint8_t* data, std::size_t bytes);

  // Owners, so that a constructor that throws half-way leaks neither.
  struct CloseLame {
    void operator()(lame_global_struct* lame) const;
  };
  struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::unique_ptr<lame_global_struct, CloseLame> lame_;
  std::unique_ptr<std::FILE, CloseFile> file_;
  std::string path_;
  int channels_ = 0;
  bool closed_ = false;
  std::vector<std::uint8_t> mp3_;
  std::vector<std::int16_t> aligned_;  // PCM handed in at an odd address
};
