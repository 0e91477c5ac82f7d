// Writes the stand-in for the preview shell movie into an application folder:
//   galleria_standins <application folder>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "standin_movie.h"

namespace fs = std::filesystem;
using galleria::standins::BuildMovie;

namespace {

// Written under a temporary name and renamed, so an interrupted build never leaves a short file
// under the real name.
void WriteFile(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  const fs::path part = file.string() + ".part";
  {
    std::ofstream out(part, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("Cannot write " + part.string());
  }
  fs::rename(part, file);
}

void WriteStandins(const fs::path& appDir) {
  // The preview shell fills the main window's preview panel.
  WriteFile(appDir / "libavcodec.dll",
            BuildMovie({"PreviewShell", 979, 615, {0x30, 0x30, 0x30}, {0xB0, 0x50, 0xD0}, true}));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <application folder>\n", argv[0]);
    return 2;
  }
  try {
    WriteStandins(argv[1]);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
}
