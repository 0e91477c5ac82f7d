// The player stub: a published self-running gallery is this program with its movie behind it.
#include "embedded_movie.h"

int main(int argc, char** argv) {
  return helpers::PlayOwnMovie(false, argc, argv);
}
