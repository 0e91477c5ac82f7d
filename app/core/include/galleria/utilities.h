#pragma once
// Small file and text helpers shared across the program. None of them throws: failures show only
// in their results.

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace galleria {

// The file version stamped into the executable at build time, as "major.minor.release.build";
// empty when the running executable carries no stamp.
std::string ApplicationVersion();

// The user's documents folder (XDG); empty on failure.
std::filesystem::path DocumentsFolder();

// `candidate` when no file of that name exists; otherwise the first free name among
// <folder of candidate>/<stem>(1)<extension>, (2), ... `extension` includes its dot. Names in
// `reserved` count as taken, so that files named at the same time never share a name.
std::filesystem::path UniqueFileName(const std::filesystem::path& candidate, std::string_view stem,
                                     std::string_view extension,
                                     const std::set<std::filesystem::path>& reserved = {});

// Size of the file in bytes; -1 when there is no such file.
std::int64_t FileSize(const std::filesystem::path& path);

// False for an empty text, for "." and "..", and for any text holding one of " * / : < > ? \ |
// or a NUL; true otherwise (letters outside ASCII are welcome).
bool IsValidFileName(std::string_view name);

// "hh:mm:ss"; hours are not limited to two digits. A negative duration gets a leading "-".
std::string DurationText(std::int64_t seconds);

// Deletes the folder with everything inside it (symbolic links are removed, not followed).
// Always returns true, as callers treat a folder that is already gone as deleted.
bool DeleteFolder(const std::filesystem::path& folder);

// Colours: the program's 0x00BBGGRR and the movie's 0xAARRGGBB.
constexpr std::uint32_t ColorToMovieColor(std::uint32_t color, std::uint8_t alpha) {
  return (std::uint32_t{alpha} << 24) | ((color & 0xFF) << 16) | (color & 0xFF00) |
         ((color >> 16) & 0xFF);
}
constexpr std::uint32_t MovieColorToColor(std::uint32_t movieColor, std::uint8_t& alpha) {
  alpha = static_cast<std::uint8_t>(movieColor >> 24);
  return ((movieColor & 0xFF) << 16) | (movieColor & 0xFF00) | ((movieColor >> 16) & 0xFF);
}

// A list of paths handed to the thumbnail explorer: each entry holds a whole UTF-8 path (never
// cut to a fixed buffer), and Pointers() gives the C view the flat interfaces take.
class PathBufferArray {
 public:
  explicit PathBufferArray(std::size_t count) : paths_(count) {}
  std::size_t size() const { return paths_.size(); }
  std::string& operator[](std::size_t i) { return paths_.at(i); }
  const std::string& operator[](std::size_t i) const { return paths_.at(i); }
  std::vector<const char*> Pointers() const;

 private:
  std::vector<std::string> paths_;
};

}  // namespace galleria
