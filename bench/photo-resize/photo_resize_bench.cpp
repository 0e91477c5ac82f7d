// OvraSetImageSize on the photo corpus (bench/photo-resize/make-corpus), one thread, box
// 1440 x 1080, JPEG quality 80: the publish pipeline's conversion of one photo. Beside it, in the
// same process, the floor: decoding alone at 1/2 scale (what djpeg -scale 1/2 does, without its
// output file). The corpus folder comes from PHOTO_CORPUS; each of its sub-folders (baseline/,
// progressive/) is one benchmark of each.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include <picwork/picwork.h>

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> PhotosIn(const fs::path& folder) {
  std::vector<fs::path> photos;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec))
    if (entry.path().extension() == ".jpg") photos.push_back(entry.path());
  std::sort(photos.begin(), photos.end());
  return photos;
}

void ConvertCorpus(benchmark::State& state, const fs::path& folder) {
  const std::vector<fs::path> photos = PhotosIn(folder);
  if (photos.empty()) {
    state.SkipWithError("no photos; run bench/photo-resize/make-corpus");
    return;
  }
  const fs::path out = fs::temp_directory_path() / ("picwork-bench-" + std::to_string(getpid()));
  fs::create_directories(out);
  for (auto _ : state) {
    for (const fs::path& photo : photos) {
      const fs::path target = out / photo.filename();
      if (OvraSetImageSize(photo.c_str(), target.c_str(), 1440, 1080, IMAGE_FILE_JPEG, 80) != 1)
        state.SkipWithError(("conversion failed: " + photo.string()).c_str());
    }
  }
  // Seconds per photo (printed with an SI prefix: 51m is 51 ms).
  state.counters["per_photo"] = benchmark::Counter(
      static_cast<double>(photos.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["photos"] = static_cast<double>(photos.size());
  fs::remove_all(out);
}

// The corpus is made by us and well formed, so libjpeg's default error exit (which ends the
// process) is enough here.
bool DecodeHalf(const fs::path& photo) {
  std::FILE* file = std::fopen(photo.c_str(), "rb");
  if (file == nullptr) return false;
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  cinfo.scale_num = 1;
  cinfo.scale_denom = 2;
  jpeg_start_decompress(&cinfo);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(cinfo.output_width) * cinfo.output_components);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW rows[1] = {row.data()};
    jpeg_read_scanlines(&cinfo, rows, 1);
  }
  benchmark::DoNotOptimize(row.data());
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  std::fclose(file);
  return true;
}

void DecodeCorpus(benchmark::State& state, const fs::path& folder) {
  const std::vector<fs::path> photos = PhotosIn(folder);
  if (photos.empty()) {
    state.SkipWithError("no photos; run bench/photo-resize/make-corpus");
    return;
  }
  for (auto _ : state)
    for (const fs::path& photo : photos)
      if (!DecodeHalf(photo)) state.SkipWithError(("cannot open " + photo.string()).c_str());
  state.counters["per_photo"] = benchmark::Counter(
      static_cast<double>(photos.size()),
      benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["photos"] = static_cast<double>(photos.size());
}

}  // namespace

int main(int argc, char** argv) {
  const char* corpus = std::getenv("PHOTO_CORPUS");
  const fs::path root = corpus != nullptr ? corpus : "photo-corpus";
  for (const char* kind : {"baseline", "progressive"}) {
    benchmark::RegisterBenchmark((std::string("SetImageSize/") + kind).c_str(), ConvertCorpus,
                                 root / kind)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark((std::string("DecodeHalf/") + kind).c_str(), DecodeCorpus,
                                 root / kind)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
