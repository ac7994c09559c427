// The few GDI text calls the library makes on a surface's device context:
// set the text colour, set the background mode, write a line of text. Text
// is drawn in our own font (font.h), one cell per character.
#ifndef QUILLFIRE_GDI_H
#define QUILLFIRE_GDI_H

#include <stdint.h>

#include "engine/display/ddraw.h"

// GDI's background colour in OPAQUE mode when none has been chosen: white.
const uint32_t DC_DEFAULT_BACKGROUND = 0x00FFFFFF;

// Each returns the previous setting.
uint32_t dc_set_text_color(DDDeviceContext *dc, uint32_t color);
int32_t dc_set_bk_mode(DDDeviceContext *dc, int32_t mode);

// Writes `length` characters of `text` with the top-left corner of the first
// cell at (x, y). The colour is matched to the nearest entry of the palette
// the screen is shown through, as on a palettised display. In TRANSPARENT
// mode only the glyphs' pixels are painted; in OPAQUE mode the whole cells,
// the rest in the background colour. Pixels outside the surface are left
// out. Returns 1, or 0 when nothing can be drawn (no surface, no palette on
// the screen, a negative length or a null text).
int32_t dc_text_out(DDDeviceContext *dc, int32_t x, int32_t y, const char *text,
                    int32_t length);

// The palette index whose colour is nearest to `color` (a COLORREF) by
// squared RGB distance; the lowest such index on a tie.
uint8_t dc_nearest_index(const PALETTEENTRY entries[256], uint32_t color);

#endif
