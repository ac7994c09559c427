#include "assets/canvas.h"

Canvas canvas_make(int32_t width, int32_t height, uint8_t index) {
  Canvas canvas;
  canvas.width = width;
  canvas.height = height;
  canvas.pixels.assign((size_t)width * (size_t)height, index);
  return canvas;
}

void canvas_put(Canvas &canvas, int32_t x, int32_t y, uint8_t index) {
  if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return;
  canvas.pixels[(size_t)y * canvas.width + x] = index;
}

uint8_t canvas_at(const Canvas &canvas, int32_t x, int32_t y) {
  if (x < 0 || y < 0 || x >= canvas.width || y >= canvas.height) return 0;
  return canvas.pixels[(size_t)y * canvas.width + x];
}

void canvas_fill_rect(Canvas &canvas, int32_t x, int32_t y, int32_t w,
                      int32_t h, uint8_t index) {
  for (int32_t j = y; j < y + h; j++) {
    for (int32_t i = x; i < x + w; i++) canvas_put(canvas, i, j, index);
  }
}

void canvas_paste(Canvas &dest, const Canvas &src, int32_t x, int32_t y) {
  for (int32_t j = 0; j < src.height; j++) {
    for (int32_t i = 0; i < src.width; i++) {
      canvas_put(dest, x + i, y + j, src.pixels[(size_t)j * src.width + i]);
    }
  }
}

void canvas_cell_frame(Canvas &canvas, int32_t x, int32_t y, int32_t w,
                       int32_t h, uint8_t index) {
  canvas_fill_rect(canvas, x - 1, y - 1, w + 2, 1, index);
  canvas_fill_rect(canvas, x - 1, y + h, w + 2, 1, index);
  canvas_fill_rect(canvas, x - 1, y - 1, 1, h + 2, index);
  canvas_fill_rect(canvas, x + w, y - 1, 1, h + 2, index);
}
