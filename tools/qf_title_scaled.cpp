// Plays the real game headless to its title screen and writes that frame as
// the SDL window would show it on screens of the given sizes: scaled by the
// same rule, between black bars, as binary PPM files. The X server tests
// compare the real window with these, pixel for pixel.
//   qf_title_scaled OUTPUT_DIRECTORY SIZE...
// SIZE is WIDTHxHEIGHT for sharp scaling, WIDTHxHEIGHTi for whole factors
// only; each is written to OUTPUT_DIRECTORY/title_SIZE.ppm.
#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

#include "platform/sdl/present_scale.h"
#include "screenshot/capture.h"

namespace {

int32_t write_scaled(const Shot &shot, const std::string &size,
                     const std::string &dir) {
  int width = 0, height = 0;
  char whole = 0;
  const int read = sscanf(size.c_str(), "%dx%d%c", &width, &height, &whole);
  if (read < 2 || width <= 0 || height <= 0 || width > 16384 ||
      height > 16384 || (read == 3 && whole != 'i')) {
    fprintf(stderr, "qf_title_scaled: '%s' is not a size\n", size.c_str());
    return 0;
  }
  uint32_t lut[256];
  for (int i = 0; i < 256; i++) {
    lut[i] = (uint32_t)shot.palette[4 * i] << 16 |
             (uint32_t)shot.palette[4 * i + 1] << 8 | shot.palette[4 * i + 2];
  }
  PresentScale scale;
  present_scale_layout(&scale, shot.width, shot.height, width, height,
                       read == 3);
  std::vector<uint32_t> screen((size_t)width * height, 0);
  present_scale_draw(&scale, shot.pixels.data(), shot.width, lut,
                     (uint8_t *)(screen.data() + (size_t)scale.fit.top * width +
                                 scale.fit.left),
                     width * 4);
  const std::string path = dir + "/title_" + size + ".ppm";
  FILE *f = fopen(path.c_str(), "wb");
  if (!f) {
    fprintf(stderr, "qf_title_scaled: cannot write %s\n", path.c_str());
    return 0;
  }
  fprintf(f, "P6\n%d %d\n255\n", width, height);
  std::vector<uint8_t> row((size_t)width * 3);
  for (int y = 0; y < height; y++) {
    for (int x = 0; x < width; x++) {
      const uint32_t c = screen[(size_t)y * width + x];
      row[3 * x] = (uint8_t)(c >> 16);
      row[3 * x + 1] = (uint8_t)(c >> 8);
      row[3 * x + 2] = (uint8_t)c;
    }
    fwrite(row.data(), 1, row.size(), f);
  }
  const int ok = fclose(f) == 0;
  if (ok) printf("%s\n", path.c_str());
  return ok;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: %s OUTPUT_DIRECTORY SIZE...\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const Capture capture = capture_run(QF_RUN_DIR);
  if (!capture.title_taken) {
    fprintf(stderr, "qf_title_scaled: the game showed no title screen\n");
    return 1;
  }
  int32_t ok = 1;
  for (int i = 2; i < argc; i++)
    ok &= write_scaled(capture.title, argv[i], dir);
  return ok ? 0 : 1;
}
