// The codec library's two heavy paths through its flat calls, on the inputs that bench/codecs/run
// prepares and times the ffmpeg command line on: an MP3 decoded to 44100 Hz 16-bit stereo PCM,
// and 16-bit stereo PCM encoded to a 128 kbit/s MP3 in the mixer's 4096-byte blocks.
#include <benchmark/benchmark.h>

#include <codecs-api/codecs.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* input(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

void BM_DecodeMp3ToPcm(benchmark::State& state) {
  const char* path = input("CODECS_BENCH_MP3");
  if (!path) return state.SkipWithError("CODECS_BENCH_MP3 is not set (use bench/codecs/run)");
  auto frame = std::make_unique<tagAudioFrame>();
  std::int64_t bytes = 0;
  for (auto _ : state) {
    OvraMedia* media = OvraLoadMediaFile(path, nullptr);
    if (!media || !OvraResample(44100, 16, 2, media)) return state.SkipWithError("cannot open");
    while (OvraGetNextAudioFrame(frame.get(), media)) bytes += frame->byteCount;
    benchmark::DoNotOptimize(frame->samples[0]);
    OvraUnloadMediaFile(media);
  }
  state.SetBytesProcessed(bytes);
}

void BM_EncodePcmToMp3(benchmark::State& state) {
  const char* path = input("CODECS_BENCH_PCM");
  const char* out = input("CODECS_BENCH_OUT");
  if (!path || !out) return state.SkipWithError("CODECS_BENCH_PCM/OUT unset (bench/codecs/run)");
  std::ifstream in(path, std::ios::binary);
  const std::vector<char> pcm{std::istreambuf_iterator<char>(in), {}};
  const OvraEncoderParams params{out, OVRA_OUTPUT_MP3, OVRA_NO_VIDEO, 1, 44100, 16, 2, 128000};
  for (auto _ : state) {
    OvraEncoder* encoder = OvraInitializeEncoder(&params);
    if (!encoder) return state.SkipWithError("cannot start the encoder");
    for (std::size_t at = 0; at + 4096 <= pcm.size(); at += 4096)
      OvraAddAudioFrame(pcm.data() + at, 4096, encoder);
    OvraCloseAudio(encoder);
    OvraDeInitializeEncoder(encoder);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(pcm.size()));
}

}  // namespace

BENCHMARK(BM_DecodeMp3ToPcm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodePcmToMp3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK_MAIN();
