// The display: the 8-bit screen the frames are presented to.
// Part of the platform interface; see platform/platform.h.
#ifndef QUILLFIRE_PLAT_DISPLAY_H
#define QUILLFIRE_PLAT_DISPLAY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Prepares the screen for frames of width by height pixels at `bits` bits per
// pixel (the stand-in for the exclusive display mode). Only 8 bits per pixel
// is offered. Returns 0 when the mode can't be had; the previous mode, if
// any, stays.
int plat_display_set_mode(int32_t width, int32_t height, int32_t bits);

// Shows one 8-bit frame: `pixels` holds `height` rows of `width` palette
// indices, `pitch` bytes apart; `palette` holds 256 entries of four bytes
// (red, green, blue, flags), of which the flags are ignored. The picture is on
// the screen when this returns; nothing is kept of either buffer, so the
// caller may change them at once. Does nothing before a mode is set.
void plat_present(const uint8_t *pixels, int32_t pitch, int32_t width,
                  int32_t height, const uint8_t palette[1024]);

// Gives the screen back (the end of the exclusive mode).
void plat_display_close(void);

#ifdef __cplusplus
}
#endif

#endif
