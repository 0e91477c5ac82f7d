// Filling the explorer's list with photos: every picture opened on the decode thread and turned
// into its thumbnail (at most 400 x 300). GALLERIA_PHOTOS names a folder of JPEG photos; the
// list gets GALLERIA_PHOTO_COUNT entries (default 500), going round the folder's files.
#include <benchmark/benchmark.h>
#include <gfx/decode.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "thumbshelf/image_item.h"

namespace {

std::vector<std::string> photos() {
  std::vector<std::string> found;
  const char* folder = std::getenv("GALLERIA_PHOTOS");
  if (folder == nullptr) return found;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".jpg") found.push_back(entry.path().string());
  std::sort(found.begin(), found.end());
  return found;
}

int entries() {
  const char* count = std::getenv("GALLERIA_PHOTO_COUNT");
  return count != nullptr ? std::max(1, std::atoi(count)) : 500;
}

long peakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void BM_FillImageList(benchmark::State& state) {
  const auto files = photos();
  if (files.empty()) {
    state.SkipWithError("set GALLERIA_PHOTOS to a folder of .jpg photos");
    return;
  }
  std::vector<const char*> paths;
  for (int i = 0; i < entries(); ++i) paths.push_back(files[i % files.size()].c_str());
  double thumbnailBytes = 0;
  double seconds = 0;
  for (auto _ : state) {
    CImageItemList list;
    const auto start = std::chrono::steady_clock::now();
    list.AddFiles(paths.data(), static_cast<int>(paths.size()), true);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (list.GetCount() != static_cast<int>(paths.size())) state.SkipWithError("pictures failed");
    state.PauseTiming();
    thumbnailBytes = 0;
    for (int i = 0; i < list.GetCount(); ++i)
      thumbnailBytes += static_cast<CImageItem*>(list.GetObjectW(i))->Thumbnail().size;
    state.ResumeTiming();
  }
  state.counters["photos"] = static_cast<double>(paths.size());
  state.counters["ms_per_photo"] =
      seconds * 1e3 / static_cast<double>(state.iterations()) / static_cast<double>(paths.size());
  state.counters["thumbnail_MB"] = thumbnailBytes / 1e6;
  state.counters["peak_RSS_MB"] = static_cast<double>(peakKilobytes()) / 1e3;
}
BENCHMARK(BM_FillImageList)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// One photo's thumbnail as the decode thread makes it (range 1), here on the calling thread at
// normal priority, or the whole picture decoded (range 0) for comparison.
void BM_OnePhoto(benchmark::State& state) {
  const auto files = photos();
  if (files.empty()) {
    state.SkipWithError("set GALLERIA_PHOTOS to a folder of .jpg photos");
    return;
  }
  std::size_t i = 0;
  for (auto _ : state) {
    const std::string& file = files[i++ % files.size()];
    bool ok = false;
    if (state.range(0) != 0) {
      CImageItem item(file.c_str(), nullptr);
      ok = item.Initialize();
    } else {
      gfx::Picture picture;
      ok = gfx::decodeFile(file, picture) == gfx::DecodeStatus::Ok;
      benchmark::DoNotOptimize(picture.pixels.data());
    }
    if (!ok) state.SkipWithError("a photo failed");
  }
}
BENCHMARK(BM_OnePhoto)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
