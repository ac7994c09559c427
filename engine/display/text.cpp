#include "engine/display/text.h"

#include <stdarg.h>
#include <string.h>

#include "engine/display/display.h"
#include "engine/display/gdi.h"
#include "engine/display/log.h"

FILE *log_stream;

namespace {

const size_t LOG_BUFFER_BYTES = 80;

}  // namespace

int32_t text_draw_rgb(const char *text, int32_t x, int32_t y, uint32_t color,
                      DDSurface *surface) {
  DDDeviceContext dc;
  if (dd_get_dc(surface, &dc) != DD_OK) return 0;
  dc_set_text_color(&dc, color);
  dc_set_bk_mode(&dc, TRANSPARENT);
  // Only some 107 cells fit across the screen, so a longer length is cut
  // rather than counted past what an int32_t holds.
  const size_t length = text ? strlen(text) : 0;
  dc_text_out(&dc, x, y, text,
              length > (size_t)INT32_MAX ? INT32_MAX : (int32_t)length);
  dd_release_dc(surface, &dc);
  return 1;
}

// The index is checked, though callers pass 0 to 255: any other would read
// past the palette.
int32_t text_draw_index(const char *text, int32_t x, int32_t y, int32_t index,
                        DDSurface *surface) {
  if (index < 0 || index > 255) return 0;
  const PALETTEENTRY &e = display_palette[index];
  return text_draw_rgb(text, x, y, RGB(e.peRed, e.peGreen, e.peBlue), surface);
}

// The message is cut to what fits the buffer (79 characters) and written as
// it is: it is never taken as a format a second time.
int32_t log_write(const char *format, ...) {
  if (!format || !log_stream) return 0;
  char buffer[LOG_BUFFER_BYTES];
  va_list args;
  va_start(args, format);
  const int written = vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (written < 0) return 0;  // a format the library could not apply
  fputs(buffer, log_stream);
  return 1;
}
