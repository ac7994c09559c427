#include "assets/font_small.h"

#include <string.h>

namespace {

struct Glyph {
  char c;
  const char *rows[SMALL_GLYPH_HEIGHT];
};

// '#' is ink.
const Glyph GLYPHS[] = {
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'B', {"#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "}},
    {'C', {" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "}},
    {'D', {"#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'F', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "}},
    {'G', {" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"}},
    {'H', {"#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'I', {" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'J', {"  ###", "   # ", "   # ", "   # ", "   # ", "#  # ", " ##  "}},
    {'K', {"#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'M', {"#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"}},
    {'N', {"#   #", "#   #", "##  #", "# # #", "#  ##", "#   #", "#   #"}},
    {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'P', {"#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "}},
    {'Q', {" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"}},
    {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'T', {"#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'U', {"#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'V', {"#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "}},
    {'W', {"#   #", "#   #", "#   #", "# # #", "# # #", "# # #", " # # "}},
    {'X', {"#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"}},
    {'Y', {"#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'Z', {"#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"}},
    {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
    {'1', {"  #  ", " ##  ", "# #  ", "  #  ", "  #  ", "  #  ", "#####"}},
    {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
    {'3', {"#####", "   # ", "  #  ", "   # ", "    #", "#   #", " ### "}},
    {'4', {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "}},
    {'5', {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "}},
    {'6', {"  ## ", " #   ", "#    ", "#### ", "#   #", "#   #", " ### "}},
    {'7', {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "}},
    {'8', {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "}},
    {'9', {" ### ", "#   #", "#   #", " ####", "    #", "   # ", " ##  "}},
    {'.', {"     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "}},
    {',', {"     ", "     ", "     ", "     ", " ##  ", "  #  ", " #   "}},
    {':', {"     ", " ##  ", " ##  ", "     ", " ##  ", " ##  ", "     "}},
    {'-', {"     ", "     ", "     ", "#####", "     ", "     ", "     "}},
    {'/', {"    #", "    #", "   # ", "  #  ", " #   ", "#    ", "#    "}},
    {'!', {"  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "     ", "  #  "}},
    {'(', {"   # ", "  #  ", " #   ", " #   ", " #   ", "  #  ", "   # "}},
    {')', {" #   ", "  #  ", "   # ", "   # ", "   # ", "  #  ", " #   "}},
    {'\'', {"  #  ", "  #  ", " #   ", "     ", "     ", "     ", "     "}},
    {'<', {"     ", "  #  ", " #   ", "#####", " #   ", "  #  ", "     "}},
    {'>', {"     ", "  #  ", "   # ", "#####", "   # ", "  #  ", "     "}},
};

// Bitmaps built once from the drawings above.
struct Table {
  uint8_t rows[256][SMALL_GLYPH_HEIGHT];
};

const Table &table() {
  static Table t = [] {
    Table built;
    memset(&built, 0, sizeof built);
    for (const Glyph &g : GLYPHS) {
      for (int32_t r = 0; r < SMALL_GLYPH_HEIGHT; r++) {
        uint8_t bits = 0;
        for (int32_t c = 0; c < SMALL_GLYPH_WIDTH; c++) {
          if (g.rows[r][c] == '#') bits |= (uint8_t)(0x10 >> c);
        }
        built.rows[(uint8_t)g.c][r] = bits;
      }
    }
    return built;
  }();
  return t;
}

uint8_t row_shade(const TextStyle &style, int32_t row) {
  const float f = (float)row / (float)(SMALL_GLYPH_HEIGHT - 1);
  return shade(style.ramp, style.top + (style.bottom - style.top) * f);
}

// One glyph in the style's shading, or all in its shadow colour.
void draw_glyph(Canvas &canvas, const uint8_t *rows, int32_t x, int32_t y,
                const TextStyle &style, bool shadow) {
  const int32_t s = style.scale;
  for (int32_t r = 0; r < SMALL_GLYPH_HEIGHT; r++) {
    const uint8_t index = shadow ? style.shadow : row_shade(style, r);
    for (int32_t c = 0; c < SMALL_GLYPH_WIDTH; c++) {
      if (!(rows[r] & (0x10 >> c))) continue;
      canvas_fill_rect(canvas, x + c * s, y + r * s, s, s, index);
    }
  }
}

}  // namespace

const uint8_t *small_glyph(char c) { return table().rows[(uint8_t)c]; }

int32_t small_text_width(const char *text, int32_t scale) {
  const int32_t n = (int32_t)strlen(text);
  if (n == 0) return 0;
  return (n * SMALL_ADVANCE - 1) * scale;
}

void small_text_draw(Canvas &canvas, const char *text, int32_t x, int32_t y,
                     const TextStyle &style) {
  const int32_t s = style.scale;
  // All shadows first, so no shadow falls on a neighbouring letter.
  for (int pass = style.shadow ? 0 : 1; pass < 2; pass++) {
    const int32_t offset = pass == 0 ? s : 0;
    int32_t pen = x;
    for (const char *p = text; *p; p++) {
      draw_glyph(canvas, small_glyph(*p), pen + offset, y + offset, style,
                 pass == 0);
      pen += SMALL_ADVANCE * s;
    }
  }
}

void small_text_centred(Canvas &canvas, const char *text, int32_t centre_x,
                        int32_t y, const TextStyle &style) {
  small_text_draw(canvas, text,
                  centre_x - small_text_width(text, style.scale) / 2, y, style);
}
