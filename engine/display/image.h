// Bitmap images: rectangles of 8-bit pixels in ordinary memory, copied into a
// locked surface whole or with index 0 left out.
#ifndef QUILLFIRE_IMAGE_H
#define QUILLFIRE_IMAGE_H

#include <stdint.h>

#include "engine/display/bmp.h"

const int32_t IMAGE_FILLED = 0x80;

struct BitmapImage {
  int32_t state;
  int32_t flags;
  int32_t x, y;  // where it is drawn
  int32_t width, height;
  int32_t byte_count;
  uint8_t *buffer;  // height rows of width bytes, owned
};

int32_t image_create(BitmapImage *image, int32_t x, int32_t y, int32_t width,
                     int32_t height);
int32_t image_load(BitmapImage *image, const BitmapFile *bitmap, int32_t cx,
                   int32_t cy, int32_t mode);
int32_t image_draw(BitmapImage *image, uint8_t *dest, int32_t pitch,
                   int32_t transparent);
int32_t image_destroy(BitmapImage *image);

#endif
