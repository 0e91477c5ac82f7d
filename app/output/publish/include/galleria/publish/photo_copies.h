#pragma once
// The working copies of photos in TempImg/: the output copy packed into the movie, the
// background copy of the template and the name of a photo editor's copy.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

namespace galleria::publish {

struct PhotoSize {
  int width = 0;
  int height = 0;
  bool operator==(const PhotoSize&) const = default;
};

// The largest 4:3 size inside the stage clamped to 1600 x 1200 (halves round to even).
PhotoSize ComputePhotoSize(int stageWidth, int stageHeight);

// Writes `source` resized to fit width x height as a JPEG at `destination`; true when written.
using PhotoConverter =
    std::function<bool(const std::filesystem::path& source,
                       const std::filesystem::path& destination, int width, int height)>;

// The converter of the image library: fit into the size, JPEG at quality 80.
PhotoConverter ImageLibraryConverter();

// A free name in TempImg/ for a copy of `source`: its file name with the extension replaced by
// `ending` ("_OutPut.jpeg", "_thumb.jpeg", "_edt.jpeg"), made unique with (1), (2)... Names in
// `reserved` count as taken, so that copies made at the same time never share a name.
std::filesystem::path CopyName(const std::filesystem::path& source, const std::string& ending,
                               const std::set<std::filesystem::path>& reserved = {});

// The output copy at width x height, or the source itself when it cannot be converted (the
// photo is then packed as it is).
std::filesystem::path MakeOutputCopy(const std::filesystem::path& source, int width, int height,
                                     const PhotoConverter& convert);
// The background copy at 960 x 540; empty when it cannot be converted.
std::filesystem::path MakeThumbCopy(const std::filesystem::path& source,
                                    const PhotoConverter& convert);
// Only the name for a photo editor's copy; nothing is converted.
std::filesystem::path EditCopyName(const std::filesystem::path& source);

}  // namespace galleria::publish
