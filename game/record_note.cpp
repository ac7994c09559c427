#include "game/record_note.h"

#include <string.h>

#include <algorithm>

#include "engine/display/text.h"
#include "game/court.h"

namespace {

// The band sits below the court's play and the host's title note, so it
// hides no score and no serve prompt.
const int32_t NOTE_FROM_BOTTOM = 18, NOTE_BAND_HEIGHT = 18;
const int32_t NOTE_CHAR_WIDTH = 6, NOTE_MARGIN = 8;

}  // namespace

void record_note_draw(uint8_t *pixels, int32_t pitch, int32_t width,
                      int32_t height, const char *line) {
  const int32_t text_width = (int32_t)strlen(line) * NOTE_CHAR_WIDTH;
  const int32_t x = std::max<int32_t>(0, (width - text_width) / 2);
  const int32_t y = height - NOTE_FROM_BOTTOM;
  const int32_t x0 = std::max<int32_t>(0, x - NOTE_MARGIN);
  const int32_t x1 = std::min<int32_t>(width, x + text_width + NOTE_MARGIN);
  for (int32_t row = std::max<int32_t>(0, y - 3);
       row < std::min<int32_t>(height, y - 3 + NOTE_BAND_HEIGHT); row++) {
    if (x1 > x0) memset(pixels + (size_t)row * pitch + x0, 0, x1 - x0);
  }
  DDSurface surface{};
  surface.refs = 1;
  surface.pixels = pixels;
  surface.width = width;
  surface.height = height;
  surface.pitch = pitch;
  text_draw_index(line, x, y, MESSAGE_COLOR, &surface);
}
