// Not built yet: BOB frames and drawing.
#include "engine/display/bob.h"

int32_t bob_create(BOB *, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                   int32_t) {
  return 0;
}
int32_t bob_load_frame(BOB *, const BitmapFile *, int32_t, int32_t, int32_t,
                       int32_t) {
  return 0;
}
int32_t bob_draw(BOB *, DDSurface *) { return 0; }
int32_t bob_destroy(BOB *) { return 0; }
