// Not built yet: palette effects and transitions.
#include "engine/display/palette.h"

int32_t palette_save(PALETTEENTRY *) { return 1; }
int32_t palette_set(const PALETTEENTRY *) { return 1; }
void screen_transition(int32_t, uint8_t *, int32_t) {}
int32_t plot_pixel(int32_t, int32_t, uint32_t, uint8_t *, int32_t) { return 1; }
void hline_clipped(int32_t, int32_t, int32_t, uint32_t, uint8_t *, int32_t) {}
void vline_clipped(int32_t, int32_t, int32_t, uint32_t, uint8_t *, int32_t) {}
