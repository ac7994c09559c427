// Writes an 8-bit Windows BMP in the one form the game's loader reads.
#ifndef QUILLFIRE_TOOLS_BMP_WRITE_H
#define QUILLFIRE_TOOLS_BMP_WRITE_H

#include <stdint.h>

#include <vector>

#include "assets/canvas.h"
#include "assets/palette.h"

// The whole file: "BM" header, 40-byte info header, 256-entry colour table
// (blue, green, red, 0), then the rows bottom-up with no filler bytes and
// biSizeImage set to exactly their size. The loader takes rows to follow each
// other without padding, so a width that is not a multiple of 4 is refused
// (empty result) rather than written in a form it would misread.
std::vector<uint8_t> bmp_encode(const Canvas &canvas, const Rgb palette[256]);

// 1 when written, 0 when refused or the file can't be written.
int32_t bmp_write(const char *path, const Canvas &canvas,
                  const Rgb palette[256]);

#endif
