// Text on a surface in our own bitmap font.
#ifndef QUILLFIRE_TEXT_H
#define QUILLFIRE_TEXT_H

#include <stdint.h>

#include "engine/display/ddraw.h"

// COLORREF: red in the low byte, then green, then blue.
inline uint32_t RGB(uint8_t r, uint8_t g, uint8_t b) {
  return (uint32_t)r | ((uint32_t)g << 8) | ((uint32_t)b << 16);
}

int32_t text_draw_rgb(const char *text, int32_t x, int32_t y, uint32_t color,
                      DDSurface *surface);
int32_t text_draw_index(const char *text, int32_t x, int32_t y, int32_t index,
                        DDSurface *surface);

#endif
