// Turning an 8-bit frame into the window's pixels: the palette lookup, the
// scaling and where the picture sits in the window. Plain functions over
// memory, without SDL, so that the benchmark and the tests can run them.
#ifndef QUILLFIRE_PRESENT_CONVERT_H
#define QUILLFIRE_PRESENT_CONVERT_H

#include <stdint.h>

// The picture's place in a target: the rectangle it covers and the whole
// number it is scaled by. A scale of 0 means the target is smaller than the
// frame and the picture is shrunk to fit, keeping its shape.
struct PresentFit {
  int32_t left;
  int32_t top;
  int32_t width;
  int32_t height;
  int32_t scale;
};

// The largest whole-number scale of a frame_width by frame_height frame that
// fits the target, centred (letterboxed) in it. Sizes must be positive.
PresentFit present_fit(int32_t frame_width, int32_t frame_height,
                       int32_t target_width, int32_t target_height);

// Writes the frame through `lut` (one 32-bit pixel per palette index) into
// 32-bit pixels at `dest`, each source pixel becoming a scale by scale block:
// width * scale pixels by height * scale rows, rows `dest_pitch` bytes
// apart. One scaled row is built from the lookup and copied for the rows
// that repeat it.
void present_convert_scaled(const uint8_t *pixels, int32_t pitch, int32_t width,
                            int32_t height, const uint32_t lut[256],
                            int32_t scale, uint8_t *dest, int32_t dest_pitch);

// The general, slower path: the frame stretched or shrunk to dest_width by
// dest_height with nearest-neighbour sampling, into pixels of 1 to 4 bytes
// (the low bytes of each lookup entry, in memory order of a little-endian
// 32-bit value).
void present_convert_any(const uint8_t *pixels, int32_t pitch, int32_t width,
                         int32_t height, const uint32_t lut[256], uint8_t *dest,
                         int32_t dest_pitch, int32_t dest_width,
                         int32_t dest_height, int32_t bytes_per_pixel);

#endif
