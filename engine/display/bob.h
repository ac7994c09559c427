// BOBs: sprites with a position, a velocity, a size, attribute bits and up to
// 64 frame pictures, each on an off-screen surface keyed on colour index 0.
#ifndef QUILLFIRE_BOB_H
#define QUILLFIRE_BOB_H

#include <stdint.h>

#include "engine/display/bmp.h"
#include "engine/display/ddraw.h"

const int32_t BOB_SHOWN = 0x10;   // bob_draw draws only while this is set
const int32_t BOB_FILLED = 0x80;  // a frame has been loaded
const int32_t BOB_MAX_FRAMES = 64;
const int32_t BOB_MAX_BLOCKS = 16;

struct BOB {
  int32_t state;  // 1 once created
  int32_t reserved0;
  int32_t flags;
  int32_t x, y;    // top left on the screen
  int32_t xv, yv;  // pixels per frame, applied by the game
  int32_t width, height;
  int32_t row_pad;  // surfaces are width + row_pad wide, a multiple of 8
  int32_t reserved1[4];
  int32_t reserved2[32];
  int32_t current_frame;
  int32_t frame_count;
  int32_t reserved3[4];
  void *owned_blocks[BOB_MAX_BLOCKS];
  DDSurface *frames[BOB_MAX_FRAMES];
};

// Pixels that make `width` up to the next multiple of 8.
int32_t bob_row_pad(int32_t width);

int32_t bob_set_position(BOB *bob, int32_t x, int32_t y);
int32_t bob_set_velocity(BOB *bob, int32_t xv, int32_t yv);

int32_t bob_create(BOB *bob, int32_t x, int32_t y, int32_t width,
                   int32_t height, int32_t frame_count, int32_t flags,
                   int32_t mem_flags);
int32_t bob_load_frame(BOB *bob, const BitmapFile *bitmap, int32_t frame,
                       int32_t cx, int32_t cy, int32_t mode);
int32_t bob_draw(BOB *bob, DDSurface *dest);
int32_t bob_destroy(BOB *bob);

#endif
