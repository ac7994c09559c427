// Not built yet: bitmap images.
#include "engine/display/image.h"

int32_t image_create(BitmapImage *, int32_t, int32_t, int32_t, int32_t) {
  return 0;
}
int32_t image_load(BitmapImage *, const BitmapFile *, int32_t, int32_t,
                   int32_t) {
  return 0;
}
int32_t image_draw(BitmapImage *, uint8_t *, int32_t, int32_t) { return 0; }
int32_t image_destroy(BitmapImage *) { return 0; }
