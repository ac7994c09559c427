// Writes the game's pictures and sounds into the folder it is given, where
// the game finds them by plain name.
#include <stdio.h>

#include <string>
#include <vector>

#include "assets/bmp_write.h"
#include "assets/palette.h"
#include "assets/pictures.h"
#include "assets/sounds.h"
#include "assets/wav_write.h"

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
  const Picture pictures[] = {{"BALL3D8BIG.BMP", picture_ball_sheet},
                              {"PADDLES3D8.BMP", picture_paddle_sheet},
                              {"BACK8.BMP", picture_court},
                              {"TITLE8.BMP", picture_title}};
  struct Sound {
    const char *name;
    std::vector<float> (*make)();
  };
  const Sound sounds[] = {{"BOING.WAV", sound_bounce},
                          {"BUZZER.WAV", sound_goal},
                          {"SPIKE.WAV", sound_win},
                          {"FIRE.WAV", sound_title}};

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
