// Feeds arbitrary bytes to the project loader: any input must end in a loaded project or a
// GalleriaError, and a loaded project must save again.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "galleria/error.h"
#include "galleria/model/gallery.h"

namespace {

const std::filesystem::path& Scratch() {
  static const std::filesystem::path folder = [] {
    auto f = std::filesystem::temp_directory_path() / ("project-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(f);
    return f;
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto input = Scratch() / "input.qmvk";
  std::ofstream(input, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  galleria::TProjItem project;
  try {
    project.LoadFromFile(input);
  } catch (const galleria::GalleriaError&) {
    return 0;
  }
  project.SaveAs(Scratch() / "output.qmvk");
  galleria::TProjItem again;
  again.LoadFromFile(Scratch() / "output.qmvk");
  if (again.Images().Count() != project.Images().Count()) __builtin_trap();
  return 0;
}
