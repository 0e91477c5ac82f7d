// Encoding into MP3 (checked with ffprobe), cancelling, playback through the sound device (SDL's
// dummy driver in tests), and destroying a component while either runs.

#include "support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <thread>

namespace soundmix_test {
namespace {

using namespace std::chrono_literals;

std::size_t threadCount() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/task")) ++n;
  return n;
}

// The count to come back to. A first thread is started and ended before counting: some runtimes
// (ThreadSanitizer's) add a helper thread of their own when the process makes its first thread.
std::size_t baselineThreads() {
  std::thread([] {}).join();
  return threadCount();
}

// ffprobe's view of a file: "stream.<key>" and "format.<key>" values, and "decoded": the sample
// frames its decoder gives out.
std::map<std::string, std::string> probe(const fs::path& file) {
  const std::string command =
      "ffprobe -v error -select_streams a:0 -show_entries stream=codec_name,sample_rate,channels,"
      "bit_rate:format=duration:frame=nb_samples -of flat=s=. '" +
      file.string() + "' 2>/dev/null";
  std::map<std::string, std::string> values;
  long decoded = 0;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return values;
  char line[512];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string s(line);
    const auto eq = s.find('=');
    if (eq == std::string::npos) continue;
    std::string key = s.substr(0, eq), value = s.substr(eq + 1);
    while (!value.empty() && (value.back() == '\n' || value.back() == '"')) value.pop_back();
    if (!value.empty() && value.front() == '"') value.erase(0, 1);
    if (key.rfind("streams.stream.0.", 0) == 0) key = "stream." + key.substr(17);
    if (key.find(".nb_samples") != std::string::npos)
      decoded += std::stol(value);
    else
      values[key] = value;
  }
  pclose(pipe);
  values["decoded"] = std::to_string(decoded);
  return values;
}

// The file holds the timeline's length to within one MP3 frame of sound; the container's figure
// also counts the encoder's fixed delay (576 + 529 samples), so it may run up to that over.
void expectLength(const fs::path& file, double seconds, int rate) {
  auto p = probe(file);
  ASSERT_FALSE(p["format.duration"].empty()) << file;
  EXPECT_NEAR(std::stod(p["decoded"]), seconds * rate, 1152) << "sample frames decoded";
  const double header = std::stod(p["format.duration"]);
  EXPECT_GE(header, seconds - 1152.0 / rate);
  EXPECT_LE(header, seconds + (1105.0 + 1152.0) / rate);
}

class SoundmixEncodeTest : public ::testing::Test {
 protected:
  // Three clips, trimmed, faded and overlapping, 5 s in all, laid out the way the publisher does:
  // records filled in place, each change reported.
  void layOutThreeClips() {
    TMusicElement& a = addClip(c.get(), "tone440-48000-mono.mp3");
    a.nClipValidate = 1;
    a.llClipStart = kSecond / 2;
    a.llClipLength = 2 * kSecond;
    a.llFadeInLength = kSecond / 2;
    a.llFadeOutLength = kSecond / 2;
    OvraMusicElementChanged(c.get());
    TMusicElement& b = addClip(c.get(), "ramp-44100-stereo.wav");
    b.llStartPlayTime = 2 * kSecond;
    OvraMusicElementChanged(c.get());
    TMusicElement& d = addClip(c.get(), "tone440-44100-stereo.ogg");
    d.llStartPlayTime = 3 * kSecond;
    d.nVolume = 80;
    OvraMusicElementChanged(c.get());
  }

  // A long stretch of silence before one clip: takes long enough to encode to be interrupted.
  void layOutLongTimeline() {
    TMusicElement& e = addClip(c.get(), "const-44100-stereo.wav");
    e.llStartPlayTime = 900 * kSecond;
    OvraMixBlankValidate(1, c.get());
    OvraMusicElementChanged(c.get());
  }

  ScratchDir scratch;
  const fs::path dir = scratch.path();
  Recorder recorder;
  Component c = makeComponent(&recorder);
};

TEST_F(SoundmixEncodeTest, EncodedMixHasTheTimelinesLengthAndBitRate) {
  layOutThreeClips();
  const std::int64_t length = OvraGetMixAudioLength(c.get());
  ASSERT_EQ(length, 5 * kSecond);
  const fs::path out = dir / "mix.mp3";
  ASSERT_TRUE(OvraStartMixAudio(out.c_str(), c.get(), 128000, OVRA_OUTPUT_MP3));
  ASSERT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED), OVRA_MUSIC_SUCCESS);

  // Started first, then progress in whole seconds, rising by one, then finished once.
  const auto events = recorder.events();
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.front(), event(OVRA_MUSIC_STARTED, 0));
  EXPECT_EQ(events.back(), event(OVRA_MUSIC_FINISHED, OVRA_MUSIC_SUCCESS));
  std::int32_t expected = 0;
  for (std::size_t i = 1; i + 1 < events.size(); ++i) {
    EXPECT_EQ(events[i], event(OVRA_MUSIC_PROGRESS, expected)) << i;
    ++expected;
  }
  EXPECT_EQ(expected, 6);  // 0 .. 5 s

  auto p = probe(out);
  EXPECT_EQ(p["stream.codec_name"], "mp3");
  EXPECT_EQ(p["stream.sample_rate"], "44100");
  EXPECT_EQ(p["stream.channels"], "2");
  EXPECT_EQ(p["stream.bit_rate"], "128000");
  expectLength(out, 5.0, 44100);
}

TEST_F(SoundmixEncodeTest, PublishersSequenceWithARefusedClip) {
  // Clips back to back from 0 in the order given, whole seconds, 3-second fades even where the
  // clip is shorter than both, a file the library refuses skipped without moving the next start.
  struct Clip {
    const char* file;
    std::int64_t begin, end;  // seconds into the file
  };
  const Clip clips[] = {{"tone440-48000-mono.mp3", 0, 3},
                        {"pictures-only.mkv", 0, 5},
                        {"const-44100-stereo.wav", 0, 1},
                        {"tone440-44100-stereo.ogg", 1, 2}};
  std::int64_t place = 0, seconds = 0;
  for (const Clip& k : clips) {
    TMusicElement* e = OvraAddMusicElement(data(k.file).c_str(), c.get());
    if (!e) continue;
    e->llClipStart = k.begin * kSecond;
    e->llClipLength = (k.end - k.begin) * kSecond;
    e->llStartPlayTime = place;
    e->nClipValidate = 1;
    e->llFadeInLength = 3 * kSecond;
    e->llFadeOutLength = 3 * kSecond;
    OvraMusicElementChanged(c.get());
    place += e->llClipLength;
    seconds = OvraGetMixAudioLength(c.get()) / kSecond;
  }
  ASSERT_EQ(seconds, 5);
  const fs::path out = dir / "Temp" / "TempMusic.mp3";
  fs::create_directories(out.parent_path());
  ASSERT_TRUE(OvraStartMixAudio(out.c_str(), c.get(), 128000, 16));
  ASSERT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED), OVRA_MUSIC_SUCCESS);
  EXPECT_EQ(recorder.events().front(), event(OVRA_MUSIC_STARTED, 0));
  expectLength(out, 5.0, 44100);
}

TEST_F(SoundmixEncodeTest, OutputFormatSetsTheFilesRateAndChannels) {
  layOutThreeClips();
  OvraSetMixParameter(48000, 1, c.get());
  const fs::path out = dir / "mono.mp3";
  ASSERT_TRUE(OvraStartMixAudio(out.c_str(), c.get(), 64000, OVRA_OUTPUT_MP3));
  ASSERT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED), OVRA_MUSIC_SUCCESS);
  auto p = probe(out);
  EXPECT_EQ(p["stream.sample_rate"], "48000");
  EXPECT_EQ(p["stream.channels"], "1");
  EXPECT_EQ(p["stream.bit_rate"], "64000");
  expectLength(out, 5.0, 48000);
}

TEST_F(SoundmixEncodeTest, RefusedStartsAreReportedAsFailures) {
  addClip(c.get(), "const-44100-stereo.wav");
  struct Case {
    const char* what;
    fs::path path;
    std::int32_t bitRate, format;
  };
  const Case cases[] = {
      {"folder that does not exist", dir / "no" / "such" / "mix.mp3", 128000, OVRA_OUTPUT_MP3},
      {"a folder", dir, 128000, OVRA_OUTPUT_MP3},
      {"bit rate no MP3 has", dir / "a.mp3", 12345, OVRA_OUTPUT_MP3},
      {"not the MP3 format", dir / "b.mp3", 128000, 3},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    recorder.clear();
    ASSERT_TRUE(OvraStartMixAudio(k.path.c_str(), c.get(), k.bitRate, k.format));
    EXPECT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED), OVRA_MUSIC_FAILURE);
    for (const auto& [kind, value] : recorder.events()) EXPECT_NE(kind, OVRA_MUSIC_STARTED);
  }
  EXPECT_TRUE(fs::is_directory(dir));
  EXPECT_FALSE(OvraStartMixAudio(nullptr, c.get(), 128000, OVRA_OUTPUT_MP3));
  EXPECT_FALSE(OvraStartMixAudio("", c.get(), 128000, OVRA_OUTPUT_MP3));
}

TEST_F(SoundmixEncodeTest, CancelEndsWithCancelledRemovesTheFileAndLeavesNoThread) {
  const std::size_t before = baselineThreads();
  EXPECT_FALSE(OvraCancelMixAudio(c.get()));
  layOutLongTimeline();
  const fs::path out = dir / "long.mp3";
  ASSERT_TRUE(OvraStartMixAudio(out.c_str(), c.get(), 128000, OVRA_OUTPUT_MP3));
  ASSERT_EQ(recorder.waitFor(OVRA_MUSIC_STARTED), 0);
  ASSERT_TRUE(OvraCancelMixAudio(c.get()));
  ASSERT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED), OVRA_MUSIC_CANCELLED);
  OvraMusicElementChanged(c.get());  // waits for the threads
  EXPECT_EQ(threadCount(), before);
  EXPECT_FALSE(OvraCancelMixAudio(c.get()));
  EXPECT_FALSE(fs::exists(out)) << "a cut-off mix was left behind";
  int finished = 0;
  for (const auto& [kind, value] : recorder.events()) finished += kind == OVRA_MUSIC_FINISHED;
  EXPECT_EQ(finished, 1);
}

TEST_F(SoundmixEncodeTest, NewStartCancelsTheRunningJob) {
  layOutLongTimeline();
  ASSERT_TRUE(OvraStartMixAudio((dir / "first.mp3").c_str(), c.get(), 128000, OVRA_OUTPUT_MP3));
  ASSERT_EQ(recorder.waitFor(OVRA_MUSIC_STARTED), 0);
  OvraMixBlankValidate(0, c.get());  // now 1 s long
  ASSERT_TRUE(OvraStartMixAudio((dir / "second.mp3").c_str(), c.get(), 128000, OVRA_OUTPUT_MP3));
  // The first job's end is already reported when the start call returns.
  auto events = recorder.events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back(), event(OVRA_MUSIC_FINISHED, OVRA_MUSIC_CANCELLED));
  recorder.clear();
  EXPECT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED), OVRA_MUSIC_SUCCESS);
  EXPECT_FALSE(fs::exists(dir / "first.mp3"));
  expectLength(dir / "second.mp3", 1.0, 44100);
}

TEST_F(SoundmixEncodeTest, EmptyTimelineEncodesAnEmptyMix) {
  const fs::path out = dir / "empty.mp3";
  ASSERT_TRUE(OvraStartMixAudio(out.c_str(), c.get(), 128000, OVRA_OUTPUT_MP3));
  EXPECT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED), OVRA_MUSIC_SUCCESS);
}

// ---- playback ---------------------------------------------------------------------------------

class SoundmixPlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* driver = std::getenv("SDL_AUDIODRIVER");
    if (!driver || std::string(driver) != "dummy") setenv("SDL_AUDIODRIVER", "dummy", 1);
    addClip(c.get(), "const-44100-stereo.wav");
  }
  Recorder recorder;
  Component c = makeComponent(&recorder);
};

TEST_F(SoundmixPlayTest, PlayReportsEachSecondAndTheEnd) {
  EXPECT_FALSE(OvraSeekMixAudio(0, c.get()));  // nothing plays yet
  ASSERT_TRUE(OvraPlayMixAudio(c.get()));
  ASSERT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED, 10s), OVRA_MUSIC_SUCCESS);
  const auto events = recorder.events();
  EXPECT_EQ(events.front(), event(OVRA_MUSIC_PROGRESS, 0));
  EXPECT_EQ(events.back(), event(OVRA_MUSIC_FINISHED, OVRA_MUSIC_SUCCESS));
  EXPECT_EQ(events.size(), 3u);  // 0 s, 1 s, the end
}

TEST_F(SoundmixPlayTest, SeekPastTheEndEndsPlaybackAtOnce) {
  TMusicElement* more = OvraAddMusicElement(data("tone440-48000-mono.mp3").c_str(), c.get());
  ASSERT_NE(more, nullptr);
  more->llStartPlayTime = 60 * kSecond;  // a minute long
  ASSERT_TRUE(OvraPlayMixAudio(c.get()));
  ASSERT_TRUE(OvraSeekMixAudio(120 * kSecond, c.get()));
  EXPECT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED, 3s), OVRA_MUSIC_SUCCESS);
}

TEST_F(SoundmixPlayTest, SeekMovesTheReportedPosition) {
  TMusicElement* more = OvraAddMusicElement(data("tone440-48000-mono.mp3").c_str(), c.get());
  ASSERT_NE(more, nullptr);
  more->llStartPlayTime = 60 * kSecond;
  OvraMusicElementChanged(c.get());
  ASSERT_TRUE(OvraPlayMixAudio(c.get()));
  ASSERT_TRUE(OvraSeekMixAudio(61 * kSecond + kSecond / 2, c.get()));
  ASSERT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED, 10s), OVRA_MUSIC_SUCCESS);
  // Second 0 before the seek; after it 61, 62 and the end at 63 s, a second and a half later.
  std::vector<std::int32_t> seconds;
  for (const auto& [kind, value] : recorder.events())
    if (kind == OVRA_MUSIC_PROGRESS && value != 0) seconds.push_back(value);
  EXPECT_EQ(seconds, (std::vector<std::int32_t>{61, 62, 63}));
}

TEST_F(SoundmixPlayTest, PauseHoldsAndStopRewinds) {
  ASSERT_TRUE(OvraPlayMixAudio(c.get()));
  ASSERT_EQ(recorder.waitFor(OVRA_MUSIC_PROGRESS, 3s), 0);
  OvraPauseMixAudio(c.get());
  recorder.clear();
  std::this_thread::sleep_for(1500ms);  // longer than the clip: paused, it cannot end
  EXPECT_TRUE(recorder.events().empty());
  ASSERT_TRUE(OvraPlayMixAudio(c.get()));
  EXPECT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED, 10s), OVRA_MUSIC_SUCCESS);

  OvraStopMixAudio(c.get());
  recorder.clear();
  ASSERT_TRUE(OvraPlayMixAudio(c.get()));
  EXPECT_EQ(recorder.waitFor(OVRA_MUSIC_PROGRESS, 3s), 0);
  EXPECT_EQ(recorder.waitFor(OVRA_MUSIC_FINISHED, 10s), OVRA_MUSIC_SUCCESS);
}

TEST_F(SoundmixPlayTest, OneComponentHoldsTheDeviceAtATime) {
  Recorder other;
  Component second = makeComponent(&other);
  addClip(second.get(), "const-44100-stereo.wav");
  ASSERT_TRUE(OvraPlayMixAudio(c.get()));
  EXPECT_FALSE(OvraPlayMixAudio(second.get()));
  OvraMusicElementChanged(c.get());  // frees the player
  ASSERT_TRUE(OvraPlayMixAudio(second.get()));
  EXPECT_EQ(other.waitFor(OVRA_MUSIC_FINISHED, 10s), OVRA_MUSIC_SUCCESS);
}

// ---- destroying while threads run (also run under ThreadSanitizer) ---------------------------

class SoundmixStressTest : public SoundmixEncodeTest {};

TEST_F(SoundmixStressTest, DestroyWhileEncoding) {
  const std::size_t before = baselineThreads();
  std::mt19937 random(3);
  for (int round = 0; round < 6; ++round) {
    Recorder r;
    Component one = makeComponent(&r);
    TMusicElement& e = addClip(one.get(), "tone440-48000-mono.mp3");
    e.llStartPlayTime = 600 * kSecond;
    OvraMixBlankValidate(1, one.get());
    ASSERT_TRUE(OvraStartMixAudio((dir / "x.mp3").c_str(), one.get(), 128000, OVRA_OUTPUT_MP3));
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 60));
    one.reset();
    const auto events = r.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().first, OVRA_MUSIC_FINISHED);
  }
  EXPECT_EQ(threadCount(), before);
}

TEST_F(SoundmixStressTest, DestroyWhilePlayingAndSeeking) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  std::mt19937 random(4);
  for (int round = 0; round < 5; ++round) {
    Recorder r;
    Component one = makeComponent(&r);
    addClip(one.get(), "tone440-48000-mono.mp3");
    addClip(one.get(), "const-44100-stereo.wav").llStartPlayTime = kSecond;
    ASSERT_TRUE(OvraPlayMixAudio(one.get()));
    for (int i = 0; i < 20; ++i) {
      switch (random() % 4) {
        case 0:
          OvraSeekMixAudio(static_cast<std::int64_t>(random() % 40) * kSecond / 10, one.get());
          break;
        case 1:
          OvraPauseMixAudio(one.get());
          break;
        case 2:
          OvraPlayMixAudio(one.get());
          break;
        default:
          std::this_thread::sleep_for(std::chrono::milliseconds(random() % 20));
      }
    }
    OvraPlayMixAudio(one.get());
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 50));
    one.reset();
  }
}

TEST_F(SoundmixStressTest, ChangesWhileAnotherThreadPulls) {
  addClip(c.get(), "tone440-48000-mono.mp3");
  ASSERT_TRUE(OvraStartGetMixAudio(c.get()));
  std::atomic<bool> done{false};
  std::thread puller([&] {
    auto frame = std::make_unique<tagAudioFrame>();
    while (!done) OvraGetNextMixAudio(frame.get(), c.get());
  });
  for (int i = 0; i < 30; ++i) {
    OvraMusicElementChanged(c.get());
    OvraStartGetMixAudio(c.get());
    OvraSeekMixAudio(i * kSecond / 10, c.get());
  }
  done = true;
  puller.join();
}

}  // namespace
}  // namespace soundmix_test
