#include "engine/display/gdi.h"

#include "engine/display/font.h"

namespace {

// Paints one character cell, clipped to the surface. `ink` goes where the
// glyph has a pixel; `paper`, if not negative, everywhere else in the cell.
void paint_cell(DDSurface *s, int64_t left, int64_t top, const uint8_t *glyph,
                uint8_t ink, int32_t paper) {
  for (int32_t row = 0; row < FONT_CELL_HEIGHT; row++) {
    const int64_t y = top + row;
    if (y < 0 || y >= s->height) continue;
    uint8_t *line = s->pixels + (ptrdiff_t)y * s->pitch;
    for (int32_t col = 0; col < FONT_CELL_WIDTH; col++) {
      const int64_t x = left + col;
      if (x < 0 || x >= s->width) continue;
      if (glyph[row] & (1u << col)) {
        line[x] = ink;
      } else if (paper >= 0) {
        line[x] = (uint8_t)paper;
      }
    }
  }
}

}  // namespace

uint32_t dc_set_text_color(DDDeviceContext *dc, uint32_t color) {
  const uint32_t previous = dc->text_color;
  dc->text_color = color;
  return previous;
}

int32_t dc_set_bk_mode(DDDeviceContext *dc, int32_t mode) {
  const int32_t previous = dc->background_mode;
  dc->background_mode = mode;
  return previous;
}

uint8_t dc_nearest_index(const PALETTEENTRY entries[256], uint32_t color) {
  const int32_t r = (int32_t)(color & 0xFF);
  const int32_t g = (int32_t)((color >> 8) & 0xFF);
  const int32_t b = (int32_t)((color >> 16) & 0xFF);
  int32_t best = 0;
  int32_t best_distance = INT32_MAX;
  for (int32_t i = 0; i < 256; i++) {
    const int32_t dr = entries[i].peRed - r;
    const int32_t dg = entries[i].peGreen - g;
    const int32_t db = entries[i].peBlue - b;
    const int32_t distance = dr * dr + dg * dg + db * db;
    if (distance < best_distance) {
      best = i;
      best_distance = distance;
    }
  }
  return (uint8_t)best;
}

int32_t dc_text_out(DDDeviceContext *dc, int32_t x, int32_t y, const char *text,
                    int32_t length) {
  const DDPalette *screen = dd_screen_palette();
  if (!dc || !dc->surface || !screen || length < 0 || (!text && length > 0)) {
    return 0;
  }
  DDSurface *s = dc->surface;
  const uint8_t ink = dc_nearest_index(screen->entries, dc->text_color);
  const int32_t paper =
      dc->background_mode == OPAQUE
          ? dc_nearest_index(screen->entries, DC_DEFAULT_BACKGROUND)
          : -1;
  if ((int64_t)y + FONT_CELL_HEIGHT <= 0 || y >= s->height) return 1;
  for (int32_t i = 0; i < length; i++) {
    const int64_t left = (int64_t)x + (int64_t)i * FONT_CELL_WIDTH;
    if (left >= s->width) break;  // this cell and all after it are off
    if (left + FONT_CELL_WIDTH <= 0) continue;
    paint_cell(s, left, y, font_glyph((unsigned char)text[i]), ink, paper);
  }
  return 1;
}
