#include "codecs-api/codecs.h"
#include "testing_hooks.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <testkit/files.h>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kData = GALLERIA_TEST_DATA;
constexpr std::int64_t kSecond = 10000000;

std::mutex g_logLock;
std::vector<std::string> g_log;

void captureLog(const char* line) {
  std::lock_guard guard(g_logLock);
  g_log.emplace_back(line);
}

std::vector<std::string> takeLog() {
  std::lock_guard guard(g_logLock);
  return std::exchange(g_log, {});
}

void writeFile(const fs::path& path, const void* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

struct InfoDeleter {
  void operator()(OvraFileFormatInfo* info) const { OvraFreeFileFormatInfo(info); }
};
using Info = std::unique_ptr<OvraFileFormatInfo, InfoDeleter>;
struct MediaDeleter {
  void operator()(OvraMedia* media) const { OvraUnloadMediaFile(media); }
};
using Media = std::unique_ptr<OvraMedia, MediaDeleter>;

Info newInfo() {
  OvraFileFormatInfo* info = nullptr;
  EXPECT_NE(OvraMallocFileFormatInfo(&info), 0);
  return Info(info);
}

const OvraStreamInfo* firstStream(const OvraFileFormatInfo& info, std::int32_t type) {
  for (int i = 0; i < info.streamCount; ++i)
    if (info.streams[i].type == type) return &info.streams[i];
  return nullptr;
}

struct Sound {
  std::vector<std::int16_t> pcm;  // interleaved
  std::vector<std::int64_t> starts;
  std::vector<std::int32_t> counts;
  std::size_t frames(int channels) const { return pcm.size() / channels; }
};

// Reads 16-bit sound to the end (or max frames of the library).
Sound decodeSound(OvraMedia* media, int maxFrames = 1 << 20) {
  Sound s;
  auto frame = std::make_unique<tagAudioFrame>();
  for (int i = 0; i < maxFrames && OvraGetNextAudioFrame(frame.get(), media); ++i) {
    EXPECT_GT(frame->byteCount, 0);
    EXPECT_LE(frame->byteCount, OVRA_AUDIO_FRAME_BYTES);
    const auto* p = reinterpret_cast<const std::int16_t*>(frame->samples);
    s.pcm.insert(s.pcm.end(), p, p + frame->byteCount / 2);
    s.starts.push_back(frame->startTime);
    s.counts.push_back(frame->byteCount);
  }
  return s;
}

// The tone's frequency from the rising zero crossings of the first channel.
double frequency(const Sound& s, int channels, int rate) {
  int crossings = 0;
  std::size_t first = 0, last = 0;
  for (std::size_t i = channels; i < s.pcm.size(); i += channels)
    if (s.pcm[i - channels] < 0 && s.pcm[i] >= 0) {
      if (crossings++ == 0) first = i / channels;
      last = i / channels;
    }
  if (crossings < 2) return 0;
  return (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

// Each frame starts where the one before ended, to a millisecond.
void expectContiguous(const Sound& s, int channels, int rate) {
  const int frameBytes = channels * 2;
  for (std::size_t i = 1; i < s.starts.size(); ++i) {
    const std::int64_t expected =
        s.starts[i - 1] + static_cast<std::int64_t>(s.counts[i - 1] / frameBytes) * kSecond / rate;
    ASSERT_NEAR(s.starts[i], expected, 10000) << "frame " << i;
  }
}

class CodecsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OvraInitializeCodecs(captureLog);
    takeLog();
    scratch_ = fs::temp_directory_path() / ("codecs-test-" + std::to_string(getpid()));
    fs::create_directories(scratch_);
  }
  void TearDown() override { fs::remove_all(scratch_); }

  Media load(const fs::path& path, OvraFileFormatInfo* info) {
    return Media(OvraLoadMediaFile(path.c_str(), info));
  }

  fs::path scratch_;
};

// --- sound fixtures -------------------------------------------------------------------------

struct ToneCase {
  const char* file;
  int rate;
  int channels;
  int frames;  // sample frames it decodes to
  int lead;    // of the file's sample frames, those its codec never gives out (Vorbis: 128)
};

class ToneTest : public CodecsTest, public ::testing::WithParamInterface<ToneCase> {};

// Every tone decodes, in its own format and in the player's, to its length and its pitch, with
// frame times that add up.
TEST_P(ToneTest, DecodesToItsLengthAndPitch) {
  const ToneCase& c = GetParam();
  Info info = newInfo();
  Media media = load(kData / c.file, info.get());
  ASSERT_TRUE(media) << takeLog().front();
  ASSERT_EQ(info->streamCount, 1);
  const OvraStreamInfo& s = info->streams[0];
  EXPECT_EQ(s.type, OVRA_STREAM_AUDIO);
  EXPECT_EQ(s.duration, 1);
  EXPECT_EQ(s.sampleRate, c.rate);
  EXPECT_EQ(s.channels, c.channels);
  EXPECT_EQ(s.bitsPerSample, 16);
  EXPECT_EQ(OvraGetVideoBuffersize(media.get()), 0);

  Sound own = decodeSound(media.get());
  EXPECT_EQ(own.frames(c.channels), static_cast<std::size_t>(c.frames));
  EXPECT_NEAR(frequency(own, c.channels, c.rate), 440.0, 2.0);
  ASSERT_FALSE(own.starts.empty());
  EXPECT_NEAR(own.starts.front(), c.lead * kSecond / c.rate, 10000);
  expectContiguous(own, c.channels, c.rate);

  ASSERT_NE(OvraSeekMediaFile(0, media.get()), 0);
  ASSERT_NE(OvraResample(44100, 16, 2, media.get()), 0);
  Sound player = decodeSound(media.get());
  const double expected = c.frames * 44100.0 / c.rate;
  EXPECT_NEAR(static_cast<double>(player.frames(2)), expected, 64);
  EXPECT_NEAR(frequency(player, 2, 44100), 440.0, 2.0);
  expectContiguous(player, 2, 44100);
  EXPECT_TRUE(takeLog().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ToneTest,
    ::testing::Values(ToneCase{"tone440-44100-mono.wav", 44100, 1, 22050, 0},
                      ToneCase{"tone440-44100-stereo.wav", 44100, 2, 22050, 0},
                      ToneCase{"tone440-48000-mono.wav", 48000, 1, 24000, 0},
                      ToneCase{"tone440-48000-stereo.wav", 48000, 2, 24000, 0},
                      ToneCase{"tone440-44100-mono.mp3", 44100, 1, 44100, 0},
                      ToneCase{"tone440-44100-stereo.mp3", 44100, 2, 44100, 0},
                      ToneCase{"tone440-48000-mono.mp3", 48000, 1, 48000, 0},
                      ToneCase{"tone440-48000-stereo.mp3", 48000, 2, 48000, 0},
                      ToneCase{"tone440-44100-stereo-cover.mp3", 44100, 2, 44100, 0},
                      ToneCase{"tone440-44100-mono.ogg", 44100, 1, 43972, 128},
                      ToneCase{"tone440-44100-stereo.ogg", 44100, 2, 43972, 128},
                      ToneCase{"tone440-48000-mono.ogg", 48000, 1, 47872, 128},
                      ToneCase{"tone440-48000-stereo.ogg", 48000, 2, 47872, 128}),
    [](const auto& info) {
      std::string name = info.param.file;
      for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

// One packet holds the whole second; at 192000 Hz, 32 bits and 2 channels it converts to 1.5 MB,
// which must come out in whole frames of at most 576000 bytes, none lost, times running on. At 8
// bits the samples are unsigned around 128.
TEST_F(CodecsTest, SoundLongerThanOneFrameComesInPieces) {
  Media media = load(kData / "tone440-8000-mono-bigpackets.mkv", nullptr);
  ASSERT_TRUE(media);
  ASSERT_NE(OvraResample(192000, 32, 2, media.get()), 0);
  auto frame = std::make_unique<tagAudioFrame>();
  std::vector<std::int32_t> first;  // channel 0
  std::int64_t next = 0;
  int pieces = 0;
  while (OvraGetNextAudioFrame(frame.get(), media.get())) {
    ASSERT_LE(frame->byteCount, OVRA_AUDIO_FRAME_BYTES);
    ASSERT_EQ(frame->byteCount % 8, 0);
    EXPECT_NEAR(frame->startTime, next, 10000);
    next = frame->startTime + static_cast<std::int64_t>(frame->byteCount / 8) * kSecond / 192000;
    for (int at = 0; at < frame->byteCount; at += 8) {
      std::int32_t v;
      std::memcpy(&v, frame->samples + at, 4);
      first.push_back(v);
    }
    ++pieces;
  }
  EXPECT_GE(pieces, 3);
  EXPECT_NEAR(static_cast<double>(first.size()), 192000, 256);
  Sound s;
  for (std::int32_t v : first) s.pcm.push_back(static_cast<std::int16_t>(v >> 16));
  EXPECT_NEAR(frequency(s, 1, 192000), 440.0, 2.0);

  ASSERT_NE(OvraSeekMediaFile(0, media.get()), 0);
  ASSERT_NE(OvraResample(8000, 8, 1, media.get()), 0);
  std::size_t bytes = 0;
  int low = 255, high = 0;
  while (OvraGetNextAudioFrame(frame.get(), media.get())) {
    bytes += frame->byteCount;
    for (int i = 0; i < frame->byteCount; ++i) {
      low = std::min<int>(low, frame->samples[i]);
      high = std::max<int>(high, frame->samples[i]);
    }
  }
  EXPECT_EQ(bytes, 8000u);
  EXPECT_NEAR((low + high) / 2.0, 128, 2);  // around the unsigned middle
  EXPECT_NEAR(high - low, 32, 2);           // the generator's sine spans an eighth of full scale
  EXPECT_TRUE(takeLog().empty());
}

// After a seek the sound starts at the asked time, to the sample, in every container; a seek past
// the end leaves nothing to read; a seek back to the start gives the whole sound again.
TEST_F(CodecsTest, SeekingSoundIsSampleExact) {
  // Sample frames by which a landing may miss: WAV and MP3 stamp every packet exactly; an Ogg
  // page and an AAC frame right after a seek are stamped only to within a block.
  const std::pair<const char*, int> files[] = {{"tone440-44100-stereo.wav", 2},
                                               {"tone440-44100-stereo.mp3", 2},
                                               {"tone440-48000-mono.ogg", 2048},
                                               {"film-64x48-10f.mp4", 2048}};
  for (auto [file, slack] : files) {
    SCOPED_TRACE(file);
    Info info = newInfo();
    Media media = load(kData / file, info.get());
    ASSERT_TRUE(media);
    const OvraStreamInfo* s = firstStream(*info, OVRA_STREAM_AUDIO);
    ASSERT_NE(s, nullptr);
    const int rate = s->sampleRate, channels = s->channels;
    const std::size_t total = decodeSound(media.get()).frames(channels);

    ASSERT_NE(OvraSeekMediaFile(kSecond / 4, media.get()), 0);
    Sound rest = decodeSound(media.get());
    ASSERT_FALSE(rest.starts.empty());
    EXPECT_NEAR(rest.starts.front(), kSecond / 4, slack * kSecond / rate);
    EXPECT_NEAR(static_cast<double>(rest.frames(channels)), total - rate / 4.0, slack);

    ASSERT_NE(OvraSeekMediaFile(10 * kSecond, media.get()), 0);
    EXPECT_TRUE(decodeSound(media.get()).pcm.empty());
    ASSERT_NE(OvraSeekMediaFile(0, media.get()), 0);
    EXPECT_EQ(decodeSound(media.get()).frames(channels), total);
  }
  EXPECT_TRUE(takeLog().empty());
}

// --- pictures -------------------------------------------------------------------------------

struct Picture {
  std::vector<std::uint8_t> pixels;
  tagVideoFrame frame{};
  explicit Picture(int bytes) : pixels(bytes) {
    frame.pixels = pixels.data();
    frame.size = bytes;
  }
  std::uint32_t at(int x, int y) const {
    std::uint32_t v;
    std::memcpy(&v, pixels.data() + y * frame.stride + x * 4, 4);
    return v;
  }
};

// The film decodes to its ten pictures at the asked size with exact times, while its sound is read
// on another thread at the same time, as the player does.
TEST_F(CodecsTest, FilmDecodesToItsPicturesWhileItsSoundIsRead) {
  for (auto [width, height] : {std::pair{0, 0}, std::pair{32, 24}, std::pair{100, 30}}) {
    SCOPED_TRACE(width);
    Info info = newInfo();
    Media media = load(kData / "film-64x48-10f.mp4", info.get());
    ASSERT_TRUE(media);
    ASSERT_EQ(info->streamCount, 2);
    const OvraStreamInfo* v = firstStream(*info, OVRA_STREAM_VIDEO);
    const OvraStreamInfo* a = firstStream(*info, OVRA_STREAM_AUDIO);
    ASSERT_TRUE(v && a);
    EXPECT_EQ(v->width, 64);
    EXPECT_EQ(v->height, 48);
    EXPECT_EQ(v->frameRateNum * 1.0 / v->frameRateDen, 10.0);
    EXPECT_EQ(v->duration, 1);
    EXPECT_EQ(a->sampleRate, 44100);
    EXPECT_EQ(a->channels, 1);

    int w = width, h = height;
    ASSERT_NE(OvraResizeVideoSize(&w, &h, media.get()), 0);
    EXPECT_EQ(w, width ? width : 64);
    EXPECT_EQ(h, height ? height : 48);
    ASSERT_EQ(OvraGetVideoBuffersize(media.get()), w * 4 * h);

    std::size_t soundFrames = 0;
    std::thread sound([&] {
      ASSERT_NE(OvraResample(44100, 16, 2, media.get()), 0);
      soundFrames = decodeSound(media.get()).frames(2);
    });
    Picture picture(OvraGetVideoBuffersize(media.get()));
    int count = 0;
    while (OvraGetNextVideoFrame(&picture.frame, media.get(), 0)) {
      EXPECT_EQ(picture.frame.width, w);
      EXPECT_EQ(picture.frame.height, h);
      EXPECT_EQ(picture.frame.stride, w * 4);
      EXPECT_EQ(picture.frame.startTime, count * kSecond / 10);
      EXPECT_EQ(picture.frame.endTime, (count + 1) * kSecond / 10);
      EXPECT_EQ(picture.at(0, 0) >> 24, 0xFFu);               // opaque
      EXPECT_NE(picture.at(0, 0), picture.at(w - 1, h / 2));  // the test pattern, not a blank
      ++count;
    }
    sound.join();
    EXPECT_EQ(count, 10);
    EXPECT_NEAR(static_cast<double>(soundFrames), 44100, 1024);
  }
  EXPECT_TRUE(takeLog().empty());
}

class CodecsStress : public CodecsTest {};

// The player's use: pictures and sound decoded on two threads while a third seeks now and then.
// Whatever the interleaving, every call returns, and afterwards a rewind gives the whole film.
TEST_F(CodecsStress, SeeksWhilePicturesAndSoundAreDecoded) {
  Media media = load(kData / "film-64x48-10f.mp4", nullptr);
  ASSERT_TRUE(media);
  ASSERT_NE(OvraResample(44100, 16, 2, media.get()), 0);
  std::atomic<bool> done{false};
  auto pictures = std::thread([&] {
    Picture picture(OvraGetVideoBuffersize(media.get()));
    while (!done)
      if (!OvraGetNextVideoFrame(&picture.frame, media.get(), 0)) std::this_thread::yield();
  });
  auto sound = std::thread([&] {
    auto frame = std::make_unique<tagAudioFrame>();
    while (!done)
      if (!OvraGetNextAudioFrame(frame.get(), media.get())) std::this_thread::yield();
  });
  for (int i = 0; i < 60; ++i) {
    ASSERT_NE(OvraSeekMediaFile((i * 7 % 12) * kSecond / 10, media.get()), 0);
    std::this_thread::sleep_for(std::chrono::microseconds(500));
  }
  done = true;
  pictures.join();
  sound.join();

  ASSERT_NE(OvraSeekMediaFile(0, media.get()), 0);
  Picture picture(OvraGetVideoBuffersize(media.get()));
  int count = 0;
  while (OvraGetNextVideoFrame(&picture.frame, media.get(), 0)) ++count;
  EXPECT_EQ(count, 10);
  EXPECT_NEAR(static_cast<double>(decodeSound(media.get()).frames(2)), 44100, 1024);
  EXPECT_TRUE(takeLog().empty());
}

// A seek lands on the picture that contains the asked time.
TEST_F(CodecsTest, SeekingPicturesLandsOnTheRightOne) {
  Media media = load(kData / "film-64x48-10f.mp4", nullptr);
  ASSERT_TRUE(media);
  Picture picture(OvraGetVideoBuffersize(media.get()));
  for (std::int64_t t : {kSecond / 2, kSecond / 2 + 1, 0 * kSecond, 9 * kSecond / 10 + 5}) {
    ASSERT_NE(OvraSeekMediaFile(t, media.get()), 0);
    ASSERT_NE(OvraGetNextVideoFrame(&picture.frame, media.get(), 0), 0);
    EXPECT_EQ(picture.frame.startTime, t / (kSecond / 10) * (kSecond / 10)) << t;
  }
  EXPECT_EQ(OvraGetNextVideoFrame(&picture.frame, media.get(), 0), 0);  // that was the last
  EXPECT_TRUE(takeLog().empty());
}

// Rows alternate white and black; deinterlacing blends them to grey, for planar and packed sources.
TEST_F(CodecsTest, DeinterlacingBlendsTheFields) {
  for (const char* file : {"combed-32x16.mkv", "combed-32x16-rgb.mkv"}) {
    SCOPED_TRACE(file);
    Media media = load(kData / file, nullptr);
    ASSERT_TRUE(media);
    Picture picture(OvraGetVideoBuffersize(media.get()));
    ASSERT_NE(OvraGetNextVideoFrame(&picture.frame, media.get(), 0), 0);
    EXPECT_GT(picture.at(5, 4) & 0xFF, 240u);
    EXPECT_LT(picture.at(5, 5) & 0xFF, 15u);
    ASSERT_NE(OvraGetNextVideoFrame(&picture.frame, media.get(), 1), 0);
    for (int y = 1; y < 15; ++y) {
      EXPECT_NEAR(static_cast<int>(picture.at(5, y) & 0xFF), 128, 12) << y;
      EXPECT_EQ(picture.at(5, y) >> 24, 0xFFu);
    }
  }
}

TEST_F(CodecsTest, ResizeImageScalesBetweenStrides) {
  // 2 x 2 source in a 3-pixel-wide buffer: red, green / blue, half-transparent white.
  std::vector<std::uint32_t> src = {0xFFFF0000, 0xFF00FF00, 0xDEADBEEF,
                                    0xFF0000FF, 0x80FFFFFF, 0xDEADBEEF};
  tagVideoFrame s{reinterpret_cast<std::uint8_t*>(src.data()), 2, 2, 12, 24, 0, 0};
  std::vector<std::uint32_t> dst(8 * 10, 0x12345678);  // 8 x 8 in a 10-pixel-wide buffer
  tagVideoFrame d{reinterpret_cast<std::uint8_t*>(dst.data()), 8, 8, 40, 320, 0, 0};
  ASSERT_NE(OvraResizeImage(&s, &d), 0);
  const auto red = dst[0], blue = dst[7 * 10];
  EXPECT_GT((red >> 16) & 0xFF, 200u);
  EXPECT_LT(red & 0xFF, 60u);
  EXPECT_GT(blue & 0xFF, 200u);
  EXPECT_LT((blue >> 16) & 0xFF, 60u);
  EXPECT_LT(dst[7 * 10 + 7] >> 24, 0xC0u);                              // the alpha scaled along
  for (int y = 0; y < 8; ++y) EXPECT_EQ(dst[y * 10 + 8], 0x12345678u);  // padding untouched

  tagVideoFrame small = d;
  small.size = 319;  // one byte short of stride * height
  EXPECT_EQ(OvraResizeImage(&s, &small), 0);
  EXPECT_EQ(takeLog().size(), 1u);
}

// --- encoder --------------------------------------------------------------------------------

struct EncodeCase {
  int rate;
  int channels;
  int bitRate;
};

class EncoderTest : public CodecsTest, public ::testing::WithParamInterface<EncodeCase> {};

// What we write is read by the peer tool with the asked rate, channels, bit rate and a length
// within one MP3 frame, and decodes back to the tone we put in.
TEST_P(EncoderTest, PeerReadsWhatWeWrite) {
  const EncodeCase& c = GetParam();
  const fs::path out = scratch_ / "encoded \xc3\xa9t\xc3\xa9.mp3";
  const OvraEncoderParams params{out.c_str(), OVRA_OUTPUT_MP3, OVRA_NO_VIDEO, 1, c.rate,
                                 16,          c.channels,      c.bitRate};
  OvraEncoder* encoder = OvraInitializeEncoder(&params);
  ASSERT_NE(encoder, nullptr) << takeLog().front();

  const int seconds10 = 25;  // 2.5 s
  const int frames = c.rate * seconds10 / 10;
  std::vector<std::int16_t> pcm(static_cast<std::size_t>(frames) * c.channels);
  for (int i = 0; i < frames; ++i)
    for (int ch = 0; ch < c.channels; ++ch)
      pcm[i * c.channels + ch] =
          static_cast<std::int16_t>(12000 * std::sin(2 * std::numbers::pi * 440 * i / c.rate));
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.data());
  const std::size_t total = pcm.size() * 2;
  for (std::size_t at = 0; at < total; at += 4096) {
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(4096, total - at));
    ASSERT_NE(OvraAddAudioFrame(bytes + at, n, encoder), 0);
  }
  ASSERT_NE(OvraCloseAudio(encoder), 0);
  EXPECT_EQ(OvraAddAudioFrame(bytes, 4096, encoder), 0);  // complete: no more sound
  EXPECT_EQ(takeLog().size(), 1u);
  EXPECT_NE(OvraDeInitializeEncoder(encoder), 0);

  // The peer's own reading: stream header, container length and every decoded frame.
  const std::string command =
      "ffprobe -v error -select_streams a:0 -show_entries "
      "stream=codec_name,sample_rate,channels,bit_rate:format=duration:"
      "frame=nb_samples -of default=noprint_wrappers=1 '" +
      out.string() + "'";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::map<std::string, std::string> fields;
  long decoded = 0;
  char line[256];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    const auto eq = text.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = text.substr(0, eq), value = text.substr(eq + 1, text.size() - eq - 2);
    if (key == "nb_samples")
      decoded += std::stol(value);
    else
      fields[key] = value;
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(fields["codec_name"], "mp3");
  EXPECT_EQ(fields["sample_rate"], std::to_string(c.rate));
  EXPECT_EQ(fields["channels"], std::to_string(c.channels));
  EXPECT_EQ(fields["bit_rate"], std::to_string(c.bitRate));
  // Decoded length within one frame; the container's figure also counts the encoder's fixed
  // delay (576 + 529 samples), so it may run up to one more frame over.
  const int mp3Frame = c.rate >= 32000 ? 1152 : 576;
  EXPECT_NEAR(static_cast<double>(decoded), frames, mp3Frame);
  const double header = std::stod(fields["duration"]);
  EXPECT_GE(header, 2.5 - 1.0 * mp3Frame / c.rate);
  EXPECT_LE(header, 2.5 + (1105.0 + mp3Frame) / c.rate);

  Info info = newInfo();
  Media media = load(out, info.get());
  ASSERT_TRUE(media);
  EXPECT_EQ(info->streams[0].duration, 3);  // 2.5 s to the nearest second
  Sound back = decodeSound(media.get());
  EXPECT_NEAR(frequency(back, c.channels, c.rate), 440.0, 2.0);
  EXPECT_NEAR(static_cast<double>(back.frames(c.channels)), frames, mp3Frame);
}

INSTANTIATE_TEST_SUITE_P(Rates, EncoderTest,
                         ::testing::Values(EncodeCase{44100, 2, 128000},
                                           EncodeCase{48000, 1, 64000},
                                           EncodeCase{22050, 2, 64000}));

TEST_F(CodecsTest, EncoderRefusesWhatItCannotWrite) {
  const std::string path = (scratch_ / "out.mp3").string();
  const std::string noFolder = (scratch_ / "missing" / "out.mp3").string();
  const OvraEncoderParams good{path.c_str(), OVRA_OUTPUT_MP3, OVRA_NO_VIDEO, 1, 44100, 16, 2,
                               128000};
  struct Case {
    const char* what;
    void (*change)(OvraEncoderParams&);
  };
  static const char* missing = nullptr;
  const Case cases[] = {
      {"no path", [](OvraEncoderParams& p) { p.outputPath = nullptr; }},
      {"empty path", [](OvraEncoderParams& p) { p.outputPath = ""; }},
      {"folder missing", [](OvraEncoderParams& p) { p.outputPath = missing; }},
      {"other format", [](OvraEncoderParams& p) { p.outputFormat = 0; }},
      {"pictures", [](OvraEncoderParams& p) { p.videoCodec = 13; }},
      {"no sound", [](OvraEncoderParams& p) { p.audioStreams = 0; }},
      {"8 bits", [](OvraEncoderParams& p) { p.bitsPerSample = 8; }},
      {"3 channels", [](OvraEncoderParams& p) { p.channels = 3; }},
      {"odd rate", [](OvraEncoderParams& p) { p.sampleRate = 44000; }},
      {"odd bit rate", [](OvraEncoderParams& p) { p.bitRate = 100000; }},
      {"MPEG-1 rate at 22050 Hz",
       [](OvraEncoderParams& p) { p.sampleRate = 22050, p.bitRate = 320000; }},
  };
  missing = noFolder.c_str();
  for (const Case& c : cases) {
    OvraEncoderParams p = good;
    c.change(p);
    EXPECT_EQ(OvraInitializeEncoder(&p), nullptr) << c.what;
    EXPECT_EQ(takeLog().size(), 1u) << c.what;
  }

  OvraEncoder* encoder = OvraInitializeEncoder(&good);
  ASSERT_NE(encoder, nullptr);
  std::vector<std::uint8_t> block(4096 + 2);
  EXPECT_EQ(OvraAddAudioFrame(block.data(), 4094, encoder), 0);  // half a stereo sample frame
  EXPECT_EQ(OvraAddAudioFrame(nullptr, 4096, encoder), 0);
  EXPECT_EQ(OvraAddAudioFrame(block.data(), 0, encoder), 0);
  EXPECT_NE(OvraAddAudioFrame(block.data() + 1, 4096, encoder), 0);  // at an odd address
  EXPECT_EQ(takeLog().size(), 3u);
  EXPECT_NE(OvraCloseAudio(encoder), 0);
  EXPECT_EQ(OvraCloseAudio(encoder), 0);
  EXPECT_EQ(takeLog().size(), 1u);
  EXPECT_NE(OvraDeInitializeEncoder(encoder), 0);
}

// --- bad input ------------------------------------------------------------------------------

enum class Expect { Refused, Decodes };

struct BadCase {
  const char* what;
  std::vector<std::uint8_t> bytes;
  Expect expect;
};

std::vector<std::uint8_t> prefix(const char* file, std::size_t bytes) {
  auto all = testkit::ReadBytes(kData / file);
  all.resize(std::min(bytes, all.size()));
  return all;
}

std::vector<std::uint8_t> wavHeader(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                                    std::uint32_t dataBytes) {
  std::vector<std::uint8_t> h(44);
  auto put32 = [&](int at, std::uint32_t v) { std::memcpy(&h[at], &v, 4); };
  auto put16 = [&](int at, std::uint16_t v) { std::memcpy(&h[at], &v, 2); };
  std::memcpy(&h[0], "RIFF", 4);
  put32(4, 36 + dataBytes);
  std::memcpy(&h[8], "WAVEfmt ", 8);
  put32(16, 16);
  put16(20, 1);
  put16(22, channels);
  put32(24, rate);
  put32(28, rate * channels * bits / 8);
  put16(32, static_cast<std::uint16_t>(channels * bits / 8));
  put16(34, bits);
  std::memcpy(&h[36], "data", 4);
  put32(40, dataBytes);
  h.resize(h.size() + 1000, 0x55);
  return h;
}

std::vector<BadCase> badCases() {
  std::vector<std::uint8_t> noise(20000);
  std::uint32_t x = 12345;
  for (auto& b : noise) b = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 24);
  const std::string text = "This is a plain text file and no media at all.\n";
  auto film = testkit::ReadBytes(kData / "film-64x48-10f.mp4");
  for (std::size_t i = 600; i < film.size(); i += 97) film[i] ^= 0x5A;  // damaged inside
  return {
      {"empty", {}, Expect::Refused},
      {"text", {text.begin(), text.end()}, Expect::Refused},
      {"noise", noise, Expect::Refused},
      {"film cut in its header", prefix("film-64x48-10f.mp4", 300), Expect::Refused},
      {"film damaged", film, Expect::Decodes},
      {"mp3 cut short", prefix("tone440-44100-stereo.mp3", 3000), Expect::Decodes},
      {"ogg cut in its headers", prefix("tone440-48000-mono.ogg", 2500), Expect::Refused},
      {"ogg cut in its one sound page", prefix("tone440-48000-mono.ogg", 4500), Expect::Refused},
      {"wav cut in its header", prefix("tone440-44100-mono.wav", 30), Expect::Refused},
      {"wav claims 4 GiB", wavHeader(2, 44100, 16, 0xFFFFFFF0u), Expect::Decodes},
      {"wav with no channels", wavHeader(0, 44100, 16, 1000), Expect::Refused},
      {"wav with no rate", wavHeader(2, 0, 16, 1000), Expect::Refused},
      {"wav with 65535 channels", wavHeader(65535, 44100, 16, 1000), Expect::Refused},
  };
}

// Each bad input, from a file and from memory: refused with one log line, or opened and read to
// its end, never a crash.
TEST_F(CodecsTest, BadInputIsRefusedOrReadToItsEnd) {
  for (const BadCase& c : badCases()) {
    SCOPED_TRACE(c.what);
    const fs::path path = scratch_ / "bad.mp3";
    writeFile(path, c.bytes.data(), c.bytes.size());
    for (bool fromMemory : {false, true}) {
      Info info = newInfo();
      Media media(fromMemory ? ovra::codecs::testing::loadMediaBytes(c.bytes.data(), c.bytes.size(),
                                                                     info.get())
                             : OvraLoadMediaFile(path.c_str(), info.get()));
      if (c.expect == Expect::Refused) {
        EXPECT_FALSE(media);
        EXPECT_EQ(info->streamCount, 0);
        EXPECT_EQ(takeLog().size(), 1u);
        continue;
      }
      ASSERT_TRUE(media);
      decodeSound(media.get(), 2000);
      Picture picture(std::max(OvraGetVideoBuffersize(media.get()), 4));
      for (int i = 0; i < 100 && OvraGetNextVideoFrame(&picture.frame, media.get(), 1); ++i) {
      }
      EXPECT_LE(takeLog().size(), 2u);  // at most one line for each stream that gave up
    }
  }
  EXPECT_EQ(OvraLoadMediaFile((scratch_ / "absent.mp3").c_str(), nullptr), nullptr);
  EXPECT_EQ(takeLog().size(), 1u);
}

// A path is a file name, never a protocol or a list of files.
TEST_F(CodecsTest, PathsAreFileNamesOnly) {
  const fs::path odd = scratch_ / "concat:a|b.wav";
  fs::copy_file(kData / "tone440-44100-mono.wav", odd);
  EXPECT_TRUE(load(odd, nullptr));
  const std::string concat = "concat:" + (kData / "tone440-44100-mono.wav").string();
  EXPECT_EQ(OvraLoadMediaFile(concat.c_str(), nullptr), nullptr);
  EXPECT_EQ(takeLog().size(), 1u);
}

// A picture buffer smaller than the picture is refused before anything is written.
TEST_F(CodecsTest, ShortPictureBufferIsRefused) {
  Media media = load(kData / "film-64x48-10f.mp4", nullptr);
  ASSERT_TRUE(media);
  std::vector<std::uint8_t> pixels(64 * 48 * 4, 0xAB);
  tagVideoFrame frame{pixels.data(), 0, 0, 0, 64 * 48 * 4 - 1, 0, 0};
  EXPECT_EQ(OvraGetNextVideoFrame(&frame, media.get(), 0), 0);
  EXPECT_EQ(takeLog().size(), 1u);
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xAB), 64 * 48 * 4);
  frame.pixels = nullptr;
  frame.size = 64 * 48 * 4;
  EXPECT_EQ(OvraGetNextVideoFrame(&frame, media.get(), 0), 0);
  EXPECT_EQ(takeLog().size(), 1u);

  Media sound = load(kData / "tone440-44100-mono.wav", nullptr);
  int w = 10, h = 10;
  EXPECT_EQ(OvraResizeVideoSize(&w, &h, sound.get()), 0);  // no pictures to size
  EXPECT_EQ(OvraResample(44100, 24, 2, sound.get()), 0);
  EXPECT_EQ(OvraResample(44100, 16, 0, sound.get()), 0);
  EXPECT_EQ(takeLog().size(), 3u);
}

// A null handle or record is a no-op returning 0, with nothing logged.
TEST_F(CodecsTest, NullHandlesDoNothing) {
  tagVideoFrame frame{};
  auto audio = std::make_unique<tagAudioFrame>();
  int w = 1, h = 1;
  EXPECT_EQ(OvraFreeFileFormatInfo(nullptr), 0);
  EXPECT_EQ(OvraMallocFileFormatInfo(nullptr), 0);
  EXPECT_EQ(OvraUnloadMediaFile(nullptr), 0);
  EXPECT_EQ(OvraResizeVideoSize(&w, &h, nullptr), 0);
  EXPECT_EQ(OvraGetVideoBuffersize(nullptr), 0);
  EXPECT_EQ(OvraResample(44100, 16, 2, nullptr), 0);
  EXPECT_EQ(OvraGetNextVideoFrame(&frame, nullptr, 0), 0);
  EXPECT_EQ(OvraGetNextAudioFrame(audio.get(), nullptr), 0);
  EXPECT_EQ(OvraSeekMediaFile(0, nullptr), 0);
  EXPECT_EQ(OvraFlushVideo(nullptr), 0);
  EXPECT_EQ(OvraFlushAudio(nullptr), 0);
  EXPECT_EQ(OvraResizeImage(nullptr, &frame), 0);
  EXPECT_EQ(OvraInitializeEncoder(nullptr), nullptr);
  EXPECT_EQ(OvraAddAudioFrame(audio->samples, 4096, nullptr), 0);
  EXPECT_EQ(OvraCloseAudio(nullptr), 0);
  EXPECT_EQ(OvraDeInitializeEncoder(nullptr), 0);
  EXPECT_EQ(OvraMalloc(0), nullptr);
  EXPECT_EQ(OvraMalloc(-5), nullptr);
  EXPECT_TRUE(takeLog().empty());

  auto* block = static_cast<char*>(OvraMalloc(4));
  ASSERT_NE(block, nullptr);
  std::memcpy(block, "abc", 4);
  EXPECT_EQ(OvraRealloc(block, 0), nullptr);  // refused, block kept
  block = static_cast<char*>(OvraRealloc(block, 1 << 20));
  ASSERT_NE(block, nullptr);
  EXPECT_STREQ(block, "abc");
  OvraFree(block);
}

// Only the stream being read is kept: flushing pictures while reading sound keeps the queue empty,
// and the callback given first survives a later start without one.
TEST_F(CodecsTest, FlushingAndRestartKeepTheirPromises) {
  OvraInitializeCodecs(nullptr);
  Media media = load(kData / "film-64x48-10f.mp4", nullptr);
  ASSERT_TRUE(media);
  auto audio = std::make_unique<tagAudioFrame>();
  int frames = 0;
  while (OvraFlushVideo(media.get()) && OvraGetNextAudioFrame(audio.get(), media.get())) ++frames;
  EXPECT_GT(frames, 20);
  Picture picture(OvraGetVideoBuffersize(media.get()));
  EXPECT_EQ(OvraGetNextVideoFrame(&picture.frame, media.get(), 0), 0);  // all pictures dropped
  ASSERT_NE(OvraSeekMediaFile(0, media.get()), 0);
  EXPECT_NE(OvraGetNextVideoFrame(&picture.frame, media.get(), 0), 0);
  EXPECT_EQ(OvraLoadMediaFile("", nullptr), nullptr);
  EXPECT_EQ(takeLog().size(), 1u);  // still our callback
  OvraDeInitializeCodecs(0);
  EXPECT_EQ(OvraLoadMediaFile("", nullptr), nullptr);
  EXPECT_TRUE(takeLog().empty());
}

}  // namespace
