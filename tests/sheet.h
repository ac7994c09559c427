// An 8-bit picture built in memory as the BMP loader leaves one: top-down
// rows of biWidth bytes. Every pixel holds a value made from its coordinates
// and never 0, so a copy from the wrong place, or a pixel left out as
// transparent, shows.
#ifndef QUILLFIRE_TESTS_SHEET_H
#define QUILLFIRE_TESTS_SHEET_H

#include <stdint.h>
#include <string.h>

#include <vector>

#include "engine/display/bmp.h"

inline uint8_t sheet_value(int32_t x, int32_t y) {
  return (uint8_t)(1 + (x * 7 + y * 13) % 251);
}

struct Sheet {
  std::vector<uint8_t> pixels;
  BitmapFile file;

  Sheet(int32_t width, int32_t height) : pixels((size_t)width * height) {
    memset(&file, 0, sizeof file);
    for (int32_t y = 0; y < height; y++) {
      for (int32_t x = 0; x < width; x++) set(x, y, sheet_value(x, y), width);
    }
    file.info_header.biWidth = width;
    file.info_header.biHeight = height;
    file.info_header.biBitCount = 8;
    file.buffer = pixels.data();
  }

  void set(int32_t x, int32_t y, uint8_t value, int32_t width) {
    pixels[(size_t)y * width + x] = value;
  }
  void set(int32_t x, int32_t y, uint8_t value) {
    set(x, y, value, file.info_header.biWidth);
  }
};

#endif
