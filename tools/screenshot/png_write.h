// Writes an 8-bit picture and its palette as a palette PNG: the smallest
// faithful form for a 256-colour screen.
#ifndef QUILLFIRE_TOOLS_PNG_WRITE_H
#define QUILLFIRE_TOOLS_PNG_WRITE_H

#include <stdint.h>

#include <vector>

// `pixels` is width by height palette indices, row after row; `palette` is
// 256 entries of red, green, blue and a flag byte (the flag is ignored). Only
// the entries up to the highest index used are stored. Empty when the size
// is not positive or compression fails.
std::vector<uint8_t> png_encode_indexed(const uint8_t *pixels, int32_t width,
                                        int32_t height,
                                        const uint8_t palette[1024]);

// 1 when the file was written.
int32_t png_write_indexed(const char *path, const uint8_t *pixels,
                          int32_t width, int32_t height,
                          const uint8_t palette[1024]);

#endif
