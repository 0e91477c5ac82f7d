// The screen-saver stub: a published screen saver is this program with its movie behind it.
// The screen-saver host's own arguments (-root, -window-id ...) need no handling yet: the movie
// is handed to the desktop's player.
#include "embedded_movie.h"

int main(int argc, char** argv) {
  return helpers::PlayOwnMovie(true, argc, argv);
}
