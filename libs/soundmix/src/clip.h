#pragma once
// One clip: its record, its opened file and what the mixer needs to take samples from it.

#include "soundmix/soundmix.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ovra::soundmix {

constexpr std::int64_t kSecond = 10000000;

// a * b / c without overflow, truncated towards zero and limited to the 64-bit range.
std::int64_t scale(std::int64_t a, std::int64_t b, std::int64_t c);
// a * b / c rounded towards minus infinity (for positions that may lie before the origin).
std::int64_t scaleFloor(std::int64_t a, std::int64_t b, std::int64_t c);

// Where a record puts its clip, with impossible values (negative lengths, trims and fades, which a
// caller may write into the record directly) read as 0.
struct Span {
  std::int64_t start;   // llStartPlayTime
  std::int64_t length;  // llClipLength or llFileLength, as nClipValidate says
  std::int64_t end() const { return start + length; }
};
Span spanOf(const TMusicElement& record);
// What OvraUpdateMusicElement accepts; fileLength stands in for a record without its own.
bool validSettings(const TMusicElement& record, std::int64_t fileLength);

class Clip {
 public:
  // Opens the file's first sound stream; throws std::runtime_error with the reason otherwise.
  explicit Clip(const std::string& path);
  ~Clip();
  Clip(const Clip&) = delete;
  Clip& operator=(const Clip&) = delete;

  // The stream's duration as the library reports it (whole seconds), in 100 ns.
  std::int64_t fileLength() const { return fileLength_; }

  // Fixes the plan for one run of the mixer from the record: output format (rate, channels), the
  // clip's place relative to the timeline origin, its sample counts. False when the library
  // refuses the format. The mixer reads only the plan, never the record, while it runs.
  bool prepare(std::int32_t rate, std::int32_t channels, std::int64_t origin);
  // Positions the clip for the timeline sample position (a whole sample frame): inside its span
  // at the matching sample, elsewhere at its start.
  void seekTo(std::int64_t position);
  // Up to count samples (single 16-bit values) of the clip into out, volume and fades applied;
  // fewer at its end, 0 once it has ended.
  int next(std::int16_t* out, int count);

  // The clip's span in timeline samples, from the origin.
  std::int64_t firstSample() const { return first_; }
  std::int64_t endSample() const { return first_ + total_; }

  TMusicElement record{};

 private:
  void seekMedia(std::int64_t time);
  bool refill(std::size_t wanted);
  std::int16_t shape(std::int32_t sample, std::int64_t n) const;

  OvraFileFormatInfo* info_ = nullptr;
  OvraMedia* media_ = nullptr;
  std::int64_t fileLength_ = 0;

  // The plan.
  std::int32_t channels_ = 0;
  std::int32_t rate_ = 0;
  std::int64_t first_ = 0;
  std::int64_t total_ = 0;
  std::int64_t fadeIn_ = 0;
  std::int64_t fadeOut_ = 0;
  std::int32_t volume_ = 100;
  std::int64_t trimStart_ = 0;  // within the file
  std::int64_t trimEnd_ = 0;    // within the file; frames starting at or after it are not used
  bool trimmed_ = false;

  // Reading state.
  std::int64_t delivered_ = 0;
  bool fileEnded_ = false;
  std::int64_t mediaAt_ = 0;  // where the file was last positioned, while nothing has been read
  bool untouched_ = true;     // nothing read since the file was opened or positioned
  std::unique_ptr<tagAudioFrame> frame_;
  std::vector<std::int16_t> carry_;  // decoded samples not delivered yet
  std::size_t carryBegin_ = 0;
  std::size_t carryEnd_ = 0;
};

}  // namespace ovra::soundmix
