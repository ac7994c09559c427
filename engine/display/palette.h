// Palette effects and screen transitions.
#ifndef QUILLFIRE_PALETTE_H
#define QUILLFIRE_PALETTE_H

#include <stdint.h>

#include "engine/display/ddraw.h"

enum {
  TRANSITION_DARKEN = 0,
  TRANSITION_LIGHTEN = 1,
  TRANSITION_CLOSE_COLUMNS = 2,
  TRANSITION_CLOSE_ROWS = 3,
  TRANSITION_SCATTER = 4,
  TRANSITION_CLOSE_BOTH = 5,
  TRANSITION_TO_BLUE = 6,
  TRANSITION_TO_RED = 7,
  TRANSITION_TO_GREEN = 8
};

int32_t palette_save(PALETTEENTRY *destination);
int32_t palette_set(const PALETTEENTRY *source);
// Installs `source` as palette_set does, without showing it: the screen takes
// the colours at its next present. For a restored game state, whose picture
// comes with its next frame.
int32_t palette_restore(const PALETTEENTRY *source);
// Runs a transition step by step; once plat_close_requested() is 1 it stops
// before its next step, leaving what it has done so far.
void screen_transition(int32_t type, uint8_t *start, int32_t pitch);

#endif
