#pragma once
// An opened media file: one demuxer shared by a picture and a sound decoder. The picture and the
// sound side may be driven from two threads at once; each has its own lock, and the demuxer with
// the packet queues has a third, always taken last.

#include "codecs-api/codecs.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/rational.h>
#include <libavutil/samplefmt.h>
}

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVIOContext;
struct AVPacket;
struct AVStream;
struct SwrContext;
struct SwsContext;

struct OvraMedia {
 public:
  // Both throw CodecError when the bytes are not media the library can decode.
  static OvraMedia* openFile(const char* path);
  static OvraMedia* openBytes(const void* data, std::size_t size);
  ~OvraMedia();
  OvraMedia(const OvraMedia&) = delete;
  OvraMedia& operator=(const OvraMedia&) = delete;

  void describe(OvraFileFormatInfo* info) const;
  void resizeVideo(std::int32_t* width, std::int32_t* height);
  std::int32_t videoBufferSize();
  void resample(std::int32_t rate, std::int32_t bits, std::int32_t channels);
  bool nextVideoFrame(tagVideoFrame* frame, bool deinterlace);  // false at the end
  bool nextAudioFrame(tagAudioFrame* frame);                    // false at the end
  void seek(std::int64_t time);
  void flushVideo();
  void flushAudio();

 private:
  struct Stream {
    int index = -1;
    AVStream* stream = nullptr;
    AVCodecContext* decoder = nullptr;
    std::deque<AVPacket*> queue;  // read ahead for this stream; guarded by demuxLock_
    std::size_t queuedBytes = 0;
    bool draining = false;                   // the decoder has been told the stream ended
    std::int64_t seekTarget = OVRA_NO_TIME;  // output ending at or before it is dropped
    std::mutex lock;
  };

  OvraMedia() = default;
  void open(const char* url, AVIOContext* io);
  void rewind();
  void openDecoder(Stream& s, AVStream* stream);
  AVPacket* takePacket(Stream& s);
  void dropQueue(Stream& s);
  bool decode(Stream& s, AVFrame* frame);
  std::int64_t toTime(const Stream& s, std::int64_t timestamp) const;
  void convertPicture(AVFrame* decoded, tagVideoFrame* out, bool deinterlace);
  void configureResampler(const AVFrame* decoded);
  std::int32_t produceAudio(std::uint8_t* out, std::int64_t* start);
  std::int64_t samplesToTime(std::int64_t samples) const;
  int bytesPerSampleFrame() const;

  AVFormatContext* format_ = nullptr;
  std::string url_;
  AVIOContext* io_ = nullptr;
  std::vector<std::uint8_t> bytes_;  // what io_ reads when opened from memory
  std::size_t bytesPos_ = 0;
  std::int64_t origin_ = 0;  // the container's start, 100 ns
  std::vector<OvraStreamInfo> streams_;
  std::mutex demuxLock_;
  bool demuxEnded_ = false;

  Stream video_;
  AVFrame* videoFrame_ = nullptr;
  AVFrame* blended_ = nullptr;
  std::vector<std::uint8_t> blendRows_;
  SwsContext* scaler_ = nullptr;
  int scalerColours_ = -1;  // the colour space and range the scaler was told, as one key
  std::int32_t outWidth_ = 0;
  std::int32_t outHeight_ = 0;
  std::int64_t frameDuration_ = 400000;
  std::int64_t nextVideoTime_ = 0;

  Stream audio_;
  AVFrame* audioFrame_ = nullptr;
  SwrContext* resampler_ = nullptr;
  int inRate_ = 0;
  int inFormat_ = -1;
  AVChannelLayout inLayout_{};
  bool resamplerDrained_ = false;
  std::int32_t outRate_ = 0;
  std::int32_t outChannels_ = 0;
  AVSampleFormat outFormat_ = AV_SAMPLE_FMT_S16;
  std::vector<std::uint8_t> overflow_;  // converted sound too long for one frame
  std::size_t overflowPos_ = 0;
  std::int64_t overflowTime_ = 0;
  std::int64_t nextAudioTime_ = 0;

  friend int readBytes(void*, std::uint8_t*, int);
  friend std::int64_t seekBytes(void*, std::int64_t, int);
};
