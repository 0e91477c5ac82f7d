// One conversion per run, as the publish pipeline makes it, for timing and peak memory of a
// whole process beside the command-line peers:  picwork_resize <source> <destination> [w h]
#include <cstdio>
#include <cstdlib>

#include <picwork/picwork.h>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: picwork_resize <source> <destination> [width height]\n");
    return 2;
  }
  const int w = argc > 4 ? std::atoi(argv[3]) : 1440;
  const int h = argc > 4 ? std::atoi(argv[4]) : 1080;
  return OvraSetImageSize(argv[1], argv[2], w, h, IMAGE_FILE_JPEG, 80) == 1 ? 0 : 1;
}
