#include "encoder.h"

#include "log.h"

#include <lame/lame.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

using ovra::codecs::CodecError;

// The bit rates an MP3 frame header can carry, in kbit/s: MPEG-1 for 32000 Hz and up, MPEG-2
// and 2.5 below.
constexpr int kMpeg1Rates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr int kMpeg2Rates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kSampleRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};

template <std::size_t N>
bool contains(const int (&values)[N], int v) {
  return std::find(std::begin(values), std::end(values), v) != std::end(values);
}

void check(bool ok, const std::string& what) {
  if (!ok) throw CodecError(what);
}

}  // namespace

OvraEncoder::OvraEncoder(const OvraEncoderParams& p) {
  check(p.outputPath && *p.outputPath, "no output path");
  check(p.outputFormat == OVRA_OUTPUT_MP3,
        "output format " + std::to_string(p.outputFormat) + " is not MP3 (16)");
  check(p.videoCodec == OVRA_NO_VIDEO, "an MP3 file carries no pictures");
  check(p.audioStreams == 1, "an MP3 file carries one sound stream");
  check(p.bitsPerSample == 16, std::to_string(p.bitsPerSample) + "-bit PCM is not accepted");
  check(p.channels == 1 || p.channels == 2, std::to_string(p.channels) + " channels");
  check(contains(kSampleRates, p.sampleRate),
        std::to_string(p.sampleRate) + " Hz is not an MP3 sample rate");
  check(p.bitRate % 1000 == 0 &&
            contains(p.sampleRate >= 32000 ? kMpeg1Rates : kMpeg2Rates, p.bitRate / 1000),
        std::to_string(p.bitRate) + " bit/s is not an MP3 bit rate at " +
            std::to_string(p.sampleRate) + " Hz");
  path_ = p.outputPath;
  channels_ = p.channels;

  lame_.reset(lame_init());
  if (!lame_) throw std::bad_alloc();
  lame_t lame = lame_.get();
  lame_set_num_channels(lame, p.channels);
  lame_set_in_samplerate(lame, p.sampleRate);
  lame_set_out_samplerate(lame, p.sampleRate);
  lame_set_mode(lame, p.channels == 1 ? MONO : JOINT_STEREO);
  lame_set_VBR(lame, vbr_off);
  lame_set_brate(lame, p.bitRate / 1000);
  // The first frame is a placeholder that close() fills with the info tag: exact length and the
  // encoder's delay and padding, so that readers know the true duration.
  lame_set_bWriteVbrTag(lame, 1);
  check(lame_init_params(lame) >= 0, "the MP3 encoder refused its settings");

  file_.reset(std::fopen(path_.c_str(), "wb"));
  check(file_ != nullptr, "cannot create " + path_ + ": " + std::strerror(errno));
  std::setvbuf(file_.get(), nullptr, _IOFBF, 1 << 16);
}

OvraEncoder::~OvraEncoder() = default;

void OvraEncoder::CloseLame::operator()(lame_global_struct* lame) const {
  lame_close(lame);
}

void OvraEncoder::write(const std::uint8_t* data, std::size_t bytes) {
  if (bytes && std::fwrite(data, 1, bytes, file_.get()) != bytes)
    throw CodecError("cannot write " + path_ + ": " + std::strerror(errno));
}

void OvraEncoder::add(const void* pcm, std::int32_t bytes) {
  check(!closed_, "the file is already complete");
  check(pcm != nullptr && bytes > 0, "no PCM");
  const int frameBytes = 2 * channels_;
  check(bytes % frameBytes == 0, std::to_string(bytes) + " bytes are not whole sample frames of " +
                                     std::to_string(frameBytes));
  const int samples = bytes / frameBytes;
  auto* in = static_cast<short*>(const_cast<void*>(pcm));  // LAME only reads it
  if (reinterpret_cast<std::uintptr_t>(pcm) % alignof(short) != 0) {
    aligned_.resize(static_cast<std::size_t>(bytes) / 2);
    std::memcpy(aligned_.data(), pcm, static_cast<std::size_t>(bytes));
    in = aligned_.data();
  }
  // LAME's own bound for the largest output of one call.
  const std::size_t bound = samples + samples / 4 + 7200;
  if (mp3_.size() < bound) mp3_.resize(bound);
  const int size = static_cast<int>(mp3_.size());
  const int n = channels_ == 2
                    ? lame_encode_buffer_interleaved(lame_.get(), in, samples, mp3_.data(), size)
                    : lame_encode_buffer(lame_.get(), in, in, samples, mp3_.data(), size);
  check(n >= 0, "the MP3 encoder failed (" + std::to_string(n) + ")");
  write(mp3_.data(), static_cast<std::size_t>(n));
}

void OvraEncoder::close() {
  check(!closed_, "the file is already complete");
  closed_ = true;
  if (mp3_.size() < 7200) mp3_.resize(7200);
  const int n = lame_encode_flush(lame_.get(), mp3_.data(), static_cast<int>(mp3_.size()));
  check(n >= 0, "the MP3 encoder failed to finish (" + std::to_string(n) + ")");
  write(mp3_.data(), static_cast<std::size_t>(n));
  const std::size_t tag = lame_get_lametag_frame(lame_.get(), mp3_.data(), mp3_.size());
  if (tag > 0 && tag <= mp3_.size()) {
    check(std::fseek(file_.get(), 0, SEEK_SET) == 0, "cannot rewind " + path_);
    write(mp3_.data(), tag);
  }
  check(std::fclose(file_.release()) == 0,
        "cannot complete " + path_ + ": " + std::strerror(errno));
}
