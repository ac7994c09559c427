// Large display letters of our own, drawn as thick strokes along centre lines
// and lit as bevelled gold: the game's name on the title picture.
#ifndef QUILLFIRE_TOOLS_FONT_BIG_H
#define QUILLFIRE_TOOLS_FONT_BIG_H

#include <stdint.h>

#include <vector>

#include "assets/canvas.h"

struct Segment {
  float x0, y0, x1, y1;
};

// A laid-out line of big letters: stroke centre lines in picture pixels.
struct BigText {
  std::vector<Segment> segments;
  float radius;                    // half the stroke width, pixels
  float left, top, right, bottom;  // bounds of the strokes
};

// Letters are 6 units tall, `unit` pixels each, slanted forward by `slant`
// (pixels of x per pixel of y). Letters without a drawing are left out.
BigText big_text_layout(const char *text, float centre_x, float top, float unit,
                        float radius, float slant);

// Distance from (x, y) to the nearest stroke centre line; (*nx, *ny) the unit
// vector from that nearest point toward (x, y).
float big_text_distance(const BigText &text, float x, float y, float *nx,
                        float *ny);

// Bevelled gold letters with a dark ember outline and a drop shadow.
void big_text_draw(Canvas &canvas, const BigText &text);

#endif
