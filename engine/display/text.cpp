// Not built yet: text and the log.
#include "engine/display/text.h"

FILE *log_stream;

int32_t text_draw_rgb(const char *, int32_t, int32_t, uint32_t, DDSurface *) {
  return 0;
}
int32_t text_draw_index(const char *, int32_t, int32_t, int32_t, DDSurface *) {
  return 0;
}
int32_t log_write(const char *, ...) { return 0; }
