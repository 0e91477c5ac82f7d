#include "media.h"

#include "log.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

namespace {

using ovra::codecs::CodecError;
using ovra::codecs::errorText;

constexpr AVRational kHundredNs{1, 10000000};
constexpr std::int32_t kMaxSide = 16384;  // keeps width * 4 * height inside 32 bits
// Larger pictures than 8192 x 8192 are refused: a damaged header must not make the decoder
// allocate gigabytes.
constexpr std::int64_t kMaxPixels = std::int64_t{8192} * 8192;
// A stream nobody reads (or flushes) must not pile up the whole file in memory.
constexpr std::size_t kMaxQueuedBytes = 64u << 20;
// Consecutive packets a decoder may reject before the stream counts as undecodable.
constexpr int kMaxDecodeFailures = 64;
constexpr int kIoBufferBytes = 32 * 1024;

AVSampleFormat sampleFormatFor(std::int32_t bits) {
  switch (bits) {
    case 8:
      return AV_SAMPLE_FMT_U8;
    case 16:
      return AV_SAMPLE_FMT_S16;
    case 32:
      return AV_SAMPLE_FMT_S32;
    default:
      return AV_SAMPLE_FMT_NONE;
  }
}

// Whole seconds, to the nearest: containers often count an encoder's delay and padding in, which
// must not add a second. A stream with any length at all is at least 1 s long, so that callers who
// size things by this value never get nothing for a short sound.
std::int64_t wholeSeconds(std::int64_t milliseconds) {
  return milliseconds <= 0 ? 0 : std::max<std::int64_t>(1, (milliseconds + 500) / 1000);
}

// The planar 8-bit formats whose planes can be blended byte by byte before scaling.
bool blendablePlanes(int format) {
  const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(format));
  if (!d || !(d->flags & AV_PIX_FMT_FLAG_PLANAR)) return false;
  if (d->flags & (AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_PAL))
    return false;
  for (int c = 0; c < d->nb_components; ++c)
    if (d->comp[c].depth != 8 || d->comp[c].step != 1) return false;
  return true;
}

// Line blending: every row becomes (above + 2 * row + below) / 4, which merges the two fields of
// an interlaced picture into one without halving its height.
void blendRows(const std::uint8_t* src, int srcStride, std::uint8_t* dst, int dstStride,
               int rowBytes, int rows) {
  for (int y = 0; y < rows; ++y) {
    const std::uint8_t* up = src + static_cast<std::ptrdiff_t>(y > 0 ? y - 1 : y) * srcStride;
    const std::uint8_t* mid = src + static_cast<std::ptrdiff_t>(y) * srcStride;
    const std::uint8_t* down =
        src + static_cast<std::ptrdiff_t>(y + 1 < rows ? y + 1 : y) * srcStride;
    std::uint8_t* out = dst + static_cast<std::ptrdiff_t>(y) * dstStride;
    for (int x = 0; x < rowBytes; ++x) out[x] = (up[x] + 2 * mid[x] + down[x] + 2) >> 2;
  }
}

void quietLibraryLog() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The library's own chatter about damaged input would swamp the one line per failure; with
    // the log on standard error its errors stay visible for debugging.
    const char* log = std::getenv("GALLERIA_LOG");
    av_log_set_level(log && std::strcmp(log, "stderr") == 0 ? AV_LOG_ERROR : AV_LOG_QUIET);
  });
}

}  // namespace

int readBytes(void* opaque, std::uint8_t* buffer, int size) {
  auto* m = static_cast<OvraMedia*>(opaque);
  const std::size_t left = m->bytes_.size() - m->bytesPos_;
  const std::size_t n = std::min(left, static_cast<std::size_t>(std::max(size, 0)));
  if (n == 0) return AVERROR_EOF;
  std::memcpy(buffer, m->bytes_.data() + m->bytesPos_, n);
  m->bytesPos_ += n;
  return static_cast<int>(n);
}

std::int64_t seekBytes(void* opaque, std::int64_t offset, int whence) {
  auto* m = static_cast<OvraMedia*>(opaque);
  const auto size = static_cast<std::int64_t>(m->bytes_.size());
  if (whence & AVSEEK_SIZE) return size;
  std::int64_t base = 0;
  switch (whence & ~AVSEEK_FORCE) {
    case SEEK_SET:
      base = 0;
      break;
    case SEEK_CUR:
      base = static_cast<std::int64_t>(m->bytesPos_);
      break;
    case SEEK_END:
      base = size;
      break;
    default:
      return AVERROR(EINVAL);
  }
  if (offset < -base || offset > size - base) return AVERROR(EINVAL);
  m->bytesPos_ = static_cast<std::size_t>(base + offset);
  return base + offset;
}

OvraMedia* OvraMedia::openFile(const char* path) {
  auto media = std::unique_ptr<OvraMedia>(new OvraMedia);
  // "file:" keeps a name such as "concat:a|b" or "http:x" a plain file name.
  media->open((std::string("file:") + path).c_str(), nullptr);
  return media.release();
}

OvraMedia* OvraMedia::openBytes(const void* data, std::size_t size) {
  auto media = std::unique_ptr<OvraMedia>(new OvraMedia);
  const auto* p = static_cast<const std::uint8_t*>(data);
  media->bytes_.assign(p, p + size);
  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferBytes));
  if (!buffer) throw std::bad_alloc();
  media->io_ =
      avio_alloc_context(buffer, kIoBufferBytes, 0, media.get(), readBytes, nullptr, seekBytes);
  if (!media->io_) {
    av_free(buffer);
    throw std::bad_alloc();
  }
  media->open("", media->io_);
  return media.release();
}

OvraMedia::~OvraMedia() {
  for (Stream* s : {&video_, &audio_}) {
    dropQueue(*s);
    avcodec_free_context(&s->decoder);
  }
  avformat_close_input(&format_);
  if (io_) {
    av_freep(&io_->buffer);
    avio_context_free(&io_);
  }
  av_frame_free(&videoFrame_);
  av_frame_free(&blended_);
  av_frame_free(&audioFrame_);
  sws_freeContext(scaler_);
  swr_free(&resampler_);
  av_channel_layout_uninit(&inLayout_);
}

void OvraMedia::open(const char* url, AVIOContext* io) {
  quietLibraryLog();
  url_ = url;
  format_ = avformat_alloc_context();
  if (!format_) throw std::bad_alloc();
  if (io) {
    format_->pb = io;
    format_->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  // A playlist inside the media may name other resources: a file may reach other files, bytes
  // from memory reach nothing.
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", io ? "none" : "file", 0);
  int r = avformat_open_input(&format_, url, nullptr, &options);
  av_dict_free(&options);
  if (r < 0) throw CodecError(errorText(r));  // format_ is freed and null now
  r = avformat_find_stream_info(format_, nullptr);
  if (r < 0) throw CodecError("no stream information: " + errorText(r));
  if (format_->start_time != AV_NOPTS_VALUE) origin_ = format_->start_time * 10;

  for (unsigned i = 0; i < format_->nb_streams; ++i) {
    AVStream* st = format_->streams[i];
    const AVCodecParameters* par = st->codecpar;
    st->discard = AVDISCARD_ALL;
    const bool isVideo =
        par->codec_type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC);
    const bool isAudio = par->codec_type == AVMEDIA_TYPE_AUDIO;
    if (!isVideo && !isAudio) continue;
    if (isVideo && (par->width <= 0 || par->height <= 0 || par->width > kMaxSide ||
                    par->height > kMaxSide || std::int64_t{par->width} * par->height > kMaxPixels))
      continue;
    if (isAudio && (par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0)) continue;
    if (!avcodec_find_decoder(par->codec_id)) continue;
    Stream& s = isVideo ? video_ : audio_;
    if (!s.decoder) {
      try {
        openDecoder(s, st);
      } catch (const CodecError&) {
        continue;  // another stream of the same kind may still decode
      }
    }

    OvraStreamInfo info{};
    info.type = isVideo ? OVRA_STREAM_VIDEO : OVRA_STREAM_AUDIO;
    std::int64_t ms = 0;
    if (st->duration != AV_NOPTS_VALUE && st->duration > 0)
      ms = av_rescale_q(st->duration, st->time_base, AVRational{1, 1000});
    else if (format_->duration != AV_NOPTS_VALUE)
      ms = format_->duration / 1000;
    info.duration = wholeSeconds(ms);
    if (isVideo) {
      AVRational rate = av_guess_frame_rate(format_, st, nullptr);
      if (rate.num <= 0 || rate.den <= 0) rate = AVRational{25, 1};
      info.frameRateNum = rate.num;
      info.frameRateDen = rate.den;
      info.width = par->width;
      info.height = par->height;
      if (s.stream == st) {
        frameDuration_ = std::max<std::int64_t>(1, av_rescale(10000000, rate.den, rate.num));
        outWidth_ = par->width;
        outHeight_ = par->height;
      }
    } else {
      info.sampleRate = par->sample_rate;
      info.bitsPerSample = 16;
      info.channels = par->ch_layout.nb_channels;
      if (s.stream == st) {
        outRate_ = std::clamp(par->sample_rate, 1000, 384000);
        outChannels_ = std::min(par->ch_layout.nb_channels, 8);
      }
    }
    streams_.push_back(info);
  }
  if (streams_.empty()) throw CodecError("no picture or sound stream that can be decoded");
  if (!videoFrame_) videoFrame_ = av_frame_alloc();
  if (!blended_) blended_ = av_frame_alloc();
  if (!audioFrame_) audioFrame_ = av_frame_alloc();
  if (!videoFrame_ || !blended_ || !audioFrame_) throw std::bad_alloc();
}

// Back to the start by opening again: demuxers and decoders leave out or change what precedes
// the first keyframe (priming packets, the first page of an Ogg stream) when they seek, and the
// start is where nearly every seek goes. The sizes and formats asked for stay.
void OvraMedia::rewind() {
  const std::int32_t width = outWidth_, height = outHeight_;
  const std::int32_t rate = outRate_, channels = outChannels_;
  for (Stream* s : {&video_, &audio_}) {
    dropQueue(*s);
    avcodec_free_context(&s->decoder);
    s->stream = nullptr;
    s->index = -1;
    s->draining = false;
    s->seekTarget = OVRA_NO_TIME;
  }
  avformat_close_input(&format_);
  streams_.clear();
  demuxEnded_ = false;
  swr_free(&resampler_);
  overflow_.clear();
  overflowPos_ = 0;
  nextAudioTime_ = 0;
  nextVideoTime_ = 0;
  if (io_) {
    bytesPos_ = 0;
    if (avio_seek(io_, 0, SEEK_SET) < 0) throw CodecError("cannot rewind");
  }
  open(std::string(url_).c_str(), io_);
  if (video_.decoder) {
    outWidth_ = width;
    outHeight_ = height;
  }
  if (audio_.decoder) {
    outRate_ = rate;
    outChannels_ = channels;
  }
}

void OvraMedia::openDecoder(Stream& s, AVStream* st) {
  const AVCodec* codec = avcodec_find_decoder(st->codecpar->codec_id);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  if (!c) throw std::bad_alloc();
  int r = avcodec_parameters_to_context(c, st->codecpar);
  c->pkt_timebase = st->time_base;
  c->max_pixels = kMaxPixels;
  // One thread per decoder: callers already decode pictures and sound ahead of need on threads of
  // their own, and more threads would only add buffered frames and latency.
  c->thread_count = 1;
  if (r >= 0) r = avcodec_open2(c, codec, nullptr);
  if (r < 0) {
    avcodec_free_context(&c);
    throw CodecError("cannot open decoder: " + errorText(r));
  }
  s.decoder = c;
  s.stream = st;
  s.index = st->index;
  st->discard = AVDISCARD_DEFAULT;
}

void OvraMedia::describe(OvraFileFormatInfo* info) const {
  auto* copy = new OvraStreamInfo[streams_.size()];
  std::copy(streams_.begin(), streams_.end(), copy);
  delete[] info->streams;
  info->streams = copy;
  info->streamCount = static_cast<std::int32_t>(streams_.size());
}

void OvraMedia::dropQueue(Stream& s) {
  for (AVPacket* p : s.queue) av_packet_free(&p);
  s.queue.clear();
  s.queuedBytes = 0;
}

AVPacket* OvraMedia::takePacket(Stream& s) {
  std::lock_guard guard(demuxLock_);
  for (;;) {
    if (!format_) return nullptr;  // a failed rewind
    if (!s.queue.empty()) {
      AVPacket* p = s.queue.front();
      s.queue.pop_front();
      s.queuedBytes -= static_cast<std::size_t>(p->size);
      return p;
    }
    if (demuxEnded_) return nullptr;
    AVPacket* p = av_packet_alloc();
    if (!p) throw std::bad_alloc();
    if (av_read_frame(format_, p) < 0) {  // the end, or damage that ends it
      av_packet_free(&p);
      demuxEnded_ = true;
      return nullptr;
    }
    if (p->stream_index == s.index) return p;
    Stream* other = p->stream_index == video_.index   ? &video_
                    : p->stream_index == audio_.index ? &audio_
                                                      : nullptr;
    if (!other || p->size < 0) {
      av_packet_free(&p);
      continue;
    }
    other->queue.push_back(p);
    other->queuedBytes += static_cast<std::size_t>(p->size);
    while (other->queuedBytes > kMaxQueuedBytes && other->queue.size() > 1) {
      AVPacket* old = other->queue.front();
      other->queue.pop_front();
      other->queuedBytes -= static_cast<std::size_t>(old->size);
      av_packet_free(&old);
    }
  }
}

bool OvraMedia::decode(Stream& s, AVFrame* frame) {
  int failures = 0;
  for (;;) {
    int r = avcodec_receive_frame(s.decoder, frame);
    if (r >= 0) return true;
    if (r == AVERROR_EOF) return false;
    if (r != AVERROR(EAGAIN)) {
      if (++failures > kMaxDecodeFailures) throw CodecError("undecodable data: " + errorText(r));
      continue;
    }
    if (s.draining) return false;
    AVPacket* p = takePacket(s);
    s.draining = p == nullptr;
    r = avcodec_send_packet(s.decoder, p);
    av_packet_free(&p);
    if (r < 0 && r != AVERROR(EAGAIN) && r != AVERROR_EOF && ++failures > kMaxDecodeFailures)
      throw CodecError("undecodable data: " + errorText(r));
  }
}

std::int64_t OvraMedia::toTime(const Stream& s, std::int64_t timestamp) const {
  if (timestamp == AV_NOPTS_VALUE) return OVRA_NO_TIME;
  return av_rescale_q(timestamp, s.stream->time_base, kHundredNs) - origin_;
}

void OvraMedia::resizeVideo(std::int32_t* width, std::int32_t* height) {
  std::lock_guard guard(video_.lock);
  if (!video_.decoder) throw CodecError("the media has no pictures");
  const AVCodecParameters* par = video_.stream->codecpar;
  outWidth_ = *width > 0 ? std::min(*width, kMaxSide) : par->width;
  outHeight_ = *height > 0 ? std::min(*height, kMaxSide) : par->height;
  *width = outWidth_;
  *height = outHeight_;
}

std::int32_t OvraMedia::videoBufferSize() {
  std::lock_guard guard(video_.lock);
  return video_.decoder ? outWidth_ * 4 * outHeight_ : 0;
}

bool OvraMedia::nextVideoFrame(tagVideoFrame* out, bool deinterlace) {
  std::lock_guard guard(video_.lock);
  if (!video_.decoder) throw CodecError("the media has no pictures");
  const std::int64_t needed = static_cast<std::int64_t>(outWidth_) * 4 * outHeight_;
  if (!out->pixels || out->size < needed)
    throw CodecError("picture buffer of " + std::to_string(out->size) + " bytes, " +
                     std::to_string(needed) + " needed");
  AVFrame* f = videoFrame_;
  std::int64_t start = 0;
  std::int64_t end = 0;
  for (;;) {
    av_frame_unref(f);
    if (!decode(video_, f)) return false;
    start = toTime(video_, f->best_effort_timestamp);
    if (start == OVRA_NO_TIME) start = nextVideoTime_;
    const std::int64_t duration =
        f->pkt_duration > 0 ? av_rescale_q(f->pkt_duration, video_.stream->time_base, kHundredNs)
                            : frameDuration_;
    end = start + std::max<std::int64_t>(duration, 1);
    if (video_.seekTarget == OVRA_NO_TIME || end > video_.seekTarget) break;
  }
  video_.seekTarget = OVRA_NO_TIME;
  nextVideoTime_ = end;
  if (f->width <= 0 || f->height <= 0 || f->format < 0)
    throw CodecError("decoded picture without a size");
  convertPicture(f, out, deinterlace);
  out->width = outWidth_;
  out->height = outHeight_;
  out->stride = outWidth_ * 4;
  out->startTime = start;
  out->endTime = end;
  return true;
}

void OvraMedia::convertPicture(AVFrame* decoded, tagVideoFrame* out, bool deinterlace) {
  AVFrame* src = decoded;
  const bool blendPlanes = deinterlace && blendablePlanes(decoded->format);
  if (blendPlanes) {
    if (blended_->format != decoded->format || blended_->width != decoded->width ||
        blended_->height != decoded->height) {
      av_frame_unref(blended_);
      blended_->format = decoded->format;
      blended_->width = decoded->width;
      blended_->height = decoded->height;
      int r = av_frame_get_buffer(blended_, 0);
      if (r < 0) throw CodecError("no memory for deinterlacing: " + errorText(r));
    }
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(src->format));
    const int planes = av_pix_fmt_count_planes(static_cast<AVPixelFormat>(src->format));
    for (int p = 0; p < planes; ++p) {
      const bool chroma = p == 1 || p == 2;
      const int w = chroma ? AV_CEIL_RSHIFT(src->width, d->log2_chroma_w) : src->width;
      const int h = chroma ? AV_CEIL_RSHIFT(src->height, d->log2_chroma_h) : src->height;
      blendRows(src->data[p], src->linesize[p], blended_->data[p], blended_->linesize[p], w, h);
    }
    blended_->color_range = decoded->color_range;
    blended_->colorspace = decoded->colorspace;
    src = blended_;
  }

  SwsContext* before = scaler_;
  scaler_ = sws_getCachedContext(scaler_, src->width, src->height,
                                 static_cast<AVPixelFormat>(src->format), outWidth_, outHeight_,
                                 AV_PIX_FMT_BGRA, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!scaler_) throw CodecError("cannot convert pictures of this format");
  const int colours = decoded->colorspace * 2 + (decoded->color_range == AVCOL_RANGE_JPEG);
  if (scaler_ != before || colours != scalerColours_) {
    // Not every source has YUV coefficients; the call then fails harmlessly.
    sws_setColorspaceDetails(scaler_, sws_getCoefficients(decoded->colorspace),
                             decoded->color_range == AVCOL_RANGE_JPEG,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    scalerColours_ = colours;
  }
  std::uint8_t* dst[4] = {out->pixels, nullptr, nullptr, nullptr};
  int dstStride[4] = {outWidth_ * 4, 0, 0, 0};
  if (sws_scale(scaler_, src->data, src->linesize, 0, src->height, dst, dstStride) <= 0)
    throw CodecError("picture conversion failed");
  if (deinterlace && !blendPlanes) {
    const std::size_t bytes = static_cast<std::size_t>(outWidth_) * 4 * outHeight_;
    blendRows_.assign(out->pixels, out->pixels + bytes);
    blendRows(blendRows_.data(), outWidth_ * 4, out->pixels, outWidth_ * 4, outWidth_ * 4,
              outHeight_);
  }
}

void OvraMedia::resample(std::int32_t rate, std::int32_t bits, std::int32_t channels) {
  std::lock_guard guard(audio_.lock);
  if (!audio_.decoder) throw CodecError("the media has no sound");
  const AVSampleFormat format = sampleFormatFor(bits);
  if (rate < 1000 || rate > 384000 || format == AV_SAMPLE_FMT_NONE || channels < 1 || channels > 8)
    throw CodecError("unsupported sound format " + std::to_string(rate) + " Hz, " +
                     std::to_string(bits) + " bits, " + std::to_string(channels) + " channels");
  outRate_ = rate;
  outFormat_ = format;
  outChannels_ = channels;
  swr_free(&resampler_);  // set up again for the next decoded frame
  overflow_.clear();
  overflowPos_ = 0;
}

int OvraMedia::bytesPerSampleFrame() const {
  return outChannels_ * av_get_bytes_per_sample(outFormat_);
}

std::int64_t OvraMedia::samplesToTime(std::int64_t samples) const {
  return samples * 10000000 / outRate_;
}

void OvraMedia::configureResampler(const AVFrame* decoded) {
  if (decoded->sample_rate <= 0 || decoded->ch_layout.nb_channels <= 0)
    throw CodecError("decoded sound without a format");
  AVChannelLayout in{};
  if (decoded->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
    av_channel_layout_default(&in, decoded->ch_layout.nb_channels);
  else if (av_channel_layout_copy(&in, &decoded->ch_layout) < 0)
    throw std::bad_alloc();
  if (resampler_ && inRate_ == decoded->sample_rate && inFormat_ == decoded->format &&
      av_channel_layout_compare(&in, &inLayout_) == 0) {
    av_channel_layout_uninit(&in);
    return;
  }
  swr_free(&resampler_);
  av_channel_layout_uninit(&inLayout_);
  inLayout_ = in;
  inRate_ = decoded->sample_rate;
  inFormat_ = decoded->format;
  AVChannelLayout outLayout{};
  av_channel_layout_default(&outLayout, outChannels_);
  int r = swr_alloc_set_opts2(&resampler_, &outLayout, outFormat_, outRate_, &inLayout_,
                              static_cast<AVSampleFormat>(inFormat_), inRate_, 0, nullptr);
  av_channel_layout_uninit(&outLayout);
  if (r >= 0) r = swr_init(resampler_);
  if (r < 0) {
    swr_free(&resampler_);
    throw CodecError("cannot convert this sound: " + errorText(r));
  }
  resamplerDrained_ = false;
}

// Converts the next decoded sound into out (OVRA_AUDIO_FRAME_BYTES); the byte count, or -1 at
// the end. Sound that would not fit is kept in overflow_ and handed out by the next calls.
std::int32_t OvraMedia::produceAudio(std::uint8_t* out, std::int64_t* start) {
  const int frameBytes = bytesPerSampleFrame();
  // A hostile header can claim sound without channels; there is nothing to deliver then.
  if (frameBytes <= 0) throw CodecError("this sound has no channels");
  const int capacity = OVRA_AUDIO_FRAME_BYTES / frameBytes;
  if (overflowPos_ < overflow_.size()) {
    const std::size_t n =
        std::min(overflow_.size() - overflowPos_, static_cast<std::size_t>(capacity) * frameBytes);
    std::memcpy(out, overflow_.data() + overflowPos_, n);
    overflowPos_ += n;
    *start = overflowTime_;
    overflowTime_ += samplesToTime(static_cast<std::int64_t>(n / frameBytes));
    return static_cast<std::int32_t>(n);
  }
  AVFrame* f = audioFrame_;
  av_frame_unref(f);
  if (!decode(audio_, f)) {
    if (!resampler_ || resamplerDrained_) return -1;
    resamplerDrained_ = true;  // what the resampler still holds, once
    const int n = swr_convert(resampler_, &out, capacity, nullptr, 0);
    if (n <= 0) return -1;
    *start = nextAudioTime_;
    nextAudioTime_ += samplesToTime(n);
    return n * frameBytes;
  }
  configureResampler(f);
  std::int64_t t = toTime(audio_, f->best_effort_timestamp);
  t = t == OVRA_NO_TIME ? nextAudioTime_ : t - swr_get_delay(resampler_, 10000000);
  const int upper = swr_get_out_samples(resampler_, f->nb_samples);
  if (upper < 0) throw CodecError("sound conversion failed: " + errorText(upper));
  const auto** in = const_cast<const std::uint8_t**>(f->extended_data);
  int n = 0;
  if (upper <= capacity) {
    n = swr_convert(resampler_, &out, capacity, in, f->nb_samples);
    if (n < 0) throw CodecError("sound conversion failed: " + errorText(n));
  } else {
    overflow_.resize(static_cast<std::size_t>(upper) * frameBytes);
    std::uint8_t* o = overflow_.data();
    n = swr_convert(resampler_, &o, upper, in, f->nb_samples);
    if (n < 0) throw CodecError("sound conversion failed: " + errorText(n));
    overflow_.resize(static_cast<std::size_t>(n) * frameBytes);
    overflowPos_ = 0;
    overflowTime_ = t;
    nextAudioTime_ = t + samplesToTime(n);
    return n > 0 ? produceAudio(out, start) : 0;
  }
  *start = t;
  nextAudioTime_ = t + samplesToTime(n);
  return n * frameBytes;
}

bool OvraMedia::nextAudioFrame(tagAudioFrame* out) {
  std::lock_guard guard(audio_.lock);
  if (!audio_.decoder) throw CodecError("the media has no sound");
  const int frameBytes = bytesPerSampleFrame();
  for (;;) {
    std::int64_t start = 0;
    std::int32_t bytes = produceAudio(out->samples, &start);
    if (bytes < 0) return false;
    if (bytes == 0) continue;
    const std::int64_t target = audio_.seekTarget;
    if (target != OVRA_NO_TIME) {
      if (start + samplesToTime(bytes / frameBytes) <= target) continue;
      if (start < target) {
        const std::int64_t skip =
            std::min<std::int64_t>((target - start) * outRate_ / 10000000, bytes / frameBytes - 1);
        const auto skipBytes = static_cast<std::size_t>(skip) * frameBytes;
        std::memmove(out->samples, out->samples + skipBytes, bytes - skipBytes);
        bytes -= static_cast<std::int32_t>(skipBytes);
        start += samplesToTime(skip);
      }
      audio_.seekTarget = OVRA_NO_TIME;
    }
    out->byteCount = bytes;
    out->startTime = start;
    return true;
  }
}

void OvraMedia::seek(std::int64_t time) {
  std::scoped_lock guard(video_.lock, audio_.lock, demuxLock_);
  if (time <= 0 || !format_) {
    rewind();
    return;
  }
  const std::int64_t ts = time / 10 + origin_ / 10;
  int r = avformat_seek_file(format_, -1, INT64_MIN, ts, ts, 0);
  if (r < 0) r = avformat_seek_file(format_, -1, INT64_MIN, ts, INT64_MAX, 0);
  if (r < 0) throw CodecError("cannot seek to " + std::to_string(time) + ": " + errorText(r));
  demuxEnded_ = false;
  for (Stream* s : {&video_, &audio_}) {
    dropQueue(*s);
    if (!s->decoder) continue;
    avcodec_flush_buffers(s->decoder);
    s->draining = false;
    s->seekTarget = time;
  }
  swr_free(&resampler_);
  overflow_.clear();
  overflowPos_ = 0;
  nextAudioTime_ = time;
  nextVideoTime_ = time;
}

void OvraMedia::flushVideo() {
  std::lock_guard guard(demuxLock_);
  dropQueue(video_);
}

void OvraMedia::flushAudio() {
  std::lock_guard guard(demuxLock_);
  dropQueue(audio_);
}
