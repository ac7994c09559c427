#include "engine/display/display.h"

#include <string.h>

DDObject *ddraw_object;
DDSurface *primary_surface;
DDSurface *back_surface;
DDPalette *palette_object;
DDClipper *back_clipper;
PALETTEENTRY display_palette[256];

uint8_t *primary_lock_ptr;
int32_t primary_lock_pitch;
uint8_t *back_lock_ptr;
int32_t back_lock_pitch;

namespace {

const int32_t START_WIDTH = 640;
const int32_t START_HEIGHT = 480;
const int32_t START_DEPTH = 8;

}  // namespace

int32_t display_width = START_WIDTH;
int32_t display_height = START_HEIGHT;
int32_t display_depth = START_DEPTH;

int32_t clip_left = 0;
int32_t clip_top = 0;
int32_t clip_right = START_WIDTH - 1;
int32_t clip_bottom = START_HEIGHT - 1;

namespace {

// A flip that keeps failing is given up after this many tries rather than
// hanging the game.
const int FLIP_TRIES = 1000;

// Four ramps of 64 entries: red, green, blue and grey, each from 0 up by 4.
void write_default_palette() {
  memset(display_palette, 0, sizeof display_palette);
  for (int i = 0; i < 256; i++) {
    const uint8_t level = (uint8_t)(4 * (i % 64));
    PALETTEENTRY &e = display_palette[i];
    switch (i / 64) {
      case 0:
        e.peRed = level;
        break;
      case 1:
        e.peGreen = level;
        break;
      case 2:
        e.peBlue = level;
        break;
      default:
        e.peRed = e.peGreen = e.peBlue = level;
        break;
    }
    e.peFlags = PC_NOCOLLAPSE;
  }
}

uint8_t *lock_surface(DDSurface *surface, uint8_t **ptr, int32_t *pitch) {
  if (*ptr) return *ptr;
  uint8_t *pixels = nullptr;
  int32_t row_bytes = 0;
  if (dd_lock(surface, &pixels, &row_bytes) != DD_OK) {
    *ptr = nullptr;
    *pitch = 0;
    return nullptr;
  }
  *ptr = pixels;
  *pitch = row_bytes;
  return *ptr;
}

int32_t unlock_surface(DDSurface *surface, uint8_t **ptr, int32_t *pitch) {
  if (!*ptr) return 0;
  dd_unlock(surface);
  *ptr = nullptr;
  *pitch = 0;
  return 1;
}

}  // namespace

// A second set-up (the start-up makes the display and the scene makes it
// again) gives up the first display, which would otherwise never be released.
int32_t display_init(int32_t width, int32_t height, int32_t bpp) {
  display_shutdown();
  if (dd_create(&ddraw_object) != DD_OK) return 0;
  if (dd_set_cooperative_level(ddraw_object, main_window,
                               DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT |
                                   DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX) !=
      DD_OK) {
    return 0;
  }
  if (dd_set_display_mode(ddraw_object, width, height, bpp) != DD_OK) return 0;
  display_width = width;
  display_height = height;
  display_depth = bpp;
  if (dd_create_primary(ddraw_object,
                        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX,
                        1, &primary_surface) != DD_OK) {
    return 0;
  }
  if (dd_get_attached_surface(primary_surface, DDSCAPS_BACKBUFFER,
                              &back_surface) != DD_OK) {
    return 0;
  }
  write_default_palette();
  if (dd_create_palette(ddraw_object, display_palette, &palette_object) !=
      DD_OK) {
    return 0;
  }
  if (dd_set_palette(primary_surface, palette_object) != DD_OK) return 0;
  surface_fill(primary_surface, 0);
  surface_fill(back_surface, 0);
  return 1;
}

// The handles are cleared as they are given up, so that a second shut-down
// (or a set-up that fails after one) never releases an object twice.
int32_t display_shutdown(void) {
  if (back_clipper) dd_release_clipper(back_clipper);
  if (palette_object) dd_release_palette(palette_object);
  if (back_surface) dd_release_surface(back_surface);
  if (primary_surface) dd_release_surface(primary_surface);
  if (ddraw_object) dd_release_object(ddraw_object);
  back_clipper = nullptr;
  palette_object = nullptr;
  back_surface = nullptr;
  primary_surface = nullptr;
  ddraw_object = nullptr;
  primary_lock_ptr = back_lock_ptr = nullptr;
  primary_lock_pitch = back_lock_pitch = 0;
  return 1;
}

// A flip that never succeeds (no display, or a surface held through a
// device context) is reported as 0 rather than as a flip.
int32_t display_flip(void) {
  if (primary_lock_ptr || back_lock_ptr) return 0;
  for (int tries = 0; tries < FLIP_TRIES; tries++) {
    if (dd_flip(primary_surface) == DD_OK) return 1;
  }
  return 0;
}

int32_t display_flip_unshown(void) {
  if (primary_lock_ptr || back_lock_ptr) return 0;
  return dd_flip_unshown(primary_surface) == DD_OK ? 1 : 0;
}

int32_t surface_fill(DDSurface *surface, uint32_t color) {
  dd_blt_fill(surface, color);
  return 1;
}

uint8_t *lock_primary(void) {
  return lock_surface(primary_surface, &primary_lock_ptr, &primary_lock_pitch);
}

int32_t unlock_primary(void) {
  return unlock_surface(primary_surface, &primary_lock_ptr,
                        &primary_lock_pitch);
}

uint8_t *lock_back(void) {
  return lock_surface(back_surface, &back_lock_ptr, &back_lock_pitch);
}

int32_t unlock_back(void) {
  return unlock_surface(back_surface, &back_lock_ptr, &back_lock_pitch);
}

void display_reset(void) {
  display_shutdown();
  memset(display_palette, 0, sizeof display_palette);
  display_width = START_WIDTH;
  display_height = START_HEIGHT;
  display_depth = START_DEPTH;
  clip_left = 0;
  clip_top = 0;
  clip_right = START_WIDTH - 1;
  clip_bottom = START_HEIGHT - 1;
  dd_reset();
}
