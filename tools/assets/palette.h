// The one palette of all four pictures: where each colour ramp lives, and how
// a picture picks a shade from a ramp.
#ifndef QUILLFIRE_TOOLS_PALETTE_H
#define QUILLFIRE_TOOLS_PALETTE_H

#include <stdint.h>

struct Rgb {
  uint8_t r, g, b;
};

// A run of palette entries from dark to light.
struct Ramp {
  int32_t first;
  int32_t count;
};

// Index 0 is black: the sprites' transparent colour and the colour of the
// screen between screens.
const uint8_t PAL_BLACK = 0;
// The game writes its messages in this entry, over the court.
const uint8_t PAL_MESSAGE = 144;
// The score lines are drawn in pure white, found by colour.
const uint8_t PAL_WHITE = 255;

const Ramp RAMP_GREY = {1, 15};
const Ramp RAMP_BALL = {16, 16};
const Ramp RAMP_PADDLE1 = {32, 16};
const Ramp RAMP_PADDLE2 = {48, 16};
const Ramp RAMP_FLOOR = {64, 32};
const Ramp RAMP_LINE = {96, 16};
const Ramp RAMP_WALL = {112, 16};
const Ramp RAMP_GOAL1 = {128, 8};
const Ramp RAMP_GOAL2 = {136, 8};
const Ramp RAMP_GOLD = {145, 15};
const Ramp RAMP_FIRE = {160, 32};
const Ramp RAMP_SKY = {192, 32};
const Ramp RAMP_EMBER = {224, 16};
const Ramp RAMP_TEXT = {240, 15};

void palette_build(Rgb palette[256]);

// The entry of a ramp for t in 0..1 (clamped), nearest shade.
uint8_t shade(Ramp ramp, float t);
// The same, with an ordered dither between the two nearest shades so that
// wide gradients show no bands.
uint8_t shade_dither(Ramp ramp, float t, int32_t x, int32_t y);

#endif
