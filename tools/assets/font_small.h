// A 5 x 7 pixel font of our own for the words on the title picture: capital
// letters, digits, a little punctuation, and arrows written as '<' and '>'.
#ifndef QUILLFIRE_TOOLS_FONT_SMALL_H
#define QUILLFIRE_TOOLS_FONT_SMALL_H

#include <stdint.h>

#include "assets/canvas.h"
#include "assets/palette.h"

const int32_t SMALL_GLYPH_WIDTH = 5;
const int32_t SMALL_GLYPH_HEIGHT = 7;
const int32_t SMALL_ADVANCE = 6;  // one blank column between letters

// How a line is drawn: each font pixel becomes a scale x scale block, shaded
// from `top` at the glyph's first row to `bottom` at its last along the
// ramp, with a shadow one block down and right in `shadow` (0 for none).
struct TextStyle {
  int32_t scale;
  Ramp ramp;
  float top, bottom;
  uint8_t shadow;
};

// Rows of the glyph, bit 4 the leftmost pixel; an unknown character is blank.
const uint8_t *small_glyph(char c);

int32_t small_text_width(const char *text, int32_t scale);
void small_text_draw(Canvas &canvas, const char *text, int32_t x, int32_t y,
                     const TextStyle &style);
// Centred on the given x.
void small_text_centred(Canvas &canvas, const char *text, int32_t centre_x,
                        int32_t y, const TextStyle &style);

#endif
