// An 8-bit picture as the BMP loader leaves one, top-down rows of biWidth
// bytes, each pixel a value made from its coordinates and never 0: a copy from
// the wrong place, or a pixel left out as transparent, shows.
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
    for (size_t i = 0; i < pixels.size(); i++) {
      pixels[i] = sheet_value((int32_t)(i % width), (int32_t)(i / width));
    }
    memset(&file, 0, sizeof file);
    file.info_header.biWidth = width;
    file.info_header.biHeight = height;
    file.info_header.biBitCount = 8;
    file.buffer = pixels.data();
  }
};

#endif
