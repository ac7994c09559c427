// Not built yet: the BMP loader comes with the display core.
#include "engine/display/bmp.h"

int32_t bmp_load(BitmapFile *, const char *) { return 0; }
int32_t bmp_unload(BitmapFile *) { return 1; }
int32_t bmp_flip_rows(uint8_t *, int32_t, int32_t) { return 0; }
