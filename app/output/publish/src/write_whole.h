#pragma once

#include <filesystem>
#include <system_error>

#include "galleria/error.h"

namespace galleria::publish {

// Writes `output` through `write` under a temporary name and puts it in place only when it is
// whole: an output that stopped half-way must not look finished.
template <class Write>
void WriteWhole(const std::filesystem::path& output, Write write) {
  namespace fs = std::filesystem;
  const fs::path partial = fs::path(output).concat(".part");
  std::error_code ec;
  try {
    write(partial);
    fs::rename(partial, output);
  } catch (const fs::filesystem_error& e) {
    fs::remove(partial, ec);
    throw GalleriaError("Cannot write " + output.string() + ": " + e.code().message());
  } catch (...) {
    fs::remove(partial, ec);
    throw;
  }
}

}  // namespace galleria::publish
