// The publisher's music stage through the flat calls: three clips placed back to back, each
// trimmed and faded in and out over 3 s, mixed and encoded into a 128 kbit/s MP3, timed from the
// start call to the finished notification. bench/soundmix/run prepares the inputs and times the
// ffmpeg command line doing the same trims, fades and concatenation in the same run.
#include <benchmark/benchmark.h>

#include <soundmix/soundmix.h>

#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

namespace {

constexpr std::int64_t kSecond = 10000000;

struct Finished {
  std::mutex lock;
  std::condition_variable done;
  int result = -1;
  static void notify(std::int32_t kind, std::int32_t value, void* self) {
    auto* f = static_cast<Finished*>(self);
    if (kind != OVRA_MUSIC_FINISHED) return;
    std::lock_guard guard(f->lock);
    f->result = value;
    f->done.notify_all();
  }
};

const char* input(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

// The clips and their used parts, in seconds of the file: the run script cuts the same.
struct Part {
  const char* variable;
  std::int64_t from, to;
};
constexpr Part kParts[] = {
    {"SOUNDMIX_BENCH_A", 10, 210}, {"SOUNDMIX_BENCH_B", 5, 205}, {"SOUNDMIX_BENCH_C", 0, 200}};

// The component with the three clips laid out as the publisher lays them out; null when an input
// is missing.
OvraMusicComponent* layOut(Finished* finished, double* seconds) {
  OvraMusicComponent* c = OvraInitializeMusicComponent(&Finished::notify, finished, nullptr);
  std::int64_t place = 0;
  for (const Part& p : kParts) {
    const char* path = input(p.variable);
    TMusicElement* e = path ? OvraAddMusicElement(path, c) : nullptr;
    if (!e) {
      OvraDeinitializeMusicComponent(c);
      return nullptr;
    }
    e->nClipValidate = 1;
    e->llClipStart = p.from * kSecond;
    e->llClipLength = (p.to - p.from) * kSecond;
    e->llStartPlayTime = place;
    e->llFadeInLength = 3 * kSecond;
    e->llFadeOutLength = 3 * kSecond;
    OvraMusicElementChanged(c);
    place += e->llClipLength;
  }
  *seconds = static_cast<double>(OvraGetMixAudioLength(c)) / kSecond;
  return c;
}

void report(benchmark::State& state, double seconds) {
  state.counters["timeline_s"] = seconds;
  state.counters["realtime_x"] = benchmark::Counter(
      seconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_EncodeThreeClipTimeline(benchmark::State& state) {
  const char* out = input("SOUNDMIX_BENCH_OUT");
  if (!out) return state.SkipWithError("SOUNDMIX_BENCH_* unset (use bench/soundmix/run)");
  Finished finished;
  double seconds = 0;
  OvraMusicComponent* c = layOut(&finished, &seconds);
  if (!c) return state.SkipWithError("an input cannot be opened");
  for (auto _ : state) {
    finished.result = -1;
    if (!OvraStartMixAudio(out, c, 128000, OVRA_OUTPUT_MP3)) return state.SkipWithError("no start");
    std::unique_lock guard(finished.lock);
    finished.done.wait(guard, [&] { return finished.result >= 0; });
    if (finished.result != OVRA_MUSIC_SUCCESS) return state.SkipWithError("the encoding failed");
  }
  OvraDeinitializeMusicComponent(c);
  report(state, seconds);
}

// The decoding and mixing half alone, pulled as fast as it comes: what the encoder overlaps with.
void BM_MixThreeClipTimeline(benchmark::State& state) {
  Finished finished;
  double seconds = 0;
  OvraMusicComponent* c = layOut(&finished, &seconds);
  if (!c) return state.SkipWithError("SOUNDMIX_BENCH_* unset (use bench/soundmix/run)");
  auto frame = std::make_unique<tagAudioFrame>();
  for (auto _ : state) {
    OvraStartGetMixAudio(c);
    while (OvraGetNextMixAudio(frame.get(), c)) benchmark::DoNotOptimize(frame->samples[0]);
  }
  OvraDeinitializeMusicComponent(c);
  report(state, seconds);
}

}  // namespace

BENCHMARK(BM_EncodeThreeClipTimeline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_MixThreeClipTimeline)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
BENCHMARK_MAIN();
