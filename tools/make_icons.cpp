// Writes the game's icon at every installed size, as quillfire-SIZE.png in
// the folder it is given.
#include <stdio.h>

#include <string>

#include "assets/icon.h"
#include "assets/palette.h"
#include "screenshot/png_write.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
    return 2;
  }
  Rgb colours[256];
  palette_build(colours);
  uint8_t palette[1024];
  for (int32_t i = 0; i < 256; i++) {
    palette[4 * i] = colours[i].r;
    palette[4 * i + 1] = colours[i].g;
    palette[4 * i + 2] = colours[i].b;
    palette[4 * i + 3] = 0;
  }
  int failures = 0;
  for (int32_t size : ICON_SIZES) {
    const std::string path =
        std::string(argv[1]) + "/quillfire-" + std::to_string(size) + ".png";
    const Canvas icon = picture_icon(size);
    if (!png_write_indexed(path.c_str(), icon.pixels.data(), size, size,
                           palette)) {
      fprintf(stderr, "make_icons: cannot write %s\n", path.c_str());
      failures++;
    }
  }
  return failures ? 1 : 0;
}
