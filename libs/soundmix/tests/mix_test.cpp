// Sample-exact checks of the mix, pulled block by block at 44100 Hz stereo, against values worked
// out by hand from the fixtures: const-44100-stereo.wav is (10000, -10000) in every frame,
// ramp-44100-stereo.wav has frame j = (j - 22050, 22050 - j); both last exactly 1 s.

#include "support.h"

#include <cmath>
#include <cstdlib>

namespace soundmix_test {
namespace {

constexpr std::int64_t kSamplesPerSecond = 88200;  // 44100 Hz, two channels

std::int32_t constAt(std::int64_t k) {
  return k % 2 == 0 ? 10000 : -10000;
}
std::int32_t rampAt(std::int64_t k) {
  const std::int64_t left = k / 2 - 22050;
  return static_cast<std::int32_t>(k % 2 == 0 ? left : -left);
}

class SoundmixMixTest : public ::testing::Test {
 protected:
  Component c = makeComponent();

  // The mix, checking that it is exactly the blocks its length needs.
  std::vector<std::int16_t> mix(std::int64_t expectedSamples) {
    Mix m = pullAll(c.get());
    EXPECT_EQ(static_cast<std::int64_t>(m.samples.size()), blocksFor(expectedSamples) * 2048);
    for (std::size_t b = 0; b < m.starts.size(); ++b)
      EXPECT_EQ(m.starts[b], static_cast<std::int64_t>(b) * 4096 * kSecond / 176400) << b;
    return std::move(m.samples);
  }
};

TEST_F(SoundmixMixTest, WholeClipComesOutUnchangedThenSilence) {
  addClip(c.get(), "const-44100-stereo.wav");
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), kSecond);
  const auto out = mix(kSamplesPerSecond);
  for (std::int64_t k = 0; k < kSamplesPerSecond; ++k) ASSERT_EQ(out[k], constAt(k)) << k;
  for (std::size_t k = kSamplesPerSecond; k < out.size(); ++k) ASSERT_EQ(out[k], 0) << k;
}

TEST_F(SoundmixMixTest, TrimTakesExactlyTheChosenSamples) {
  // Written into the record and reported, as the publisher does: from 0.25 s, 0.5 s long.
  TMusicElement& e = addClip(c.get(), "ramp-44100-stereo.wav");
  e.nClipValidate = 1;
  e.llClipStart = kSecond / 4;   // frame 11025
  e.llClipLength = kSecond / 2;  // 22050 frames
  OvraMusicElementChanged(c.get());
  ASSERT_EQ(OvraGetMixAudioLength(c.get()), kSecond / 2);
  const auto out = mix(kSamplesPerSecond / 2);
  EXPECT_EQ(out[0], -11025);  // frame 11025: 11025 - 22050
  EXPECT_EQ(out[1], 11025);
  EXPECT_EQ(out[44099], -11024);  // frame 33074, right channel: 22050 - 33074
  for (std::int64_t k = 0; k < kSamplesPerSecond / 2; ++k)
    ASSERT_EQ(out[k], rampAt(k + 22050)) << k;
  for (std::size_t k = kSamplesPerSecond / 2; k < out.size(); ++k) ASSERT_EQ(out[k], 0) << k;
}

TEST_F(SoundmixMixTest, UpdatedTrimAndPlaceAreUsedOnTheNextMix) {
  TMusicElement& e = addClip(c.get(), "ramp-44100-stereo.wav");
  mix(kSamplesPerSecond);
  TMusicElement s = e;
  s.llClipStart = kSecond / 2;
  s.llClipLength = kSecond / 10;
  s.nClipValidate = 1;  // not copied by an update: the whole file stays in use ...
  ASSERT_TRUE(OvraUpdateMusicElement(e.id, &s, c.get()));
  EXPECT_EQ(e.nClipValidate, 0);
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), kSecond);
  e.nClipValidate = 1;  // ... until the caller sets it
  OvraMusicElementChanged(c.get());
  const auto out = mix(kSamplesPerSecond / 10);
  EXPECT_EQ(out[0], 0);  // frame 22050
  EXPECT_EQ(out[8819], -4409);
  EXPECT_EQ(out[8820], 0);
}

// The fade formulas on single samples, n counted from 1 across both channels: with F = 8820
// (0.1 s), sample n of the fade-in is s * n / F; of the fade-out, s * (88200 - n) / F; truncated
// towards zero.
TEST_F(SoundmixMixTest, FadeInRisesLinearlyFromTheFirstSample) {
  TMusicElement& e = addClip(c.get(), "const-44100-stereo.wav");
  e.llFadeInLength = kSecond / 10;
  OvraMusicElementChanged(c.get());
  const auto out = mix(kSamplesPerSecond);
  EXPECT_EQ(out[0], 1);          // 10000 * 1 / 8820 = 1.13
  EXPECT_EQ(out[1], -2);         // -10000 * 2 / 8820 = -2.27, not -3
  EXPECT_EQ(out[4409], -5000);   // n = 4410, half way
  EXPECT_EQ(out[8818], 9998);    // n = 8819: 9998.87
  EXPECT_EQ(out[8819], -10000);  // n = F: the fade is over
  for (std::int64_t k = 0; k < 8819; ++k) ASSERT_EQ(out[k], constAt(k) * (k + 1) / 8820) << k;
  for (std::int64_t k = 8819; k < kSamplesPerSecond; ++k) ASSERT_EQ(out[k], constAt(k)) << k;
}

TEST_F(SoundmixMixTest, FadeOutFallsLinearlyToZeroAtTheLastSample) {
  TMusicElement& e = addClip(c.get(), "const-44100-stereo.wav");
  e.llFadeOutLength = kSecond / 10;
  OvraMusicElementChanged(c.get());
  const auto out = mix(kSamplesPerSecond);
  EXPECT_EQ(out[79379], -10000);  // n = 79380 = total - G: not yet
  EXPECT_EQ(out[79380], 9998);    // n = 79381: 10000 * 8819 / 8820
  EXPECT_EQ(out[83789], -5000);   // n = 83790: half way
  EXPECT_EQ(out[88198], 1);       // n = 88199: 10000 * 1 / 8820
  EXPECT_EQ(out[88199], 0);       // n = 88200
  for (std::int64_t k = 0; k < 79380; ++k) ASSERT_EQ(out[k], constAt(k)) << k;
  for (std::int64_t k = 79380; k < kSamplesPerSecond; ++k)
    ASSERT_EQ(out[k], constAt(k) * (kSamplesPerSecond - k - 1) / 8820) << k;
}

TEST_F(SoundmixMixTest, ThreeSecondFadeSpansItsSamplesAtTheDefaultFormat) {
  // A clip placed three times the file's length, faded in over 3 s: 264600 samples, the first
  // scaled by 1 / 264600. The WAV ends after 1 s, so only the fade's first third is heard.
  TMusicElement& e = addClip(c.get(), "ramp-44100-stereo.wav");
  e.llFadeInLength = 3 * kSecond;
  e.llFileLength = 3 * kSecond;
  e.llClipLength = 3 * kSecond;
  OvraMusicElementChanged(c.get());
  const auto out = mix(3 * kSamplesPerSecond);
  EXPECT_EQ(out[0], 0);    // -22050 * 1 / 264600 = -0.08
  EXPECT_EQ(out[24], -2);  // frame 12, left: -22038 * 25 / 264600 = -2.08
  EXPECT_EQ(out[88198], static_cast<std::int16_t>(std::int64_t{22049} * 88199 / 264600));
  EXPECT_EQ(out[88200], 0);  // after the file's end
}

struct VolumeCase {
  std::int32_t volume;
  std::int16_t left, right;
};

TEST_F(SoundmixMixTest, VolumeScalesAndClamps) {
  for (const VolumeCase& v :
       {VolumeCase{50, 5000, -5000}, VolumeCase{33, 3300, -3300}, VolumeCase{250, 25000, -25000},
        VolumeCase{400, 32767, -32768}, VolumeCase{0, 0, 0}}) {
    SCOPED_TRACE(v.volume);
    Component one = makeComponent();
    TMusicElement& e = addClip(one.get(), "const-44100-stereo.wav");
    e.nVolume = v.volume;
    OvraMusicElementChanged(one.get());
    const auto out = pullAll(one.get()).samples;
    ASSERT_GE(out.size(), static_cast<std::size_t>(kSamplesPerSecond));
    for (std::int64_t k = 0; k < kSamplesPerSecond; k += 2) {
      ASSERT_EQ(out[k], v.left) << k;
      ASSERT_EQ(out[k + 1], v.right) << k;
    }
  }
}

TEST_F(SoundmixMixTest, VolumeAndFadeTruncateOnce) {
  // Volume 50 and a 0.1 s fade-in on the ramp. Sample 162 (frame 81, left: -21969, n = 163):
  // -21969 * 50 / 100 * 163 / 8820 = -203.002; truncating after the volume first
  // (-10984) would give -202.
  TMusicElement& e = addClip(c.get(), "ramp-44100-stereo.wav");
  e.nVolume = 50;
  e.llFadeInLength = kSecond / 10;
  OvraMusicElementChanged(c.get());
  const auto out = mix(kSamplesPerSecond);
  EXPECT_EQ(out[162], -203);
  for (std::int64_t k = 0; k < 8819; ++k)
    ASSERT_EQ(out[k], std::int64_t{rampAt(k)} * 50 * (k + 1) / (100 * 8820)) << k;
  for (std::int64_t k = 8819; k < kSamplesPerSecond; ++k)
    ASSERT_EQ(out[k], std::int64_t{rampAt(k)} * 50 / 100) << k;
}

TEST_F(SoundmixMixTest, IdenticalClipsOnTopOfEachOtherKeepTheirSamples) {
  addClip(c.get(), "const-44100-stereo.wav");
  addClip(c.get(), "const-44100-stereo.wav");
  const auto out = mix(kSamplesPerSecond);
  for (std::int64_t k = 0; k < kSamplesPerSecond; ++k) ASSERT_EQ(out[k], constAt(k)) << k;
}

TEST_F(SoundmixMixTest, OverlappingClipsAreAveragedWhereBothSound) {
  // The ramp from 0, the constant from 0.5 s: the ramp alone, both averaged, the constant alone.
  // The change falls in the middle of a block (sample 44100 = block 21 + 1092).
  addClip(c.get(), "ramp-44100-stereo.wav");
  TMusicElement& late = addClip(c.get(), "const-44100-stereo.wav");
  late.llStartPlayTime = kSecond / 2;
  OvraMusicElementChanged(c.get());
  ASSERT_EQ(OvraGetMixAudioLength(c.get()), 3 * kSecond / 2);
  const auto out = mix(3 * kSamplesPerSecond / 2);
  EXPECT_EQ(out[44099], 1);      // ramp alone: frame 22049, right channel
  EXPECT_EQ(out[44100], 5000);   // frame 22050 of the ramp (0) meets the constant's first
  EXPECT_EQ(out[44102], 5000);   // (1 + 10000) / 2 = 5000.5
  EXPECT_EQ(out[44103], -5000);  // (-1 - 10000) / 2 = -5000.5, towards zero
  EXPECT_EQ(out[88199], (-22049 - 10000) / 2);
  EXPECT_EQ(out[88200], 10000);  // the ramp has ended
  for (std::int64_t k = 0; k < 44100; ++k) ASSERT_EQ(out[k], rampAt(k)) << k;
  for (std::int64_t k = 44100; k < 88200; ++k) ASSERT_EQ(out[k], (rampAt(k) + constAt(k)) / 2) << k;
  for (std::int64_t k = 88200; k < 132300; ++k) ASSERT_EQ(out[k], constAt(k)) << k;
}

TEST_F(SoundmixMixTest, LeadingBlankIsDroppedOrKept) {
  TMusicElement& e = addClip(c.get(), "const-44100-stereo.wav");
  e.llStartPlayTime = kSecond / 2;
  OvraMusicElementChanged(c.get());
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), kSecond);
  auto out = mix(kSamplesPerSecond);
  EXPECT_EQ(out[0], 10000);

  OvraMixBlankValidate(1, c.get());
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), 3 * kSecond / 2);
  out = mix(3 * kSamplesPerSecond / 2);
  for (std::int64_t k = 0; k < 44100; ++k) ASSERT_EQ(out[k], 0) << k;
  for (std::int64_t k = 44100; k < 132300; ++k) ASSERT_EQ(out[k], constAt(k)) << k;
}

TEST_F(SoundmixMixTest, ClipStartingBeforeTheTimelineLosesItsHead) {
  // A start time written directly into the record, before 0 with the leading blank kept: the
  // half before 0 is not heard, the rest is at its place.
  TMusicElement& e = addClip(c.get(), "ramp-44100-stereo.wav");
  e.llStartPlayTime = -kSecond / 2;
  OvraMixBlankValidate(1, c.get());
  OvraMusicElementChanged(c.get());
  EXPECT_EQ(OvraGetMixAudioLength(c.get()), kSecond / 2);
  const auto out = mix(kSamplesPerSecond / 2);
  for (std::int64_t k = 0; k < 44100; ++k) ASSERT_EQ(out[k], rampAt(k + 44100)) << k;
}

TEST_F(SoundmixMixTest, SeekLandsOnTheMatchingSampleOfATrimmedClip) {
  // The ramp from 0.25 s of the file, 0.5 s long, at 0.2 s on a timeline that keeps the blank.
  TMusicElement& e = addClip(c.get(), "ramp-44100-stereo.wav");
  e.nClipValidate = 1;
  e.llClipStart = kSecond / 4;
  e.llClipLength = kSecond / 2;
  e.llStartPlayTime = kSecond / 5;
  OvraMixBlankValidate(1, c.get());
  OvraMusicElementChanged(c.get());
  ASSERT_TRUE(OvraStartGetMixAudio(c.get()));

  // 0.45 s is 0.25 s into the clip: file frame 11025 + 11025 = 22050.
  ASSERT_TRUE(OvraSeekMixAudio(45 * kSecond / 100, c.get()));
  Mix m = pullAll(c.get(), false);
  ASSERT_FALSE(m.starts.empty());
  EXPECT_EQ(m.starts[0], 45 * kSecond / 100);
  EXPECT_EQ(m.samples[0], 0);
  EXPECT_EQ(m.samples[1], 0);
  for (std::int64_t k = 0; k < 22050; ++k) ASSERT_EQ(m.samples[k], rampAt(k + 44100)) << k;
  for (std::size_t k = 22050; k < m.samples.size(); ++k) ASSERT_EQ(m.samples[k], 0) << k;

  // Back into the blank before the clip: silence, then the clip from its first sample.
  ASSERT_TRUE(OvraSeekMixAudio(kSecond / 10, c.get()));
  m = pullAll(c.get(), false);
  ASSERT_GE(m.samples.size(), 8820u + 44100u);
  for (std::int64_t k = 0; k < 8820; ++k) ASSERT_EQ(m.samples[k], 0) << k;
  for (std::int64_t k = 0; k < 44100; ++k) ASSERT_EQ(m.samples[8820 + k], rampAt(k + 22050)) << k;

  // Past the end there is nothing more; before the start counts as the start.
  ASSERT_TRUE(OvraSeekMixAudio(10 * kSecond, c.get()));
  EXPECT_TRUE(pullAll(c.get(), false).samples.empty());
  ASSERT_TRUE(OvraSeekMixAudio(-kSecond, c.get()));
  m = pullAll(c.get(), false);
  EXPECT_EQ(m.samples.size(), static_cast<std::size_t>(blocksFor(7 * 8820) * 2048));
}

// ---- clips of other formats -------------------------------------------------------------------

// Rising zero crossings of the left channel, in frames, interpolated between samples.
std::vector<double> risingCrossings(const std::vector<std::int16_t>& s, std::int64_t from,
                                    std::int64_t to) {
  std::vector<double> at;
  for (std::int64_t j = from + 1; j < to; ++j) {
    const double a = s[2 * (j - 1)], b = s[2 * j];
    if (a < 0 && b >= 0) at.push_back(static_cast<double>(j - 1) + a / (a - b));
  }
  return at;
}

// The crossings of a 440 Hz tone lie rate / 440 frames apart (100.227 at 44100 Hz). A least-squares
// line through them gives the period the clip really plays at (a clip read at a wrong rate drifts
// by per cent); a lost or doubled stretch shows as crossings far off that line. The lossy fixtures
// put a few tenths of a frame of noise on each crossing.
void expectSteadyTone(const std::vector<double>& at, double seconds, int rate) {
  ASSERT_GT(at.size(), static_cast<std::size_t>(seconds * 430));
  const double n = static_cast<double>(at.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < at.size(); ++i) {
    const double x = static_cast<double>(i);
    sx += x;
    sy += at[i];
    sxx += x * x;
    sxy += x * at[i];
  }
  const double period = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  const double offset = (sy - period * sx) / n;
  EXPECT_NEAR(period, rate / 440.0, 0.002) << "frames per period";
  double worst = 0;
  for (std::size_t i = 0; i < at.size(); ++i)
    worst = std::max(worst, std::abs(at[i] - (offset + static_cast<double>(i) * period)));
  EXPECT_LT(worst, 1.0) << "frames off the line";
}

TEST_F(SoundmixMixTest, OtherRatesAndChannelCountsKeepTheirPlaceAndPitch) {
  // 48000 Hz mono MP3 (3 s) at 0.5 s, 44100 Hz stereo Vorbis (2 s) at 4 s, on a 6-second line,
  // mixed at three output rates: each clip converted up, down or not at all.
  TMusicElement& mp3 = addClip(c.get(), "tone440-48000-mono.mp3");
  TMusicElement& ogg = addClip(c.get(), "tone440-44100-stereo.ogg");
  mp3.llStartPlayTime = kSecond / 2;
  ogg.llStartPlayTime = 4 * kSecond;
  OvraMixBlankValidate(1, c.get());
  OvraMusicElementChanged(c.get());
  ASSERT_EQ(OvraGetMixAudioLength(c.get()), 6 * kSecond);
  for (const int rate : {44100, 48000, 22050}) {
    SCOPED_TRACE(rate);
    OvraSetMixParameter(rate, 2, c.get());
    const auto out = pullAll(c.get()).samples;
    const std::int64_t second = rate;  // frames
    ASSERT_EQ(static_cast<std::int64_t>(out.size()), blocksFor(12 * second) * 2048);

    // Silence exactly outside the clips' spans; mono comes out the same on both sides.
    for (std::int64_t k = 0; k < second; ++k) ASSERT_EQ(out[k], 0) << k;
    for (std::int64_t k = 7 * second; k < 8 * second; ++k) ASSERT_EQ(out[k], 0) << k;
    for (std::int64_t k = second; k < 7 * second; k += 2) ASSERT_EQ(out[k], out[k + 1]) << k;

    const auto first = risingCrossings(out, second / 2, second / 2 + 3 * second);
    ASSERT_FALSE(first.empty());
    // The tone rises from 0 at its first sample, so the first crossing found is a period later.
    EXPECT_NEAR(first[0] - static_cast<double>(second / 2), rate / 440.0, 3.0);
    expectSteadyTone(first, 3, rate);
    expectSteadyTone(risingCrossings(out, 4 * second, 6 * second), 2, rate);
  }
}

TEST_F(SoundmixMixTest, BackToBackClipsOfOtherFormatsMeetWithoutAGap) {
  // A 48000 Hz mono constant, then the 44100 Hz stereo constant from 1 s: the first fills its
  // second up to the last frame, the second begins on its own first sample.
  addClip(c.get(), "const-48000-mono.wav");
  TMusicElement& next = addClip(c.get(), "const-44100-stereo.wav");
  next.llStartPlayTime = kSecond;
  OvraMusicElementChanged(c.get());
  const auto out = mix(2 * kSamplesPerSecond);
  const std::int16_t level = out[44100];
  EXPECT_NEAR(level, 8000, 8000 * 0.3) << "the mono constant, spread on two channels";
  // The resampler's filter rings at the very edges of the file; inside, the level holds.
  for (std::int64_t k = 200; k < 88000; ++k) ASSERT_NEAR(out[k], level, 40) << k;
  for (std::int64_t k = 88000; k < 88200; ++k) ASSERT_NE(out[k], 0) << k;
  for (std::int64_t k = 88200; k < 2 * 88200; ++k) ASSERT_EQ(out[k], constAt(k)) << k;
}

}  // namespace
}  // namespace soundmix_test
