// The pixel and line writers: one 8-bit pixel, and horizontal and vertical
// runs clipped to the display's clip rectangle.
#include "engine/display/lines.h"

#include <stddef.h>
#include <string.h>

#include "engine/display/display.h"

int32_t plot_pixel(int32_t x, int32_t y, uint32_t color, uint8_t *start,
                   int32_t pitch) {
  if (start) start[(ptrdiff_t)y * pitch + x] = (uint8_t)color;
  return 1;
}

void hline_clipped(int32_t x1, int32_t x2, int32_t y, uint32_t color,
                   uint8_t *start, int32_t pitch) {
  if (!start || y > clip_bottom || y < clip_top) return;
  int32_t left = x1 < x2 ? x1 : x2;
  int32_t right = x1 < x2 ? x2 : x1;
  if (left > clip_right || right < clip_left) return;
  if (left < clip_left) left = clip_left;
  if (right > clip_right) right = clip_right;
  memset(start + (ptrdiff_t)y * pitch + left, (uint8_t)color,
         (size_t)(right - left + 1));
}

void vline_clipped(int32_t y1, int32_t y2, int32_t x, uint32_t color,
                   uint8_t *start, int32_t pitch) {
  if (!start || x > clip_right || x < clip_left) return;
  int32_t top = y1 < y2 ? y1 : y2;
  int32_t bottom = y1 < y2 ? y2 : y1;
  if (top > clip_bottom || bottom < clip_top) return;
  if (top < clip_top) top = clip_top;
  if (bottom > clip_bottom) bottom = clip_bottom;
  uint8_t *p = start + (ptrdiff_t)top * pitch + x;
  for (int32_t y = top; y <= bottom; y++, p += pitch) *p = (uint8_t)color;
}
