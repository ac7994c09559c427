// An 8-bit picture being drawn: width by height palette indices, top row
// first.
#ifndef QUILLFIRE_TOOLS_CANVAS_H
#define QUILLFIRE_TOOLS_CANVAS_H

#include <stddef.h>
#include <stdint.h>

#include <vector>

struct Canvas {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;
};

Canvas canvas_make(int32_t width, int32_t height, uint8_t index);
// Outside the canvas: put does nothing and at gives 0.
void canvas_put(Canvas &canvas, int32_t x, int32_t y, uint8_t index);
uint8_t canvas_at(const Canvas &canvas, int32_t x, int32_t y);
void canvas_fill_rect(Canvas &canvas, int32_t x, int32_t y, int32_t w,
                      int32_t h, uint8_t index);
// Copies all of src with its top left at (x, y), clipped.
void canvas_paste(Canvas &dest, const Canvas &src, int32_t x, int32_t y);
// The 1-pixel frame around a w by h cell whose first pixel is (x, y): the
// lines lie at x - 1, x + w, y - 1 and y + h.
void canvas_cell_frame(Canvas &canvas, int32_t x, int32_t y, int32_t w,
                       int32_t h, uint8_t index);

#endif
