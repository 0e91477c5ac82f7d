// Appending single bytes to a memory stream costs amortised constant time: the per-byte cost at
// 10^7 bytes stays that of 10^6 bytes. std::vector's push_back runs beside it as the yardstick of
// a well-tuned geometric buffer.
#include <benchmark/benchmark.h>

#include <vector>

#include <corekit/memory_stream.h>

namespace {

// Runs fill(n) per iteration and reports the cost per byte appended.
template <typename Fill>
void perByte(benchmark::State& state, Fill fill) {
  const auto n = state.range(0);
  for (auto _ : state) {
    fill(n);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
  state.counters["ns_per_byte"] =
      benchmark::Counter(static_cast<double>(state.iterations() * n),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_StreamWriteByte(benchmark::State& state) {
  perByte(state, [](std::int64_t n) {
    CVXMemoryStream stream;
    for (std::int64_t i = 0; i < n; ++i) stream.WriteByte(static_cast<std::uint8_t>(i));
    benchmark::DoNotOptimize(stream.GetData());
  });
}

void BM_StreamWriteDword(benchmark::State& state) {
  perByte(state, [](std::int64_t n) {
    CVXMemoryStream stream;
    for (std::int64_t i = 0; i < n / 4; ++i) stream.WriteDword(static_cast<std::int32_t>(i));
    benchmark::DoNotOptimize(stream.GetData());
  });
}

void BM_VectorPushBack(benchmark::State& state) {
  perByte(state, [](std::int64_t n) {
    std::vector<std::uint8_t> v;
    for (std::int64_t i = 0; i < n; ++i) v.push_back(static_cast<std::uint8_t>(i));
    benchmark::DoNotOptimize(v.data());
  });
}

}  // namespace

BENCHMARK(BM_StreamWriteByte)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StreamWriteDword)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorPushBack)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
