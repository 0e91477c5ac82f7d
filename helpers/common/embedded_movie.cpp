#include "embedded_movie.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <system_error>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace helpers {
namespace {

constexpr std::uint32_t kProgramMagic = 0xFA123456;

std::uint32_t LittleEndian(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i)
    v |= std::uint32_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
  return v;
}

std::uint32_t BigEndian(const std::string& bytes) {
  std::uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[i]);
  return v;
}

std::string ReadAt(std::ifstream& in, std::uint64_t offset, std::size_t size) {
  std::string bytes(size, '\0');
  in.seekg(static_cast<std::streamoff>(offset));
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size))) return {};
  return bytes;
}

}  // namespace

std::optional<MovieSpan> FindProgramMovie(const std::string& tail, std::uint64_t fileSize) {
  if (tail.size() < 8 || fileSize < 8) return std::nullopt;
  if (LittleEndian(tail, tail.size() - 8) != kProgramMagic) return std::nullopt;
  const std::uint64_t size = LittleEndian(tail, tail.size() - 4);
  if (size == 0 || size > fileSize - 8) return std::nullopt;
  return MovieSpan{fileSize - 8 - size, size};
}

std::optional<std::uint32_t> ScreenSaverStubSize(const std::string& tail, std::uint64_t fileSize) {
  if (tail.size() < 4 || fileSize < 8) return std::nullopt;
  const std::uint32_t stub = LittleEndian(tail, tail.size() - 4);
  if (std::uint64_t{stub} + 8 > fileSize) return std::nullopt;
  return stub;
}

std::optional<MovieSpan> FindScreenSaverMovie(std::uint32_t stubSize,
                                              const std::string& lengthField,
                                              std::uint64_t fileSize) {
  if (lengthField.size() != 4) return std::nullopt;
  const std::uint64_t size = BigEndian(lengthField);
  // The pieces must lead exactly to the end: stub, length, movie, stub size.
  if (size == 0 || std::uint64_t{stubSize} + 4 + size + 4 != fileSize) return std::nullopt;
  return MovieSpan{std::uint64_t{stubSize} + 4, size};
}

bool ExtractOwnMovie(bool screenSaver, const fs::path& destination) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  std::ifstream in(self, std::ios::binary);
  const std::uint64_t fileSize = ec ? 0 : fs::file_size(self, ec);
  if (!in || ec || fileSize < 8) {
    std::fprintf(stderr, "Cannot read this program's own file.\n");
    return false;
  }
  const std::string tail = ReadAt(in, fileSize - 8, 8);
  std::optional<MovieSpan> span;
  if (screenSaver) {
    if (auto stub = ScreenSaverStubSize(tail, fileSize))
      span = FindScreenSaverMovie(*stub, ReadAt(in, *stub, 4), fileSize);
  } else {
    span = FindProgramMovie(tail, fileSize);
  }
  if (!span) {
    std::fprintf(
        stderr,
        "This program carries no gallery movie. It is the stub that publishing turns into a "
        "self-running gallery or a screen saver.\n");
    return false;
  }
  std::ofstream out(destination, std::ios::binary | std::ios::trunc);
  in.seekg(static_cast<std::streamoff>(span->offset));
  std::vector<char> buffer(1 << 20);
  for (std::uint64_t left = span->size; left > 0 && out;) {
    const auto n = static_cast<std::streamsize>(std::min<std::uint64_t>(left, buffer.size()));
    if (!in.read(buffer.data(), n)) break;
    out.write(buffer.data(), n);
    left -= static_cast<std::uint64_t>(n);
  }
  out.close();
  if (!out || !in) {
    std::fprintf(stderr, "Cannot write the movie to %s.\n", destination.c_str());
    return false;
  }
  return true;
}

int PlayOwnMovie(bool screenSaver, int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--extract") == 0)
    return ExtractOwnMovie(screenSaver, argv[2]) ? 0 : 1;

  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder = std::string(runtime && *runtime ? runtime : "/tmp") + "/gallery-XXXXXX";
  if (!mkdtemp(folder.data())) {
    std::perror("Cannot make a folder for the movie");
    return 1;
  }
  std::error_code ec;
  const std::string name = fs::read_symlink("/proc/self/exe", ec).stem().string();
  const fs::path movie = fs::path(folder) / ((name.empty() ? "gallery" : name) + ".swf");
  if (!ExtractOwnMovie(screenSaver, movie)) return 1;

  const pid_t child = fork();
  if (child == 0) {
    execlp("xdg-open", "xdg-open", movie.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) < 0 || !WIFEXITED(status) ||
      WEXITSTATUS(status) != 0) {
    std::printf("The gallery movie is at %s; open it with a player of SWF movies.\n",
                movie.c_str());
    return 0;
  }
  return 0;
}

}  // namespace helpers
