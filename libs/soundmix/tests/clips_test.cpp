// The clip list: adding, ids, records, updates and their checks, deleting, the timeline length,
// and bad input of every kind.

#include "support.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <random>

namespace soundmix_test {
namespace {

class SoundmixClipsTest : public ::testing::Test {
 protected:
  std::string writeBytes(const char* name, const std::vector<char>& bytes) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  static std::vector<char> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  ScratchDir scratch;
  const fs::path dir = scratch.path();
  Component c = makeComponent();
};

TEST_F(SoundmixClipsTest, AddedFileGetsAWholeFileRecord) {
  struct Case {
    const char* file;
    std::int64_t seconds;
  };
  std::uint32_t id = 0;
  for (const Case& k : {Case{"const-44100-stereo.wav", 1}, Case{"tone440-48000-mono.mp3", 3},
                        Case{"tone440-44100-stereo.ogg", 2}}) {
    SCOPED_TRACE(k.file);
    TMusicElement* e = OvraAddMusicElement(data(k.file).c_str(), c.get());
    ASSERT_NE(e, nullptr);
    EXPECT_STREQ(e->szFileName, data(k.file).c_str());
    EXPECT_EQ(e->llFileLength, k.seconds * kSecond);
    EXPECT_EQ(e->llClipLength, e->llFileLength);
    EXPECT_EQ(e->llClipStart, 0);
    EXPECT_EQ(e->llStartPlayTime, 0);
    EXPECT_EQ(e->llFadeInLength, 0);
    EXPECT_EQ(e->llFadeOutLength, 0);
    EXPECT_EQ(e->nClipValidate, 0);
    EXPECT_EQ(e->nVolume, 100);
    EXPECT_EQ(e->id, id++);
  }
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), 3 * kSecond);
}

TEST_F(SoundmixClipsTest, LongUnicodePathIsKeptWhole) {
  // Far beyond 260 characters, with letters outside ASCII.
  fs::path deep = dir;
  for (int i = 0; i < 16; ++i) deep /= "Grüße-ünd-Öl-перевод-音楽-" + std::to_string(i);
  fs::create_directories(deep);
  const fs::path file = deep / "Schöne Musik ♫.wav";
  fs::copy_file(data("const-44100-stereo.wav"), file);
  ASSERT_GT(file.string().size(), 600u);
  TMusicElement* e = OvraAddMusicElement(file.c_str(), c.get());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(std::string(e->szFileName), file.string());

  // A record copied from it names the same file.
  TMusicElement copy = *e;
  EXPECT_TRUE(OvraAddMusicElementEx(&copy, c.get()));

  // Longer than any path the system opens: refused, not shortened into another name.
  const std::string tooLong = "/" + std::string(OVRA_MUSIC_PATH_BYTES, 'a');
  EXPECT_EQ(OvraAddMusicElement(tooLong.c_str(), c.get()), nullptr);
  TMusicElement unterminated{};
  std::memset(unterminated.szFileName, 'a', sizeof unterminated.szFileName);
  EXPECT_FALSE(OvraAddMusicElementEx(&unterminated, c.get()));
}

TEST_F(SoundmixClipsTest, RecordAddedCopiesSettingsWithANewId) {
  TMusicElement& first = addClip(c.get(), "ramp-44100-stereo.wav");
  TMusicElement s = first;
  s.nClipValidate = 1;
  s.llClipStart = kSecond / 4;
  s.llClipLength = kSecond / 2;
  s.llStartPlayTime = 2 * kSecond;
  s.llFadeInLength = kSecond / 10;
  s.nVolume = 70;
  s.id = 77;
  ASSERT_TRUE(OvraAddMusicElementEx(&s, c.get()));
  // The copy's place counts: from 0 to 2.5 s.
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), 5 * kSecond / 2);
  // Its id is 1, not 77: deleting 77 changes nothing, deleting 1 leaves the first clip.
  OvraDeleteMusicElement(77, c.get());
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), 5 * kSecond / 2);
  OvraDeleteMusicElement(1, c.get());
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), kSecond);
  EXPECT_EQ(first.id, 0u);

  // A zero length takes the file's; a null record (an empty path) and bad settings are refused.
  TMusicElement noLength{};
  std::strcpy(noLength.szFileName, data("const-44100-stereo.wav").c_str());
  noLength.nVolume = 100;
  ASSERT_TRUE(OvraAddMusicElementEx(&noLength, c.get()));
  EXPECT_FALSE(OvraAddMusicElementEx(nullptr, c.get()));
  TMusicElement bad = s;
  bad.llFadeOutLength = kSecond;  // fades longer than the clip
  EXPECT_FALSE(OvraAddMusicElementEx(&bad, c.get()));
  bad = s;
  bad.llStartPlayTime = -1;
  EXPECT_FALSE(OvraAddMusicElementEx(&bad, c.get()));
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), kSecond);
}

TEST_F(SoundmixClipsTest, IdsKeepCountingAfterDeletes) {
  addClip(c.get(), "const-44100-stereo.wav");
  addClip(c.get(), "const-44100-stereo.wav");
  OvraDeleteMusicElement(0, c.get());
  OvraDeleteMusicElement(0, c.get());  // unknown now: nothing happens
  EXPECT_EQ(addClip(c.get(), "const-44100-stereo.wav").id, 2u);
}

TEST_F(SoundmixClipsTest, UpdateChecksAndCopiesOnlyTheTimingFields) {
  TMusicElement& e = addClip(c.get(), "ramp-44100-stereo.wav");
  const TMusicElement before = e;
  struct Case {
    const char* what;
    std::int64_t start, length, place, fadeIn, fadeOut;
    bool accepted;
  };
  const Case cases[] = {
      {"whole file", 0, kSecond, 0, 0, 0, true},
      {"trim to the file's end", kSecond / 2, kSecond / 2, kSecond, kSecond / 4, kSecond / 4, true},
      {"trim past the file", kSecond / 2, kSecond / 2 + 1, 0, 0, 0, false},
      {"fades longer than the clip", 0, kSecond / 2, 0, kSecond / 4, kSecond / 4 + 1, false},
      {"negative place", 0, kSecond, -1, 0, 0, false},
      {"negative trim start", -kSecond / 2, kSecond / 2, 0, 0, 0, false},
      {"negative length", kSecond / 2, -kSecond / 4, 0, 0, 0, false},
      {"negative fade", 0, kSecond, 0, -kSecond, kSecond, false},
      {"sums that wrap", INT64_MAX, INT64_MAX, 0, 0, 0, false},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    TMusicElement s = before;
    s.llClipStart = k.start;
    s.llClipLength = k.length;
    s.llStartPlayTime = k.place;
    s.llFadeInLength = k.fadeIn;
    s.llFadeOutLength = k.fadeOut;
    s.nVolume = 60;
    s.nClipValidate = 1;
    const TMusicElement was = e;
    EXPECT_EQ(OvraUpdateMusicElement(e.id, &s, c.get()), k.accepted);
    if (k.accepted) {
      EXPECT_EQ(e.llClipStart, k.start);
      EXPECT_EQ(e.llClipLength, k.length);
      EXPECT_EQ(e.llStartPlayTime, k.place);
      EXPECT_EQ(e.llFadeInLength, k.fadeIn);
      EXPECT_EQ(e.llFadeOutLength, k.fadeOut);
      EXPECT_EQ(e.nVolume, 60);
    } else {
      EXPECT_EQ(std::memcmp(&e, &was, sizeof e), 0) << "a refused update changed the clip";
    }
    EXPECT_EQ(e.nClipValidate, 0);
    EXPECT_EQ(e.id, before.id);
  }
  TMusicElement s = before;
  EXPECT_FALSE(OvraUpdateMusicElement(99, &s, c.get()));
  EXPECT_FALSE(OvraUpdateMusicElement(e.id, nullptr, c.get()));
}

TEST_F(SoundmixClipsTest, TimelineLengthFollowsTheBlankFlag) {
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), 0);
  TMusicElement& e = addClip(c.get(), "const-44100-stereo.wav");
  e.llStartPlayTime = 5 * kSecond;
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), kSecond);
  OvraMixBlankValidate(1, c.get());
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), 6 * kSecond);
  OvraMixBlankValidate(0, c.get());
  // Trimmed clips count their used part; whole-file clips their file.
  TMusicElement& t = addClip(c.get(), "tone440-48000-mono.mp3");
  t.nClipValidate = 1;
  t.llClipStart = kSecond;
  t.llClipLength = kSecond;
  t.llStartPlayTime = 8 * kSecond;
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), 4 * kSecond);
  t.nClipValidate = 0;
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), 6 * kSecond);
}

TEST_F(SoundmixClipsTest, FiveHundredTwelveClipsAtTheMost) {
  for (int i = 0; i < OVRA_MUSIC_MAX_CLIPS; ++i)
    ASSERT_NE(OvraAddMusicElement(data("const-48000-mono.wav").c_str(), c.get()), nullptr) << i;
  EXPECT_EQ(OvraAddMusicElement(data("const-48000-mono.wav").c_str(), c.get()), nullptr);
  OvraDeleteMusicElement(7, c.get());
  TMusicElement* e = OvraAddMusicElement(data("const-48000-mono.wav").c_str(), c.get());
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->id, 512u);
}

TEST_F(SoundmixClipsTest, FilesWithoutUsableSoundAreRefused) {
  std::mt19937 random(5);
  std::vector<char> noise(20000);
  for (char& b : noise) b = static_cast<char>(random());
  const auto mp3 = readBytes(data("tone440-48000-mono.mp3"));
  std::vector<char> headOnly(mp3.begin(), mp3.begin() + 40);
  const std::string cases[] = {
      data("pictures-only.mkv"),         // no sound stream
      (dir / "missing.wav").string(),    // no file
      writeBytes("noise.mp3", noise),    // not media at all
      writeBytes("empty.mp3", {}),       // nothing
      writeBytes("head.mp3", headOnly),  // cut inside its first frame header
      dir.string(),                      // a folder
      "",
  };
  for (const std::string& path : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(OvraAddMusicElement(path.c_str(), c.get()), nullptr);
  }
  EXPECT_EQ(OvraAddMusicElement(nullptr, c.get()), nullptr);
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), 0);
}

TEST_F(SoundmixClipsTest, DamagedAndMisdescribedClipsMixToTheirEnd) {
  // A truncated MP3, one with garbage in its middle, and a WAV whose record claims more than
  // the file holds (a trim past its end, written directly into the record, as callers may):
  // each gives what it has and the mix ends on time.
  const auto mp3 = readBytes(data("tone440-48000-mono.mp3"));
  std::vector<char> truncated(mp3.begin(), mp3.begin() + static_cast<long>(mp3.size() / 2));
  std::vector<char> scrambled = mp3;
  std::mt19937 random(9);
  for (std::size_t i = scrambled.size() / 3; i < scrambled.size() / 2; ++i)
    scrambled[i] = static_cast<char>(random());
  ASSERT_NE(OvraAddMusicElement(writeBytes("half.mp3", truncated).c_str(), c.get()), nullptr);
  TMusicElement* s = OvraAddMusicElement(writeBytes("scrambled.mp3", scrambled).c_str(), c.get());
  ASSERT_NE(s, nullptr);
  s->llStartPlayTime = 3 * kSecond;
  TMusicElement& wav = addClip(c.get(), "const-44100-stereo.wav");
  wav.nClipValidate = 1;
  wav.llClipStart = kSecond / 2;
  wav.llClipLength = 5 * kSecond;    // the file ends 0.5 s in
  wav.llFadeInLength = 9 * kSecond;  // and the fades are longer than the clip
  wav.llFadeOutLength = 9 * kSecond;
  wav.llStartPlayTime = 6 * kSecond;
  OvraMusicElementChanged(c.get());
  const std::int64_t length = OvraGetMixAudioLength(c.get());
  EXPECT_EQ(length, 11 * kSecond);
  const Mix m = pullAll(c.get());
  EXPECT_EQ(static_cast<std::int64_t>(m.samples.size()), blocksFor(11 * 88200) * 2048);
  // The WAV's half second is there, faded, and silence follows it.
  const std::size_t wavStart = 6 * 88200;
  EXPECT_NE(m.samples[wavStart + 44100 - 2], 0);
  for (std::size_t k = wavStart + 44100; k < m.samples.size(); ++k) ASSERT_EQ(m.samples[k], 0) << k;
}

TEST_F(SoundmixClipsTest, OutputFormatOutsideTheLibrarysRangeIsIgnored) {
  addClip(c.get(), "const-44100-stereo.wav");
  for (auto [rate, channels] : {std::pair{0, 2}, std::pair{-44100, 2}, std::pair{44100, 0},
                                std::pair{44100, 9}, std::pair{999, 1}, std::pair{400000, 1}})
    OvraSetMixParameter(rate, channels, c.get());
  // Still 44100 Hz stereo: 1 s is 88200 samples.
  EXPECT_EQ(pullAll(c.get()).samples.size(), static_cast<std::size_t>(blocksFor(88200) * 2048));
  OvraSetMixParameter(8000, 1, c.get());
  const Mix m = pullAll(c.get());
  EXPECT_EQ(m.samples.size(), static_cast<std::size_t>(blocksFor(8000) * 2048));
  ASSERT_GT(m.starts.size(), 1u);
  EXPECT_EQ(m.starts[1], 4096 * kSecond / 16000);
}

TEST(SoundmixNilHandleTest, EveryCallIgnoresANullHandle) {
  TMusicElement record{};
  auto frame = std::make_unique<tagAudioFrame>();
  OvraDeinitializeMusicComponent(nullptr);
  EXPECT_EQ(OvraAddMusicElement(data("const-44100-stereo.wav").c_str(), nullptr), nullptr);
  EXPECT_FALSE(OvraAddMusicElementEx(&record, nullptr));
  OvraDeleteMusicElement(0, nullptr);
  EXPECT_FALSE(OvraUpdateMusicElement(0, &record, nullptr));
  OvraMusicElementChanged(nullptr);
  EXPECT_EQ(OvraGetMixAudioLength(nullptr), 0);
  OvraMixBlankValidate(1, nullptr);
  OvraSetMixParameter(48000, 2, nullptr);
  EXPECT_FALSE(OvraPlayMixAudio(nullptr));
  OvraPauseMixAudio(nullptr);
  EXPECT_FALSE(OvraSeekMixAudio(0, nullptr));
  OvraStopMixAudio(nullptr);
  EXPECT_FALSE(OvraStartMixAudio("/tmp/x.mp3", nullptr, 128000, OVRA_OUTPUT_MP3));
  EXPECT_FALSE(OvraCancelMixAudio(nullptr));
  EXPECT_FALSE(OvraStartGetMixAudio(nullptr));
  EXPECT_FALSE(OvraGetNextMixAudio(frame.get(), nullptr));
}

TEST(SoundmixNilHandleTest, PullingNeedsAStartedMixAndAFrame) {
  Component c = makeComponent();
  addClip(c.get(), "const-44100-stereo.wav");
  auto frame = std::make_unique<tagAudioFrame>();
  EXPECT_FALSE(OvraGetNextMixAudio(frame.get(), c.get()));
  EXPECT_FALSE(OvraSeekMixAudio(0, c.get()));
  ASSERT_TRUE(OvraStartGetMixAudio(c.get()));
  EXPECT_FALSE(OvraGetNextMixAudio(nullptr, c.get()));
  EXPECT_TRUE(OvraGetNextMixAudio(frame.get(), c.get()));
  // A change stops the mixer: pulling ends until it is started again.
  OvraMusicElementChanged(c.get());
  EXPECT_FALSE(OvraGetNextMixAudio(frame.get(), c.get()));
}

}  // namespace
}  // namespace soundmix_test
