#include "game/net_note.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>

#include "engine/display/font.h"
#include "game/court.h"

namespace {

// The band cleared behind a note's lines, so that they read over anything.
const int32_t NOTE_BAND_ABOVE = 5, NOTE_BAND_BELOW = 7, NOTE_BAND_MARGIN = 24;

// Writes `line` at (x, y) in the message colour, glyph by glyph: the note
// must not depend on the game's display, which may be gone or not yet there.
void text_write(const char *line, int32_t x, int32_t y, uint8_t *pixels,
                int32_t pitch, int32_t width, int32_t height) {
  for (size_t i = 0; line[i]; ++i) {
    const uint8_t *glyph = font_glyph((unsigned char)line[i]);
    for (int32_t row = 0; row < FONT_CELL_HEIGHT; ++row)
      for (int32_t col = 0; col < FONT_CELL_WIDTH; ++col) {
        const int32_t px = x + (int32_t)i * FONT_CELL_WIDTH + col;
        const int32_t py = y + row;
        if (((glyph[row] >> col) & 1) && px >= 0 && px < width && py >= 0 &&
            py < height)
          pixels[(size_t)py * pitch + px] = MESSAGE_COLOR;
      }
  }
}

}  // namespace

void note_set(Note *note, int32_t y, int32_t band_top, int32_t band_bottom,
              const char *const *lines, int count) {
  note->lines = std::min(count, NOTE_LINES_MAX);
  note->y = y;
  note->band_top = band_top;
  note->band_bottom = band_bottom;
  for (int i = 0; i < note->lines; ++i)
    snprintf(note->text[i], sizeof note->text[i], "%s", lines[i]);
}

void note_line(Note *note, int32_t y, const char *line) {
  note_set(note, y, 0, 0, &line, 1);
}

void note_paint(const Note &note, uint8_t *pixels, int32_t pitch, int32_t width,
                int32_t height) {
  auto clear = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    x0 = std::max(0, x0), y0 = std::max(0, y0);
    x1 = std::min(width, x1), y1 = std::min(height, y1);
    for (int32_t row = y0; row < y1 && x1 > x0; ++row)
      memset(pixels + (size_t)row * pitch + x0, 0, (size_t)(x1 - x0));
  };
  if (note.band_bottom > note.band_top)
    clear(0, note.band_top, width, note.band_bottom);
  for (int i = 0; i < note.lines; ++i) {
    const int32_t text_width = (int32_t)strlen(note.text[i]) * FONT_CELL_WIDTH;
    const int32_t x = (width - text_width) / 2;
    const int32_t y = note.y + i * NOTE_LINE_GAP;
    if (note.band_bottom <= note.band_top)
      clear(x - NOTE_BAND_MARGIN, y - NOTE_BAND_ABOVE,
            x + text_width + NOTE_BAND_MARGIN,
            y + FONT_CELL_HEIGHT + NOTE_BAND_BELOW);
    text_write(note.text[i], x, y, pixels, pitch, width, height);
  }
}
