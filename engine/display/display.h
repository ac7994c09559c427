// The display device: the one full-screen 8-bit display, its primary surface
// with one back buffer, the palette, the lock bookkeeping, the geometry and
// the clip rectangle of the line writers.
#ifndef QUILLFIRE_DISPLAY_H
#define QUILLFIRE_DISPLAY_H

#include <stdint.h>

#include "engine/display/ddraw.h"
#include "engine/window.h"

extern DDObject *ddraw_object;
extern DDSurface *primary_surface;
extern DDSurface *back_surface;
extern DDPalette *palette_object;
extern DDClipper *back_clipper;
extern PALETTEENTRY display_palette[256];

extern uint8_t *primary_lock_ptr;
extern int32_t primary_lock_pitch;
extern uint8_t *back_lock_ptr;
extern int32_t back_lock_pitch;

extern int32_t display_width;
extern int32_t display_height;
extern int32_t display_depth;

// The clip rectangle of the line writers, inclusive on every side.
extern int32_t clip_left;
extern int32_t clip_top;
extern int32_t clip_right;
extern int32_t clip_bottom;

// Back to the state the program starts with, releasing whatever is held;
// for tests and tools that run the library many times in one process. The
// game never calls it.
void display_reset(void);

int32_t display_init(int32_t width, int32_t height, int32_t bpp);
int32_t display_shutdown(void);
int32_t display_flip(void);
// The flip without showing it: the back buffer's picture becomes the
// primary's, and the screen shows it at the next present (a palette change,
// a fade's first step). 0 while a surface is locked or without a display.
int32_t display_flip_unshown(void);
int32_t surface_fill(DDSurface *surface, uint32_t color);
uint8_t *lock_primary(void);
int32_t unlock_primary(void);
uint8_t *lock_back(void);
int32_t unlock_back(void);

#endif
