// Writes the game's pictures and sounds into the folder it is given, where
// the game finds them by plain name: one file for each line of the game's
// list of files, made by the function that line names.
#include <stdio.h>

#include <string>
#include <vector>

#include "assets/bmp_write.h"
#include "assets/palette.h"
#include "assets/pictures.h"
#include "assets/sounds.h"
#include "assets/wav_write.h"
#include "game/data_files.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  Rgb palette[256];
  palette_build(palette);

  struct Picture {
    const char *name;
    Canvas (*draw)();
  };
#define DATA_PICTURE_MAKER(id, file, maker) {file, maker},
  const Picture pictures[] = {DATA_PICTURE_FILES(DATA_PICTURE_MAKER)};
#undef DATA_PICTURE_MAKER
  struct Sound {
    const char *name;
    std::vector<float> (*make)();
  };
#define DATA_SOUND_MAKER(id, file, maker) {file, maker},
  const Sound sounds[] = {DATA_SOUND_FILES(DATA_SOUND_MAKER)};
#undef DATA_SOUND_MAKER

  int failures = 0;
  for (const Picture &p : pictures) {
    const std::string path = dir + p.name;
    if (!bmp_write(path.c_str(), p.draw(), palette)) {
      fprintf(stderr, "make_assets: cannot write %s\n", path.c_str());
      failures++;
    }
  }
  for (const Sound &s : sounds) {
    const std::string path = dir + s.name;
    if (!wav_write(path.c_str(), s.make())) {
      fprintf(stderr, "make_assets: cannot write %s\n", path.c_str());
      failures++;
    }
  }
  return failures ? 1 : 0;
}
