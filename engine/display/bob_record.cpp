#include "engine/display/bob.h"

int32_t bob_row_pad(int32_t width) { return (8 - width % 8) % 8; }

int32_t bob_set_position(BOB *bob, int32_t x, int32_t y) {
  if (!bob) return 0;
  bob->x = x;
  bob->y = y;
  return 1;
}

int32_t bob_set_velocity(BOB *bob, int32_t xv, int32_t yv) {
  if (!bob) return 0;
  bob->xv = xv;
  bob->yv = yv;
  return 1;
}
