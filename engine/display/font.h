// The one text font: our own bitmap glyphs for printable ASCII, in cells of a
// fixed size. The game lays out its score line at 6 pixels a character.
#ifndef QUILLFIRE_FONT_H
#define QUILLFIRE_FONT_H

#include <stdint.h>

const int32_t FONT_CELL_WIDTH = 6;
const int32_t FONT_CELL_HEIGHT = 10;
const int32_t FONT_FIRST_CHAR = 32;  // ' '
const int32_t FONT_LAST_CHAR = 126;  // '~'

// The glyph of character `c`: FONT_CELL_HEIGHT rows, top row first; bit i of
// a row is the pixel in column i (bit 0 the leftmost). Characters outside
// FONT_FIRST_CHAR..FONT_LAST_CHAR have a blank glyph, so they still take up
// their cell.
const uint8_t *font_glyph(unsigned char c);

#endif
