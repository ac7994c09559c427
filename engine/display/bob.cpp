// BOB frames: one off-screen surface per frame, keyed on index 0, filled
// from an 8-bit sprite sheet and blitted onto a surface whose clipper (if any)
// keeps the BOB on the screen.
#include "engine/display/bob.h"

#include <stdlib.h>
#include <string.h>

#include "engine/display/display.h"
#include "engine/display/log.h"

namespace {

bool frame_in_range(const BOB *bob, int32_t frame) {
  return frame >= 0 && frame < bob->frame_count && frame < BOB_MAX_FRAMES &&
         bob->frames[frame] != nullptr;
}

}  // namespace

int32_t bob_create(BOB *bob, int32_t x, int32_t y, int32_t width,
                   int32_t height, int32_t frame_count, int32_t flags,
                   int32_t mem_flags) {
  // More frames than the record holds: refused before anything is written.
  if (frame_count > BOB_MAX_FRAMES) return 0;

  bob->state = 1;
  bob->reserved0 = 0;
  bob->flags = flags;
  bob->x = x;
  bob->y = y;
  bob->xv = 0;
  bob->yv = 0;
  bob->width = width;
  bob->height = height;
  bob->current_frame = 0;
  bob->frame_count = frame_count;
  memset(bob->reserved1, 0, sizeof bob->reserved1);
  memset(bob->reserved3, 0, sizeof bob->reserved3);
  memset(bob->owned_blocks, 0, sizeof bob->owned_blocks);
  memset(bob->frames, 0, sizeof bob->frames);

  bob->row_pad = bob_row_pad(width);
  log_write("\nCreate BOB %d", bob->row_pad);

  if (frame_count <= 0) return 1;

  // A width so large that the padded one no longer fits is a surface that
  // can't be made.
  const int64_t surface_width = (int64_t)width + bob->row_pad;
  if (surface_width > INT32_MAX) return 0;
  const uint32_t caps = (uint32_t)mem_flags | DDSCAPS_OFFSCREENPLAIN;
  for (int32_t i = 0; i < frame_count; i++) {
    if (dd_create_surface(ddraw_object, (int32_t)surface_width, height, caps,
                          &bob->frames[i]) != DD_OK) {
      bob->frames[i] = nullptr;
      return 0;
    }
    dd_set_color_key(bob->frames[i], 0, 0);
  }
  return 1;
}

int32_t bob_load_frame(BOB *bob, const BitmapFile *bitmap, int32_t frame,
                       int32_t cx, int32_t cy, int32_t mode) {
  if (!bob || !frame_in_range(bob, frame)) return 0;
  DDSurface *surface = bob->frames[frame];
  // The record's size is what gets copied; a surface smaller than that (the
  // record changed after creation) would be written past its end.
  if (bob->width > surface->width || bob->height > surface->height) return 0;
  const uint8_t *source =
      bmp_cell(bitmap, bob->width, bob->height, cx, cy, mode);
  if (!source) return 0;

  uint8_t *dest = nullptr;
  int32_t pitch = 0;
  if (dd_lock(surface, &dest, &pitch) != DD_OK || !dest) return 0;
  // Rows are stepped by the pitch the lock reports, which on our surfaces is
  // the created width + row_pad; the pad bytes at the row ends stay as made.
  const int32_t sheet_width = bitmap->info_header.biWidth;
  for (int32_t row = 0; row < bob->height; row++) {
    memcpy(dest + (ptrdiff_t)row * pitch, source + (ptrdiff_t)row * sheet_width,
           (size_t)bob->width);
  }
  dd_unlock(surface);

  bob->flags |= BOB_FILLED;
  return 1;
}

int32_t bob_draw(BOB *bob, DDSurface *dest) {
  if (!bob) return 0;
  if (!(bob->flags & BOB_SHOWN)) return 1;
  if (!frame_in_range(bob, bob->current_frame)) return 0;
  if (bob->width <= 0 || bob->height <= 0) return 0;

  // The right column and the bottom row of both rectangles lie outside them,
  // so the frame's last column and row are never shown.
  const int64_t right = (int64_t)bob->x + bob->width - 1;
  const int64_t bottom = (int64_t)bob->y + bob->height - 1;
  if (right > INT32_MAX || bottom > INT32_MAX) return 0;
  const RECT dest_rect = {bob->x, bob->y, (int32_t)right, (int32_t)bottom};
  const RECT source_rect = {0, 0, bob->width - 1, bob->height - 1};
  return dd_blt(dest, &dest_rect, bob->frames[bob->current_frame], &source_rect,
                1) == DD_OK
             ? 1
             : 0;
}

// The pointers are cleared as they are given up, so that a record destroyed
// twice, or drawn after it was destroyed, never reaches a freed surface.
int32_t bob_destroy(BOB *bob) {
  if (!bob) return 0;
  for (int32_t i = 0; i < BOB_MAX_FRAMES; i++) {
    if (bob->frames[i]) dd_release_surface(bob->frames[i]);
    bob->frames[i] = nullptr;
  }
  for (int32_t i = 0; i < BOB_MAX_BLOCKS; i++) {
    free(bob->owned_blocks[i]);
    bob->owned_blocks[i] = nullptr;
  }
  return 1;
}
