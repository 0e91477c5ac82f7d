#pragma once
// Finding the movie a published program or screen saver carries behind its own code.
//
// Self-running program: <player> <movie> <0xFA123456 LE> <movie size LE>.
// Screen saver:         <stub, P bytes> <movie size BE> <movie> <P LE>.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace helpers {

struct MovieSpan {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  bool operator==(const MovieSpan&) const = default;
};

// Where the movie lies in a file of `fileSize` bytes whose tail is `tail` (its last 8 bytes, or
// fewer for a tiny file); nothing when the trailer does not describe a movie inside the file.
std::optional<MovieSpan> FindProgramMovie(const std::string& tail, std::uint64_t fileSize);
// For a screen saver: `lengthField` is the 4 bytes at the stub size P read from the tail.
std::optional<std::uint32_t> ScreenSaverStubSize(const std::string& tail, std::uint64_t fileSize);
std::optional<MovieSpan> FindScreenSaverMovie(std::uint32_t stubSize,
                                              const std::string& lengthField,
                                              std::uint64_t fileSize);

// The movie this executable carries, copied to `destination`. Prints what
// went wrong and returns false when there is none.
bool ExtractOwnMovie(bool screenSaver, const std::filesystem::path& destination);

// Extracts into a private temporary folder and opens the movie with the desktop's handler; when
// there is none, says where the movie is. The exit status of the program.
int PlayOwnMovie(bool screenSaver, int argc, char** argv);

}  // namespace helpers
