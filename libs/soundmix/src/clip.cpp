#include "clip.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace ovra::soundmix {

namespace {

using Wide = __int128;

std::int64_t saturate(Wide v) {
  constexpr auto lo = std::numeric_limits<std::int64_t>::min();
  constexpr auto hi = std::numeric_limits<std::int64_t>::max();
  return v < lo ? lo : v > hi ? hi : static_cast<std::int64_t>(v);
}

std::int16_t clamp16(Wide v) {
  return static_cast<std::int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

// A block is 2048 samples; the carry-over must hold what is left of one request plus the
// largest frame the library hands out.
constexpr std::size_t kCarrySamples = 2048 + OVRA_AUDIO_FRAME_BYTES / 2;

}  // namespace

std::int64_t scale(std::int64_t a, std::int64_t b, std::int64_t c) {
  return c == 0 ? 0 : saturate(Wide{a} * b / c);
}

std::int64_t scaleFloor(std::int64_t a, std::int64_t b, std::int64_t c) {
  if (c == 0) return 0;
  const Wide n = Wide{a} * b;
  Wide q = n / c;
  if ((n % c != 0) && ((n < 0) != (c < 0))) --q;
  return saturate(q);
}

Span spanOf(const TMusicElement& r) {
  const std::int64_t length = r.nClipValidate ? r.llClipLength : r.llFileLength;
  return {r.llStartPlayTime, std::max<std::int64_t>(0, length)};
}

bool validSettings(const TMusicElement& r, std::int64_t fileLength) {
  if (r.llClipStart < 0 || r.llClipLength < 0 || r.llStartPlayTime < 0 || r.llFadeInLength < 0 ||
      r.llFadeOutLength < 0)
    return false;
  // Sums in 128 bits: records come from callers, and huge values must not wrap into valid ones.
  if (Wide{r.llClipStart} + r.llClipLength > fileLength) return false;
  return Wide{r.llFadeInLength} + r.llFadeOutLength <= r.llClipLength;
}

Clip::Clip(const std::string& path) {
  if (!OvraMallocFileFormatInfo(&info_)) throw std::runtime_error("no memory");
  media_ = OvraLoadMediaFile(path.c_str(), info_);
  if (!media_) {
    OvraFreeFileFormatInfo(info_);
    throw std::runtime_error("cannot open the file");
  }
  const OvraStreamInfo* sound = nullptr;
  for (int i = 0; i < info_->streamCount && !sound; ++i)
    if (info_->streams[i].type == OVRA_STREAM_AUDIO) sound = &info_->streams[i];
  if (!sound) {
    OvraUnloadMediaFile(media_);
    OvraFreeFileFormatInfo(info_);
    throw std::runtime_error("the file has no sound");
  }
  fileLength_ = scale(sound->duration, kSecond, 1);
}

Clip::~Clip() {
  OvraUnloadMediaFile(media_);
  OvraFreeFileFormatInfo(info_);
}

bool Clip::prepare(std::int32_t rate, std::int32_t channels, std::int64_t origin) {
  if (!OvraResample(rate, 16, channels, media_)) return false;
  rate_ = rate;
  channels_ = channels;
  const std::int64_t perSecond = std::int64_t{rate} * channels;
  const Span span = spanOf(record);
  total_ = scale(span.length, perSecond, kSecond);
  fadeIn_ = scale(std::max<std::int64_t>(0, record.llFadeInLength), perSecond, kSecond);
  fadeOut_ = scale(std::max<std::int64_t>(0, record.llFadeOutLength), perSecond, kSecond);
  volume_ = record.nVolume;
  // Placed on a whole sample frame, so that channels never trade places between clips.
  first_ = saturate(Wide{scaleFloor(span.start - origin, rate, kSecond)} * channels);
  trimmed_ = record.nClipValidate != 0;
  trimStart_ = trimmed_ ? std::max<std::int64_t>(0, record.llClipStart) : 0;
  trimEnd_ = saturate(Wide{trimStart_} + span.length);
  return true;
}

void Clip::seekMedia(std::int64_t time) {
  // Seeking to the start opens the file again; a clip not yet read needs none of that.
  if (untouched_ && mediaAt_ == time) return;
  OvraSeekMediaFile(time, media_);
  mediaAt_ = time;
  untouched_ = true;
}

void Clip::seekTo(std::int64_t position) {
  carryBegin_ = carryEnd_ = 0;
  fileEnded_ = false;
  delivered_ = 0;
  if (position > first_ && position < endSample()) {
    delivered_ = position - first_;
    // Rounded up: the library rounds the time back down to a sample, and must land on this one.
    const Wide frames = delivered_ / channels_;
    const std::int64_t into = saturate((frames * kSecond + rate_ - 1) / rate_);
    seekMedia(saturate(Wide{trimStart_} + into));
  } else {
    seekMedia(trimStart_);
  }
}

bool Clip::refill(std::size_t wanted) {
  // The 1.1 MB of decode buffers come with the first mix, so that a component holding many clips
  // that only tell their lengths stays small.
  if (!frame_) {
    frame_ = std::make_unique<tagAudioFrame>();
    carry_.resize(kCarrySamples);
  }
  while (carryEnd_ - carryBegin_ < wanted && !fileEnded_) {
    OvraFlushVideo(media_);
    untouched_ = false;
    if (!OvraGetNextAudioFrame(frame_.get(), media_) ||
        (trimmed_ && frame_->startTime != OVRA_NO_TIME && frame_->startTime >= trimEnd_)) {
      fileEnded_ = true;
      break;
    }
    const auto count =
        static_cast<std::size_t>(std::clamp(frame_->byteCount, 0, OVRA_AUDIO_FRAME_BYTES) / 2);
    if (carryEnd_ + count > carry_.size()) {
      std::memmove(carry_.data(), carry_.data() + carryBegin_,
                   (carryEnd_ - carryBegin_) * sizeof(std::int16_t));
      carryEnd_ -= carryBegin_;
      carryBegin_ = 0;
    }
    std::memcpy(carry_.data() + carryEnd_, frame_->samples, count * sizeof(std::int16_t));
    carryEnd_ += count;
  }
  return carryEnd_ > carryBegin_;
}

// Volume, then the fades, on sample number n (counted from 1), truncated once at the end.
std::int16_t Clip::shape(std::int32_t sample, std::int64_t n) const {
  Wide num = sample;
  Wide den = 1;
  if (volume_ != 100) {
    num *= volume_;
    den *= 100;
  }
  if (n < fadeIn_) {
    num *= n;
    den *= fadeIn_;
  }
  if (fadeOut_ > 0 && n > total_ - fadeOut_) {
    num *= total_ - n;
    den *= fadeOut_;
  }
  return clamp16(num / den);
}

int Clip::next(std::int16_t* out, int count) {
  const std::int64_t left = total_ - delivered_;
  if (left <= 0 || count <= 0) return 0;
  const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(count, left));
  if (!refill(wanted)) return 0;
  const std::size_t n = std::min(wanted, carryEnd_ - carryBegin_);
  const std::int16_t* in = carry_.data() + carryBegin_;
  const std::int64_t firstN = delivered_ + 1;
  const std::int64_t lastN = delivered_ + static_cast<std::int64_t>(n);
  const bool plain =
      volume_ == 100 && firstN >= fadeIn_ && (fadeOut_ <= 0 || lastN <= total_ - fadeOut_);
  if (plain) {
    std::memcpy(out, in, n * sizeof(std::int16_t));
  } else {
    for (std::size_t i = 0; i < n; ++i)
      out[i] = shape(in[i], firstN + static_cast<std::int64_t>(i));
  }
  delivered_ = lastN;
  carryBegin_ += n;
  return static_cast<int>(n);
}

}  // namespace ovra::soundmix
