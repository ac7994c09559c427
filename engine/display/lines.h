// The pixel and line writers the drawing transitions paint with. Each writes
// 8-bit indices into locked surface memory (start, pitch in bytes) and does
// nothing when start is null; the lines are cut to the display's clip
// rectangle, the pixel is not.
#ifndef QUILLFIRE_LINES_H
#define QUILLFIRE_LINES_H

#include <stdint.h>

int32_t plot_pixel(int32_t x, int32_t y, uint32_t color, uint8_t *start,
                   int32_t pitch);
void hline_clipped(int32_t x1, int32_t x2, int32_t y, uint32_t color,
                   uint8_t *start, int32_t pitch);
void vline_clipped(int32_t y1, int32_t y2, int32_t x, uint32_t color,
                   uint8_t *start, int32_t pitch);

#endif
