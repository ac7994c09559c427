#include "game/record_note.h"

#include "game/net_note.h"

namespace {

// The line sits below the court's play and the host's title note, so it
// hides no score and no serve prompt.
const int32_t NOTE_FROM_BOTTOM = 18;

}  // namespace

void record_note_draw(uint8_t *pixels, int32_t pitch, int32_t width,
                      int32_t height, const char *line) {
  Note note{};
  note_line(&note, height - NOTE_FROM_BOTTOM, line);
  note_paint(note, pixels, pitch, width, height);
}
