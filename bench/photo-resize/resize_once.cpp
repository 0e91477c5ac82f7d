// One conversion per run, as the publish pipeline makes it, for timing and peak memory of a
// whole process beside the command-line peers:  photo_resize <source> <destination> [w h]
// A destination ending in ".png" is written losslessly, to judge the reduction apart from JPEG.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include <picwork/picwork.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: photo_resize <source> <destination> [width height]\n");
    return 2;
  }
  const int w = argc > 4 ? std::atoi(argv[3]) : 1440;
  const int h = argc > 4 ? std::atoi(argv[4]) : 1080;
  const std::string_view destination = argv[2];
  const bool png = destination.size() > 4 && destination.substr(destination.size() - 4) == ".png";
  return OvraSetImageSize(argv[1], argv[2], w, h, png ? IMAGE_FILE_PNG : IMAGE_FILE_JPEG, 80) == 1
             ? 0
             : 1;
}
