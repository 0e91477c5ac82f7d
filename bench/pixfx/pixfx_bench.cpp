// Effects on a 1600 x 1200 frame, the largest photo size the publish pipeline makes. Frames are
// changed in place call after call; no effect's cost depends much on the pixel values.
// libvips, one thread, runs comparable whole-picture operations beside them as the yardstick:
// invert, a 256-entry table look-up and a left-right flip, each into a fresh memory image.
// Wall-clock time is reported, since libvips computes on its own worker thread.
#include <benchmark/benchmark.h>
#include <vips/vips.h>

#include <cstdint>
#include <vector>

#include <pixfx/pixfx.h>

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 1200;

std::vector<std::uint8_t> MakePixels() {
  std::vector<std::uint8_t> px(static_cast<std::size_t>(kWidth) * kHeight * 4);
  std::uint32_t s = 12345;
  for (std::size_t i = 0; i < px.size(); ++i) {
    s = s * 1103515245u + 12345u;
    px[i] = (i % 4 == 3) ? 255 : static_cast<std::uint8_t>(s >> 24);
  }
  return px;
}

void BM_Effect(benchmark::State& state, int id, int p1, int p2) {
  std::vector<std::uint8_t> px = MakePixels();
  tagVideoFrame frame{px.data(), kWidth, kHeight, kWidth * 4, static_cast<std::int32_t>(px.size()),
                      0,         0};
  const FilterEntry entry{id, p1, p2, 0};
  for (auto _ : state) {
    if (OvraDoEffect(&frame, &entry, nullptr) != 1) state.SkipWithError("effect refused");
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK_CAPTURE(BM_Effect, gray, kPixfxGray, 0, 0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Effect, invert, kPixfxInvert, 0, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Effect, brightness, kPixfxBrightness, 75, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Effect, gamma, kPixfxGamma, 50, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Effect, sepia, kPixfxSepia, 0, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Effect, emboss, kPixfxEmboss, 5, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Effect, flip_horizontal, kPixfxFlipHorizontal, 0, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Effect, grid3d, kPixfx3DGrid, 50, 20)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Effect, noise, kPixfxNoise, 50, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Effect, halftone, kPixfxHalftone, 0, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(BM_Effect, wave, kPixfxWave, 25, 30)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The peer: a libvips pipeline from a memory image to a memory image.
template <typename Op>
void BM_Vips(benchmark::State& state, Op op) {
  std::vector<std::uint8_t> px = MakePixels();
  VipsImage* in =
      vips_image_new_from_memory(px.data(), px.size(), kWidth, kHeight, 4, VIPS_FORMAT_UCHAR);
  if (in == nullptr) {
    state.SkipWithError("vips refused the picture");
    return;
  }
  for (auto _ : state) {
    VipsImage* out = nullptr;
    if (op(in, &out) != 0) {
      state.SkipWithError(vips_error_buffer());
      break;
    }
    std::size_t bytes = 0;
    void* mem = vips_image_write_to_memory(out, &bytes);  // forces the whole computation
    benchmark::DoNotOptimize(mem);
    g_free(mem);
    g_object_unref(out);
  }
  g_object_unref(in);
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
  state.counters["Mpx/s"] = benchmark::Counter(static_cast<double>(kWidth) * kHeight / 1e6,
                                               benchmark::Counter::kIsIterationInvariantRate);
}

int VipsInvert(VipsImage* in, VipsImage** out) {
  return vips_invert(in, out, nullptr);
}
int VipsFlip(VipsImage* in, VipsImage** out) {
  return vips_flip(in, out, VIPS_DIRECTION_HORIZONTAL, nullptr);
}
int VipsTable(VipsImage* in, VipsImage** out) {
  static std::uint8_t table[256];
  for (int v = 0; v < 256; ++v) table[v] = static_cast<std::uint8_t>(v + (255 - v) * 50 / 200);
  VipsImage* lut = vips_image_new_from_memory(table, sizeof table, 256, 1, 1, VIPS_FORMAT_UCHAR);
  const int rc = vips_maplut(in, out, lut, nullptr);
  g_object_unref(lut);
  return rc;
}

BENCHMARK_CAPTURE(BM_Vips, vips_invert, VipsInvert)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Vips, vips_maplut, VipsTable)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Vips, vips_flip_horizontal, VipsFlip)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  if (VIPS_INIT(argv[0]) != 0) return 1;
  vips_concurrency_set(1);
  vips_cache_set_max(0);  // every iteration computes afresh
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  vips_shutdown();
  return 0;
}
